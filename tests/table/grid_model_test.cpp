#include <QAbstractItemModelTester>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/table.h"
#include "table/dbf_fixture.h"
#include "table/grid_model.h"

using namespace tabvue;
using namespace tabvue::gui;
using namespace tabvue::testing;

namespace {

// What dbfread, a reader we did not write, sees in the file: one line per live record,
// "FIELD=value" pairs joined by '|'.
QStringList readWithDbfread(const QString& path) {
    QProcess p;
    p.start("/usr/bin/python3", {"-c",
                                 "import sys, dbfread\n"
                                 "for r in dbfread.DBF(sys.argv[1], encoding='cp1252', char_decode_errors='replace'):\n"
                                 "    print('|'.join(f'{k}={v}' for k, v in r.items()).replace('\\r', '\\\\r').replace('\\n', '\\\\n'))\n",
                                 path});
    p.waitForFinished(30000);
    if (p.exitCode() != 0)
        return {QStringLiteral("dbfread failed: ") + QString::fromUtf8(p.readAllStandardError())};
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

std::string textOf(const QString& path, engine::RecordNo rec, const char* field) {
    engine::Table other;
    other.open(path.toStdString());
    return other.displayText(rec, other.fieldIndex(field));
}

} // namespace

class GridModelTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path_;
    engine::Table table_;
    std::unique_ptr<GridModel> model_;

    int col(const char* name) const { return table_.fieldIndex(name); }

private slots:
    void init() {
        path_ = dir_.filePath(QStringLiteral("people%1.dbf").arg(QDateTime::currentMSecsSinceEpoch()));
        writeTable(path_, peopleSpec());
        table_.open(path_.toStdString());
        model_ = std::make_unique<GridModel>(table_);
        model_->reload();
        new QAbstractItemModelTester(model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest, model_.get());
    }
    void cleanup() {
        model_.reset();
        table_.close();
    }

