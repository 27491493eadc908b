#pragma once
// Enumerations, option sets and option objects of the export component.
//
// Every set is a bit set in which member n is bit n (counting from 0), so a set's bits() is the
// number a stored setting or `--set Options=...` would name. The option objects are plain values
// owned by the component for its whole lifetime; callers change them in place.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/value.h"

namespace tabvue::exporter {

// A small bit set over an enumeration whose members are 0, 1, 2, ...
template <typename E>
class EnumSet {
public:
    using Bits = std::uint32_t;
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> members) {
        for (E m : members)
            bits_ |= bit(m);
    }
    static constexpr EnumSet fromBits(Bits bits) {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr Bits bits() const { return bits_; }
    constexpr bool contains(E m) const { return (bits_ & bit(m)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr EnumSet& insert(E m) {
        bits_ |= bit(m);
        return *this;
    }
    constexpr EnumSet& erase(E m) {
        bits_ &= ~bit(m);
        return *this;
    }
    constexpr EnumSet& set(E m, bool on) { return on ? insert(m) : erase(m); }
    constexpr EnumSet operator|(EnumSet o) const { return fromBits(bits_ | o.bits_); }
    constexpr EnumSet operator&(EnumSet o) const { return fromBits(bits_ & o.bits_); }
    constexpr EnumSet operator-(EnumSet o) const { return fromBits(bits_ & ~o.bits_); }
    friend constexpr bool operator==(EnumSet, EnumSet) = default;

private:
    static constexpr Bits bit(E m) { return Bits{1} << static_cast<unsigned>(m); }
    Bits bits_ = 0;
};

// Colours are 32-bit numbers laid out as 0x00BBGGRR (red in the lowest byte). The RTF writer reads
// them that way; the HTML writer prints their hexadecimal digits unchanged after "#".
using Color = std::uint32_t;

enum class ExportType { xtHTML, xtExcel, xtWord, xtTXT, xtCSV, xtTAB, xtRTF, xtDIF, xtSYLK, xtClipboard };
inline constexpr int ExportTypeCount = 10;
using ExportTypeSet = EnumSet<ExportType>;
inline constexpr ExportTypeSet AllExportTypes = ExportTypeSet::fromBits((1u << ExportTypeCount) - 1);

enum class ExportStyle { xsFile, xsView };

enum class ExportOption {
    xoClipboardMessage,
    xoExportInvisibles,
    xoFooterLine,
    xoHeaderLine,
    xoRowNumbers,
    xoShowExportDate,
    xoShowHeader,
    xoShowProgress,
    xoSelectedRowsOnly,
    xoTruncate,
    xoUseAlignments,
};
inline constexpr int ExportOptionCount = 11;
using ExportOptionSet = EnumSet<ExportOption>;
// xoClipboardMessage, xoFooterLine, xoHeaderLine, xoShowExportDate, xoShowHeader, xoShowProgress,
// xoUseAlignments: bit value 1261.
inline constexpr ExportOptionSet DefaultExportOptions = ExportOptionSet::fromBits(1261);

enum class ExportError { xeInvalidFileName, xeFileExist, xeComponentIsNull, xeGeneralExportError, xeUserCancelled };

// The values of one row: one element per column of the source, visible or not. A null element
// (std::monostate) is written as the null marker.
using Variant = engine::Value;
using Values = std::vector<Variant>;

// ---- HTML --------------------------------------------------------------------------------------

enum class HtmlExtension { exHTM, exHTML };

enum class HtmlOption { hoShowGridLines, hoBoldHeaders, hoAutoLink, hoOddRowColoring, hoDisplayTitle };
using HtmlOptionSet = EnumSet<HtmlOption>;

enum class HtmlColorTemplate { ctStandard, ctBW, ctClassic, ctColorful, ctDark, ctGray, ctMSMoney, ctOlive, ctCustom };

struct HtmlColors {
    HtmlColors(); // defaults from the string table
    Color background;
    Color defaultLink;
    std::string defaultFontFace;
    Color visitedLink;
    Color activeLink;
    Color defaultText;
    Color tableFontColor;
    std::string tableFontFace;
    Color tableBackground;
    Color tableOddBackground;
    Color headerBackground;
    Color headersFontColor;
    void assign(const HtmlColors& other) { *this = other; } // all twelve values
};

struct HtmlOptions {
    HtmlColors customColors;
    HtmlExtension extension = HtmlExtension::exHTML;
    HtmlOptionSet options = HtmlOptionSet::fromBits(0x1F); // all five
    HtmlColorTemplate colorTemplate = HtmlColorTemplate::ctStandard; // "Template"
    std::string title;
    void setCustomColors(const HtmlColors& c) { customColors.assign(c); }
};

// ---- Fonts ---------------------------------------------------------------------------------------

enum class FontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using FontStyleSet = EnumSet<FontStyle>;

// The system's window-text colour constant (a platform colour, not an RGB value).
inline constexpr Color clWindowText = 0x80000008u;
inline constexpr int DEFAULT_CHARSET = 1;

// A font description: face, height (negative: character height in pixels at 96 PPI, so -11 is
// 8 points), style, colour and character set. A fresh one is the platform's default font.
struct FontDescription {
    std::string name = "MS Sans Serif";
    int height = -11;
    FontStyleSet style;
    Color color = clWindowText;
    int charset = DEFAULT_CHARSET;

    // Size in whole points (height -11 at 72/96 -> 8).
    int size() const;
    void setSize(int points);
    void assign(const FontDescription& other) { *this = other; }
    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// ---- RTF / Word ----------------------------------------------------------------------------------

enum class RtfColorTemplate { rtStandard, rtClassic, rtColorful, rtGray, rtCustom };

enum class RtfOption { roShowGridLines, roOddRowColoring };
using RtfOptionSet = EnumSet<RtfOption>;

struct RtfColors {
    RtfColors(); // defaults from the string table; header font bold
    Color tableBackground;
    Color tableOddBackground;
    Color headerBackground;
    FontDescription defaultFont;
    FontDescription headerFont;
    FontDescription tableFont;
    void assign(const RtfColors& other) { *this = other; } // three colours, three fonts by value
};

struct RtfOptions {
    RtfColorTemplate colorTemplate = RtfColorTemplate::rtStandard; // "Template"
    RtfOptionSet options{RtfOption::roShowGridLines, RtfOption::roOddRowColoring};
    RtfColors customSettings;
    int cellWidth = 1400;
    int topMargin = 101;
    int bottomMargin = 101;
    int leftMargin = 461;
    int rightMargin = 562;
    void setCustomSettings(const RtfColors& c) { customSettings.assign(c); }
};

// ---- Spreadsheet ---------------------------------------------------------------------------------

enum class ExcelOption { reCellsAsText, reSetColumnWidths, reSetMargins, reUseBorders };
using ExcelOptionSet = EnumSet<ExcelOption>;

enum class ExcelVersion { xls21, xls30, xls40, xls50 };

struct ExcelOptions {
    ExcelOptions(); // header font bold
    ExcelOptionSet options{ExcelOption::reSetMargins, ExcelOption::reUseBorders};
    int columnWidth = 20;
    bool protectedSheet = false; // "Protected"
    std::string header;
    std::string footer = "&P";
    ExcelVersion excelVersion = ExcelVersion::xls50;
    FontDescription defaultFont;
    FontDescription headerFont;
    FontDescription tableFont;
    double topMargin = 0.3;
    double bottomMargin = 0.3;
    double leftMargin = 0.3;
    double rightMargin = 0.3;
    void assign(const ExcelOptions& other) { *this = other; } // all thirteen values, fonts by value
};

// ---- Texts ---------------------------------------------------------------------------------------

// File type descriptions of the save dialog, one per format.
struct DocumentFilter {
    DocumentFilter();
    std::string html;
    std::string excel;
    std::string word;
    std::string text;
    std::string comma;
    std::string tab;
    std::string rtf;
    std::string dif;
    std::string sylk;
};

// Every text the export shows.
struct MessagesOptions {
    MessagesOptions();
    std::string caption;
    std::string copiedToClipboard;
    std::string cancelCaption;
    std::string createdText;
    DocumentFilter documentFilter;
    std::string exportCaption;
    std::string exportToFile;
    std::string falseText;
    int height = 80;
    std::string saveTitle;
    std::string selectFormat;
    std::string text;
    std::string trueText;
    int width = 300;
    std::string viewOnly;
};

} // namespace tabvue::exporter
