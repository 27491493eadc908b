#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include "app/rtf_reader.h"
#include "engine/error.h"

using namespace tabvue;
using namespace tabvue::gui;

namespace {

QTextCharFormat formatAt(QTextDocument& doc, const QString& word) {
    QTextCursor c = doc.find(word);
    if (c.isNull())
        return {};
    c.setPosition(c.selectionStart() + 1);
    return c.charFormat();
}

} // namespace

class RtfReaderTest : public QObject {
    Q_OBJECT
private slots:
    void textAndSpecialCharacters_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("{\\rtf1 Hello world}") << "Hello world";
        QTest::newRow("paragraphs") << QByteArray("{\\rtf1 one\\par two\\par\nthree}") << "one\ntwo\nthree";
        QTest::newRow("escapes") << QByteArray("{\\rtf1 a\\{b\\}c\\\\d}") << "a{b}c\\d";
        QTest::newRow("hex in 1252") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9}") << QStringLiteral("caf\u00E9");
        QTest::newRow("hex in 1251") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}")
                                     << QStringLiteral("\u041F\u0440\u0438");
        QTest::newRow("unicode skips its fallback") << QByteArray("{\\rtf1 \\u8364\\'80 and \\uc2\\u-3913 xyz}")
                                                    << QStringLiteral("\u20AC and \uF0B7z");
        QTest::newRow("symbols") << QByteArray("{\\rtf1 \\bullet\\tab a\\endash b\\emdash c\\ldblquote d\\rdblquote\\~e}")
                                 << QStringLiteral("\u2022\ta\u2013b\u2014c\u201Cd\u201D\u00A0e");
        QTest::newRow("skipped destinations")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}{\\info{\\title T}}"
                          "{\\*\\generator Writer;}{\\pict\\bin4 {}{}x}shown}")
            << "shown";
        QTest::newRow("control word eats one space") << QByteArray("{\\rtf1\\b  two\\b0 x}") << " twox";
        QTest::newRow("text after the closing brace is ignored") << QByteArray("{\\rtf1 in}out") << "in";
        QTest::newRow("missing closing brace") << QByteArray("{\\rtf1 {\\b open") << "open";
    }
    void textAndSpecialCharacters() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        readRtf(rtf, doc);
        QString plain = doc.toRawText();
        plain.replace(QChar::LineSeparator, QChar('\n'));
        plain.replace(QChar::ParagraphSeparator, QChar('\n'));
        QCOMPARE(plain, text);
    }

    void formatting() {
        QTextDocument doc;
        readRtf("{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
                "{\\colortbl;\\red31\\green63\\blue122;}"
                "\\pard\\qc\\cf1\\b\\fs32 Title\\b0\\cf0\\fs18\\par"
                "\\pard\\li480 plain {\\i slanted} {\\ul under} \\f1 mono\\f0  back\\par}",
                doc);
        QCOMPARE(doc.blockCount(), 2);
        const QTextCharFormat title = formatAt(doc, "Title");
        QCOMPARE(title.fontWeight(), int(QFont::Bold));
        QCOMPARE(title.fontPointSize(), 16.0);
        QCOMPARE(title.foreground().color(), QColor(31, 63, 122));
        QCOMPARE(doc.firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(doc.lastBlock().blockFormat().leftMargin(), 32.0);
        QVERIFY(formatAt(doc, "slanted").fontItalic());
        QVERIFY(!formatAt(doc, "plain").fontItalic());
        QVERIFY(formatAt(doc, "under").fontUnderline());
        QCOMPARE(formatAt(doc, "mono").fontFamilies().toStringList(), QStringList{"Courier New"});
        QCOMPARE(formatAt(doc, "back").fontFamilies().toStringList(), QStringList{"Arial"});
        QCOMPARE(formatAt(doc, "plain").fontWeight(), int(QFont::Normal));
    }

    void notRtfIsAnError() {
        QTextDocument doc;
        doc.setPlainText("kept");
        for (const QByteArray& bad : {QByteArray(), QByteArray("plain text"), QByteArray("{\\html}")}) {
            bool thrown = false;
            try {
                readRtf(bad, doc);
            } catch (const Error&) {
                thrown = true;
            }
            QVERIFY(thrown);
        }
        QCOMPARE(doc.toPlainText(), QStringLiteral("kept"));
    }

    void bundledOverviewReads() {
        QFile f(QStringLiteral(TABVUE_SOURCE_DIR "/resources/help/overview.rtf"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTextDocument doc;
        readRtf(f.readAll(), doc);
        const QString text = doc.toPlainText();
        QVERIFY(text.startsWith("Tabvue"));
        QVERIFY(!text.contains('\\') && !text.contains('{'));
        QVERIFY(text.contains("Row count: [1200]"));
    }
};

QTEST_MAIN(RtfReaderTest)
#include "rtf_reader_test.moc"