    void showsEveryFieldAndRecord() {
        QCOMPARE(model_->columnCount(), 6);
        QCOMPARE(model_->rowCount(), 4); // the new-item row and three records
        QStringList captions;
        for (int c = 0; c < model_->columnCount(); ++c)
            captions << model_->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(captions, QStringList({"NAME", "AGE", "SALARY", "BORN", "MARRIED", "NOTES"}));
        QCOMPARE(model_->headerData(0, Qt::Vertical).toString(), QStringLiteral("*"));
        QCOMPARE(model_->index(1, col("NAME")).data().toString(), QStringLiteral("Alice"));
        QCOMPARE(model_->index(3, col("NAME")).data().toString(), QStringLiteral("Carol"));
        QCOMPARE(model_->index(1, col("BORN")).data().toString(), QStringLiteral("14.02.1990"));
        // Logicals are check boxes, memos show their first line and edit in full.
        QCOMPARE(model_->index(1, col("MARRIED")).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(model_->index(2, col("MARRIED")).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(model_->flags(model_->index(1, col("MARRIED"))) & Qt::ItemIsUserCheckable);
        QVERIFY(model_->index(1, col("NOTES")).data().toString().startsWith("first line"));
        QVERIFY(!model_->index(1, col("NOTES")).data().toString().contains("second"));
        QCOMPARE(model_->index(1, col("NOTES")).data(Qt::EditRole).toString(), QStringLiteral("first line\nsecond line"));
        QCOMPARE(model_->index(1, col("AGE")).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    }

    void editReachesTheFile() {
        QSignalSpy refused(model_.get(), &GridModel::editRefused);
        QVERIFY(model_->setData(model_->index(2, col("NAME")), QStringLiteral("Robert")));
        QVERIFY(model_->setData(model_->index(2, col("AGE")), QStringLiteral("42")));
        QVERIFY(model_->setData(model_->index(2, col("MARRIED")), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(model_->setData(model_->index(3, col("NOTES")), QStringLiteral("one\ntwo")));
        QCOMPARE(refused.count(), 0);
        QCOMPARE(model_->index(2, col("NAME")).data().toString(), QStringLiteral("Robert"));

        QCOMPARE(textOf(path_, 2, "NAME"), std::string("Robert"));
        QCOMPARE(textOf(path_, 2, "AGE"), std::string("42"));
        engine::Table other;
        other.open(path_.toStdString());
        QVERIFY(other.logicalValue(2, other.fieldIndex("MARRIED")));
        QCOMPARE(other.memoText(3, other.fieldIndex("NOTES")), std::string("one\r\ntwo"));

        const QStringList rows = readWithDbfread(path_);
        QVERIFY2(rows.size() == 3, qPrintable(rows.join('\n')));
        QVERIFY2(rows[1].startsWith("NAME=Robert|AGE=42|"), qPrintable(rows[1]));
        QVERIFY2(rows[1].contains("MARRIED=True"), qPrintable(rows[1]));
    }

    void unchangedTextWritesNothing() {
        const QByteArray before = fileBytes(path_);
        QVERIFY(model_->setData(model_->index(1, col("NAME")), QStringLiteral("Alice")));
        QVERIFY(model_->setData(model_->index(1, col("NOTES")), QStringLiteral("first line\nsecond line")));
        QCOMPARE(fileBytes(path_), before);
    }

    void refusedValueLeavesTheFileUnchanged_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("letters in a number") << 1 << "AGE" << "abc";
        QTest::newRow("impossible date") << 1 << "BORN" << "31.02.2001";
        QTest::newRow("number too wide") << 2 << "AGE" << "12345";
        QTest::newRow("outside the code page") << 1 << "NAME" << QStringLiteral("\u4E2D\u6587");
        QTest::newRow("new row, letters in a number") << 0 << "AGE" << "abc";
    }
    void refusedValueLeavesTheFileUnchanged() {
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(QString, value);
        const QByteArray before = fileBytes(path_);
        QSignalSpy refused(model_.get(), &GridModel::editRefused);
        QVERIFY(!model_->setData(model_->index(row, col(field.toLatin1().constData())), value));
        QCOMPARE(refused.count(), 1);
        QVERIFY(!refused.first().first().toString().isEmpty());
        QCOMPARE(fileBytes(path_), before);
        QCOMPARE(model_->rowCount(), 4);
        QVERIFY(!table_.editing());
    }

    void newItemRowAppends() {
        QSignalSpy appended(model_.get(), &GridModel::recordAppended);
        QVERIFY(model_->setData(model_->index(0, col("NAME")), QStringLiteral("Dave")));
        QCOMPARE(model_->rowCount(), 5);
        QCOMPARE(appended.count(), 1);
        QCOMPARE(appended.first().first().toInt(), 4);
        QCOMPARE(model_->index(4, col("NAME")).data().toString(), QStringLiteral("Dave"));
        QCOMPARE(model_->index(0, col("NAME")).data().toString(), QString()); // the new-item row stays empty
        // Empty text and an unchecked box in the new-item row append nothing.
        QVERIFY(model_->setData(model_->index(0, col("NAME")), QString()));
        QVERIFY(model_->setData(model_->index(0, col("MARRIED")), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(model_->rowCount(), 5);

        engine::Table other;
        other.open(path_.toStdString());
        QCOMPARE(other.recCount(), 4u);
        QCOMPARE(other.displayText(4, other.fieldIndex("NAME")), std::string("Dave"));
        const QStringList rows = readWithDbfread(path_);
        QCOMPARE(rows.size(), 4);
        QVERIFY2(rows[3].startsWith("NAME=Dave|"), qPrintable(rows[3]));
    }

    void deleteRowReachesTheFile() {
        model_->deleteRow(2);
        QCOMPARE(model_->rowCount(), 3);
        QCOMPARE(model_->index(2, col("NAME")).data().toString(), QStringLiteral("Carol"));
        QCOMPARE(fileBytes(path_).at(32 + 32 * 6 + 1 + table_.recordLength()), '*');
        const QStringList rows = readWithDbfread(path_);
        QVERIFY2(rows.size() == 2, qPrintable(rows.join('\n')));
        QVERIFY(rows[1].startsWith("NAME=Carol|"));
        // The new-item row and rows outside the view delete nothing.
        model_->deleteRow(0);
        model_->deleteRow(99);
        QCOMPARE(model_->rowCount(), 3);
    }

    void translationSwitchRedrawsText() {
        // 0x82 is e-acute in code page 437 and a low quotation mark in 1252.
        table_.beginEdit(1);
        table_.setFieldText(col("NAME"), std::string("Ren\x82"));
        table_.post();
        model_->reload();
        QCOMPARE(model_->index(1, col("NAME")).data().toString(), QStringLiteral("Ren\u201A"));
        QSignalSpy changed(model_.get(), &QAbstractItemModel::dataChanged);
        model_->runOwnChange([&] { table_.setOemTranslate(true); });
        model_->invalidate();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model_->index(1, col("NAME")).data().toString(), QStringLiteral("Ren\u00E9"));
        // Typing under OEM translation stores the OEM byte.
        QVERIFY(model_->setData(model_->index(2, col("NAME")), QStringLiteral("J\u00E9r\u00F4me")));
        QCOMPARE(textOf(path_, 2, "NAME"), std::string("J\x82r\x93me"));
    }

    void foreignViewChangeIsPickedUp() {
        // A filter installed behind the model's back (no reload by the caller) still reaches it.
        table_.setFilter("AGE > 30");
        table_.setFiltered(true);
        QTRY_COMPARE(model_->rowCount(), 3);
        QCOMPARE(model_->index(2, col("NAME")).data().toString(), QStringLiteral("Bob"));
    }
};

// A table much larger than the cache: the model shows every record without reading them all.
class LargeGridTest : public QObject {
    Q_OBJECT
private slots:
    void readsOnDemandAndStaysBounded() {
        QTemporaryDir dir;
        const QString path = dir.filePath("large.dbf");
        TableSpec layout;
        layout.fields = {{"ID", 'N', 7}, {"NAME", 'C', 10}};
        const int count = 60000;
        layout.rows.reserve(count);
        layout.deleted.assign(count, false);
        for (int i = 1; i <= count; ++i) {
            layout.rows.push_back({std::to_string(i), "n" + std::to_string(i)});
            layout.deleted[static_cast<std::size_t>(i - 1)] = i % 1000 == 0; // every thousandth is deleted
        }
        writeTable(path, layout);
        engine::Table table;
        table.open(path.toStdString());
        GridModel model(table);
        model.setSettleBudget(5000);
        model.reload();
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // With deleted records the view settles from idle time in steps.
        QTRY_VERIFY_WITH_TIMEOUT(model.rowCount() == count - count / 1000 + 1, 20000);
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("1"));
        QCOMPARE(model.index(1000, 0).data().toString(), QStringLiteral("1001"));
        QCOMPARE(model.index(model.rowCount() - 1, 1).data().toString(), QStringLiteral("n59999"));
        QCOMPARE(model.recordAt(model.rowCount() - 1), engine::RecordNo(59999));
        QCOMPARE(model.rowOfRecord(1001), 1000);
        QCOMPARE(model.rowOfRecord(1000), -1);
        // Touch rows all over the table: far more blocks than the cache keeps.
        for (int row = 1; row < model.rowCount(); row += GridModel::blockRows)
            QVERIFY(!model.index(row, 1).data().toString().isEmpty());
        QCOMPARE(model.index(30000, 0).data().toString(), QStringLiteral("30030"));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    {
        GridModelTest t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        LargeGridTest t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "grid_model_test.moc"
