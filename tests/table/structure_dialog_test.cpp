// The structure dialog: one row per field with its type name, width and decimals.
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "engine/table.h"
#include "table/dbf_fixture.h"
#include "table/structure_dialog.h"

using namespace tabvue::gui;
using tabvue::testing::FieldSpec;

namespace {

QStringList rowsOf(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << item->text(c);
        rows << cells.join('|');
    }
    return rows;
}

} // namespace

class StructureDialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    void checkFrame(const StructureDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Table property"));
        QCOMPARE(dialog.size(), QSize(356, 263));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize()); // fixed size
        const QTreeWidget* list = dialog.fieldList();
        QCOMPARE(list->objectName(), QStringLiteral("ListView1"));
        QCOMPARE(list->columnCount(), 4);
        const QStringList captions{"Name", "Type", "Len", "Dec"};
        const int widths[] = {150, 100, 50, 50};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(list->headerItem()->text(c), captions[c]);
            QCOMPARE(list->columnWidth(c), widths[c]);
        }
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    }

private slots:
    void typeNames() {
        const std::pair<char, const char*> cases[] = {
            {'C', "Character"}, {'D', "Date"}, {'I', "Integer"}, {'L', "Boolean"}, {'M', "Memo"},
            {'N', "Numeric"}, {'O', "Float"}, {'Y', "Binary"}, {'F', ""}, {'G', ""}, {'T', ""}, {'c', ""}, {'\0', ""}};
        for (const auto& [letter, name] : cases)
            QCOMPARE(fieldTypeName(letter), QString::fromLatin1(name));
    }

    void dbase3TableListsEveryField() {
        const QString path = dir_.filePath("staff.dbf");
        QVERIFY(tabvue::testing::writeDbf(path,
            {{"NAME", 'C', 30}, {"SALARY", 'N', 10, 2}, {"HIRED", 'D', 8}, {"ACTIVE", 'L', 1}, {"NOTES", 'M', 10}},
            {{{"Ann", "1.50", "20200101", "T", ""}}}, 0x83));
        tabvue::engine::Table table;
        table.open(path.toStdString());
        StructureDialog dialog;
        dialog.fillFieldList(table);
        checkFrame(dialog);
        QCOMPARE(rowsOf(dialog.fieldList()),
                 (QStringList{"NAME|Character|30|0", "SALARY|Numeric|10|2", "HIRED|Date|8|0",
                              "ACTIVE|Boolean|1|0", "NOTES|Memo|10|0"}));
    }

    void visualFoxProTypes() {
        // F and G are not named: their type cell stays empty and the numbers stay in place. The
        // general field has no grid column and is listed all the same.
        const QString path = dir_.filePath("vfp.dbf");
        QVERIFY(tabvue::testing::writeDbf(path,
            {{"CODE", 'C', 6}, {"QTY", 'N', 5}, {"RATE", 'F', 12, 3}, {"WHEN", 'D', 8}, {"OK", 'L', 1},
             {"MEMO", 'M', 4}, {"COUNT", 'I', 4}, {"PRICE", 'Y', 8}, {"PIC", 'G', 4}},
            {}, 0x30));
        tabvue::engine::Table table;
        table.open(path.toStdString());
        StructureDialog dialog;
        dialog.fillFieldList(table);
        checkFrame(dialog);
        QCOMPARE(rowsOf(dialog.fieldList()),
                 (QStringList{"CODE|Character|6|0", "QTY|Numeric|5|0", "RATE||12|3", "WHEN|Date|8|0",
                              "OK|Boolean|1|0", "MEMO|Memo|4|0", "COUNT|Integer|4|0", "PRICE|Binary|8|0",
                              "PIC||4|0"}));
        // Filling again lists the fields once.
        dialog.fillFieldList(table);
        QCOMPARE(dialog.fieldList()->topLevelItemCount(), 9);
    }

    void closedTableGivesColumnsOnly() {
        tabvue::engine::Table table;
        StructureDialog dialog;
        dialog.fillFieldList(table);
        checkFrame(dialog);
        QCOMPARE(dialog.fieldList()->topLevelItemCount(), 0);
    }

    void corpusTablesListEveryDescriptor() {
        const QString corpus = QStringLiteral(TABVUE_SHARED_DIR "/corpus/dbf");
        if (!QDir(corpus).exists())
            QSKIP("DBF corpus not available");
        int opened = 0;
        QDirIterator it(corpus, {"*.dbf", "*.DBF"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            tabvue::engine::Table table;
            try {
                table.open(file.toStdString());
            } catch (const std::exception&) {
                continue; // tables the engine refuses are the engine's tests' business
            }
            ++opened;
            StructureDialog dialog;
            dialog.fillFieldList(table);
            QCOMPARE(dialog.fieldList()->topLevelItemCount(), int(table.descriptors().size()));
        }
        QVERIFY(opened > 0);
    }
};

QTEST_MAIN(StructureDialogTest)
#include "structure_dialog_test.moc"
