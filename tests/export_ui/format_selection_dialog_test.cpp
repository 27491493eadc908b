// The format selection dialog's controls, texts and choices, offscreen.
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "export/fake_source.h"
#include "export/ui/format_selection_dialog.h"

using namespace tabvue::exporter;
using tabvue::exporter::testing::FakeExport;

class FormatSelectionDialogTest : public QObject {
    Q_OBJECT
private slots:
    void layoutAndTexts() {
        FakeExport e;
        FormatSelectionDialog d;
        d.fill(e);
        QCOMPARE(d.objectName(), QString("frm_Selection"));
        QCOMPARE(d.size(), QSize(322, 123));
        QCOMPARE(d.windowTitle(), QString("Export"));
        struct Expect {
            QWidget* w;
            const char* name;
            QRect geometry;
        };
        const Expect expected[] = {
            {d.btn_Selection, "btn_Selection", {240, 8, 75, 25}}, {d.btn_Cancel, "btn_Cancel", {240, 40, 75, 25}},
            {d.GroupBox, "GroupBox", {8, 8, 225, 113}},           {d.SelectionCombo, "SelectionCombo", {8, 24, 209, 21}},
            {d.rdo_View, "rdo_View", {8, 60, 113, 17}},          {d.rdo_File, "rdo_File", {8, 80, 113, 17}},
            {d.IconImage, "IconImage", {176, 64, 40, 40}},
        };
        for (const Expect& x : expected) {
            QCOMPARE(x.w->objectName(), QString(x.name));
            QCOMPARE(x.w->geometry(), x.geometry);
            QCOMPARE(d.findChild<QWidget*>(x.name), x.w);
        }
        QCOMPARE(d.btn_Selection->text(), QString("&Export"));
        QVERIFY(d.btn_Selection->isDefault());
        QCOMPARE(d.btn_Cancel->text(), QString("&Cancel"));
        QCOMPARE(d.GroupBox->title(), QString(" E&xport formats: "));
        QCOMPARE(d.rdo_View->text(), QString("&View only"));
        QCOMPARE(d.rdo_File->text(), QString("Export &to file"));
        QCOMPARE(d.rdo_View->property("tag").toInt(), 10);
        QCOMPARE(d.rdo_File->property("tag").toInt(), 20);
        QCOMPARE(d.SelectionCombo->property("tag").toInt(), 30);
        QVERIFY(d.rdo_View->isChecked());
        QVERIFY(!d.rdo_File->isChecked());

        QStringList entries;
        for (int i = 0; i < d.SelectionCombo->count(); ++i)
            entries << d.SelectionCombo->itemText(i);
        QCOMPARE(entries, (QStringList{"HTML", "Microsoft Word", "Microsoft Excel", "Text", "Rich Text",
                                       "Comma-Separated Text", "Tab-Separated Text", "Data Interchange Format",
                                       "SYLK Format", "Clipboard"}));
        QCOMPARE(d.SelectionCombo->currentText(), QString("Microsoft Excel"));
        QCOMPARE(d.SelectionCombo->maxVisibleItems(), 10);
        QCOMPARE(d.shownIcon(), 5);
        QCOMPARE(int(d.images().size()), 8);
        for (const QPixmap& p : d.images()) {
            QCOMPARE(p.size(), QSize(31, 31));
            QVERIFY(!p.toImage().isNull());
        }
        // The images are distinct pictures.
        for (std::size_t i = 0; i < d.images().size(); ++i)
            for (std::size_t k = i + 1; k < d.images().size(); ++k)
                QVERIFY(d.images()[i].toImage() != d.images()[k].toImage());
    }

    void choicesGoStraightIntoTheComponent() {
        FakeExport e;
        FormatSelectionDialog d;
        d.fill(e);
        const struct {
            const char* entry;
            ExportType type;
            int icon;
        } cases[] = {{"Tab-Separated Text", ExportType::xtTAB, 6}, {"Data Interchange Format", ExportType::xtDIF, 6},
                     {"SYLK Format", ExportType::xtSYLK, 6},       {"HTML", ExportType::xtHTML, 2},
                     {"Rich Text", ExportType::xtRTF, 0},          {"Comma-Separated Text", ExportType::xtCSV, 1}};
        for (const auto& c : cases) {
            d.SelectionCombo->setCurrentText(c.entry);
            QCOMPARE(e.exportType(), c.type);
            QCOMPARE(d.shownIcon(), c.icon);
        }
        d.rdo_File->click();
        QCOMPARE(e.exportStyle(), ExportStyle::xsFile);
        d.SelectionCombo->setCurrentText("Clipboard");
        QVERIFY(!d.rdo_View->isEnabled());
        QVERIFY(!d.rdo_File->isEnabled());
        QCOMPARE(e.exportStyle(), ExportStyle::xsFile);
        QCOMPARE(d.shownIcon(), 7);
        d.SelectionCombo->setCurrentText("Text");
        QVERIFY(d.rdo_View->isEnabled());
        QVERIFY(d.rdo_File->isChecked());
        d.rdo_View->click();
        QCOMPARE(e.exportStyle(), ExportStyle::xsView);
    }

    void cancellingKeepsTheChoices() {
        FakeExport e;
        FormatSelectionDialog d;
        QTimer::singleShot(0, &d, [&] {
            d.SelectionCombo->setCurrentText("Rich Text");
            d.rdo_File->click();
            d.btn_Cancel->click();
        });
        QVERIFY(!d.run(e));
        QCOMPARE(e.exportType(), ExportType::xtRTF);
        QCOMPARE(e.exportStyle(), ExportStyle::xsFile);
        QTimer::singleShot(0, &d, [&] { d.btn_Selection->click(); });
        QVERIFY(d.run(e));
        QCOMPARE(d.SelectionCombo->currentText(), QString("Rich Text"));
        QVERIFY(d.rdo_File->isChecked());
    }

    void offeredTypesAndCustomTexts() {
        FakeExport e;
        e.setExportType(ExportType::xtCSV);
        e.setExportTypes({});
        e.messages().caption = "Ausfuhr \xE4";
        e.messages().selectFormat = "Formate";
        FormatSelectionDialog d;
        d.fill(e);
        QCOMPARE(d.SelectionCombo->count(), 1);
        QCOMPARE(d.SelectionCombo->currentText(), QString("Comma-Separated Text"));
        QCOMPARE(d.windowTitle(), QString::fromUtf8("Ausfuhr \xC3\xA4")); // decoded from the ANSI code page
        QCOMPARE(d.GroupBox->title(), QString(" Formate "));
        e.setExportTypes({ExportType::xtClipboard, ExportType::xtHTML});
        d.fill(e);
        QCOMPARE(d.SelectionCombo->count(), 3);
        QCOMPARE(d.SelectionCombo->itemText(0), QString("HTML"));
        QCOMPARE(d.SelectionCombo->currentIndex(), 1);
    }
};

QTEST_MAIN(FormatSelectionDialogTest)
#include "format_selection_dialog_test.moc"
