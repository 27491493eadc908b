#include "export/property_table.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <functional>
#include <span>

#include "engine/error.h"
#include "export/custom_export.h"

namespace tabvue::exporter {

namespace {

enum class Op { Assign, Add, Remove };

constexpr std::array<std::string_view, 10> exportTypeNames{"xtHTML", "xtExcel", "xtWord", "xtTXT",  "xtCSV",
                                                           "xtTAB",  "xtRTF",   "xtDIF",  "xtSYLK", "xtClipboard"};
constexpr std::array<std::string_view, 2> exportStyleNames{"xsFile", "xsView"};
constexpr std::array<std::string_view, 11> exportOptionNames{
    "xoClipboardMessage", "xoExportInvisibles", "xoFooterLine",       "xoHeaderLine",
    "xoRowNumbers",       "xoShowExportDate",   "xoShowHeader",       "xoShowProgress",
    "xoSelectedRowsOnly", "xoTruncate",         "xoUseAlignments"};
constexpr std::array<std::string_view, 5> exportErrorNames{"xeInvalidFileName", "xeFileExist", "xeComponentIsNull",
                                                           "xeGeneralExportError", "xeUserCancelled"};
constexpr std::array<std::string_view, 2> htmlExtensionNames{"exHTM", "exHTML"};
constexpr std::array<std::string_view, 5> htmlOptionNames{"hoShowGridLines", "hoBoldHeaders", "hoAutoLink",
                                                          "hoOddRowColoring", "hoDisplayTitle"};
constexpr std::array<std::string_view, 9> htmlTemplateNames{"ctStandard", "ctBW",      "ctClassic",
                                                            "ctColorful", "ctDark",    "ctGray",
                                                            "ctMSMoney",  "ctOlive",   "ctCustom"};
constexpr std::array<std::string_view, 5> rtfTemplateNames{"rtStandard", "rtClassic", "rtColorful", "rtGray",
                                                           "rtCustom"};
constexpr std::array<std::string_view, 2> rtfOptionNames{"roShowGridLines", "roOddRowColoring"};
constexpr std::array<std::string_view, 4> excelOptionNames{"reCellsAsText", "reSetColumnWidths", "reSetMargins",
                                                           "reUseBorders"};
constexpr std::array<std::string_view, 4> excelVersionNames{"xls21", "xls30", "xls40", "xls50"};
constexpr std::array<std::string_view, 4> fontStyleNames{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

[[noreturn]] void badValue(std::string_view name, std::string_view value, std::string_view expected) {
    throw Error("Invalid value '" + std::string(value) + "' for " + std::string(name) + ": expected " +
                std::string(expected));
}

// Comma-separated items; "\," is a comma inside an item and "\\" a backslash.
std::vector<std::string> splitList(std::string_view value) {
    std::vector<std::string> items;
    if (value.empty())
        return items;
    std::string current;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char ch = value[i];
        if (ch == '\\' && i + 1 < value.size() && (value[i + 1] == ',' || value[i + 1] == '\\')) {
            current += value[++i];
        } else if (ch == ',') {
            items.push_back(std::move(current));
            current.clear();
        } else {
            current += ch;
        }
    }
    items.push_back(std::move(current));
    return items;
}

std::string joinList(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ',';
        for (char ch : items[i]) {
            if (ch == ',' || ch == '\\')
                out += '\\';
            out += ch;
        }
    }
    return out;
}

long long parseInteger(std::string_view name, std::string_view text, std::string_view expected = "an integer") {
    std::string_view s = trim(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    unsigned long long v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (s.empty() || r.ec != std::errc{} || r.ptr != s.data() + s.size() || v > 0xFFFFFFFFull)
        badValue(name, text, expected);
    return negative ? -static_cast<long long>(v) : static_cast<long long>(v);
}

template <std::size_t N>
int parseMember(std::string_view name, std::string_view text, const std::array<std::string_view, N>& names) {
    const std::string_view t = trim(text);
    for (std::size_t i = 0; i < N; ++i)
        if (equalNoCase(t, names[i]))
            return static_cast<int>(i);
    std::string expected = "one of ";
    for (std::size_t i = 0; i < N; ++i)
        expected += (i ? ", " : "") + std::string(names[i]);
    badValue(name, text, expected);
}

template <std::size_t N>
std::uint32_t parseMembers(std::string_view name, std::string_view text, const std::array<std::string_view, N>& names) {
    std::string_view t = trim(text);
    if (!t.empty() && t.front() == '[' && t.back() == ']')
        t = trim(t.substr(1, t.size() - 2));
    if (t.empty())
        return 0;
    if (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '$') {
        const long long bits = parseInteger(name, t, "member names or a number");
        if (bits < 0 || (bits >> N) != 0)
            badValue(name, text, "a number of at most " + std::to_string(N) + " bits");
        return static_cast<std::uint32_t>(bits);
    }
    std::uint32_t bits = 0;
    for (const std::string& item : splitList(t))
        bits |= 1u << parseMember(name, item, names);
    return bits;
}

template <std::size_t N>
std::string membersText(std::uint32_t bits, const std::array<std::string_view, N>& names) {
    std::string out;
    for (std::size_t i = 0; i < N; ++i)
        if (bits & (1u << i)) {
            if (!out.empty())
                out += ',';
            out += names[i];
        }
    return out;
}

bool parseBool(std::string_view name, std::string_view text) {
    const std::string_view t = trim(text);
    if (equalNoCase(t, "true") || t == "1")
        return true;
    if (equalNoCase(t, "false") || t == "0")
        return false;
    badValue(name, text, "true or false");
}

double parseDouble(std::string_view name, std::string_view text) {
    const std::string_view t = trim(text);
    double v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || r.ec != std::errc{} || r.ptr != t.data() + t.size())
        badValue(name, text, "a number");
    return v;
}

std::string colorText(Color c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", c);
    return buf;
}

std::string doubleText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

struct Row {
    std::string name;
    std::function<void(CustomExport&, std::string_view value, Op op)> set;
    std::function<std::string(CustomExport&)> get;
    bool allowsAddRemove = false;
};

using Rows = std::vector<Row>;

void requireAssign(const std::string& name, Op op) {
    if (op != Op::Assign)
        throw Error("Only '=' applies to " + name);
}

template <class Access>
void addString(Rows& rows, std::string name, Access access) {
    rows.push_back({name,
                    [name, access](CustomExport& c, std::string_view v, Op op) {
                        requireAssign(name, op);
                        access(c) = std::string(v);
                    },
                    [access](CustomExport& c) { return std::string(access(c)); }});
}

template <class Access>
void addInt(Rows& rows, std::string name, Access access) {
    rows.push_back({name,
                    [name, access](CustomExport& c, std::string_view v, Op op) {
                        requireAssign(name, op);
                        const long long n = parseInteger(name, v);
                        if (n < INT32_MIN || n > INT32_MAX)
                            badValue(name, v, "a 32-bit integer");
                        access(c) = static_cast<int>(n);
                    },
                    [access](CustomExport& c) { return std::to_string(access(c)); }});
}

template <class Access>
void addDouble(Rows& rows, std::string name, Access access) {
    rows.push_back({name,
                    [name, access](CustomExport& c, std::string_view v, Op op) {
                        requireAssign(name, op);
                        access(c) = parseDouble(name, v);
                    },
                    [access](CustomExport& c) { return doubleText(access(c)); }});
}

template <class Access>
void addBool(Rows& rows, std::string name, Access access) {
    rows.push_back({name,
                    [name, access](CustomExport& c, std::string_view v, Op op) {
                        requireAssign(name, op);
                        access(c) = parseBool(name, v);
                    },
                    [access](CustomExport& c) { return std::string(access(c) ? "true" : "false"); }});
}

template <class Access>
void addColor(Rows& rows, std::string name, Access access) {
    rows.push_back({name,
                    [name, access](CustomExport& c, std::string_view v, Op op) {
                        requireAssign(name, op);
                        const long long n = parseInteger(name, v, "a colour such as $00FFFFCF");
                        if (n < 0)
                            badValue(name, v, "a colour such as $00FFFFCF");
                        access(c) = static_cast<Color>(n);
                    },
                    [access](CustomExport& c) { return colorText(access(c)); }});
}

template <class E, std::size_t N, class Access>
void addEnum(Rows& rows, std::string name, const std::array<std::string_view, N>& names, Access access) {
    rows.push_back({name,
                    [name, &names, access](CustomExport& c, std::string_view v, Op op) {
                        requireAssign(name, op);
                        access(c) = static_cast<E>(parseMember(name, v, names));
                    },
                    [&names, access](CustomExport& c) {
                        return std::string(names[static_cast<std::size_t>(access(c))]);
                    }});
}

template <class E, std::size_t N, class Access>
void addSet(Rows& rows, std::string name, const std::array<std::string_view, N>& names, Access access) {
    rows.push_back({name,
                    [name, &names, access](CustomExport& c, std::string_view v, Op op) {
                        const std::uint32_t bits = parseMembers(name, v, names);
                        EnumSet<E>& set = access(c);
                        if (op == Op::Assign)
                            set = EnumSet<E>::fromBits(bits);
                        else if (op == Op::Add)
                            set = EnumSet<E>::fromBits(set.bits() | bits);
                        else
                            set = EnumSet<E>::fromBits(set.bits() & ~bits);
                    },
                    [&names, access](CustomExport& c) { return membersText(access(c).bits(), names); }, true});
}

template <class Access>
void addFont(Rows& rows, const std::string& prefix, Access font) {
    addString(rows, prefix + ".Name", [font](CustomExport& c) -> std::string& { return font(c).name; });
    addInt(rows, prefix + ".Height", [font](CustomExport& c) -> int& { return font(c).height; });
    const std::string sizeName = prefix + ".Size";
    rows.push_back({sizeName,
                    [sizeName, font](CustomExport& c, std::string_view v, Op op) {
                        requireAssign(sizeName, op);
                        const long long n = parseInteger(sizeName, v);
                        if (n < 1 || n > 1638)
                            badValue(sizeName, v, "a size in points from 1 to 1638");
                        font(c).setSize(static_cast<int>(n));
                    },
                    [font](CustomExport& c) { return std::to_string(font(c).size()); }});
    addSet<FontStyle>(rows, prefix + ".Style", fontStyleNames,
                      [font](CustomExport& c) -> FontStyleSet& { return font(c).style; });
    addColor(rows, prefix + ".Color", [font](CustomExport& c) -> Color& { return font(c).color; });
    addInt(rows, prefix + ".Charset", [font](CustomExport& c) -> int& { return font(c).charset; });
}

Rows makeRows() {
    Rows rows;
    auto list = [&rows](std::string name, std::vector<std::string>& (*access)(CustomExport&)) {
        rows.push_back({name,
                        [name, access](CustomExport& c, std::string_view v, Op op) {
                            if (op == Op::Remove)
                                throw Error("Only '=' and '+=' apply to " + name);
                            std::vector<std::string> items = splitList(v);
                            std::vector<std::string>& target = access(c);
                            if (op == Op::Assign)
                                target = std::move(items);
                            else
                                target.insert(target.end(), items.begin(), items.end());
                        },
                        [access](CustomExport& c) { return joinList(access(c)); }, true});
    };
    list("Captions", [](CustomExport& c) -> std::vector<std::string>& { return c.captions(); });
    list("ColumnWidths", [](CustomExport& c) -> std::vector<std::string>& { return c.columnWidths(); });

    auto stringSetter = [&rows](std::string name, void (*set)(CustomExport&, std::string_view),
                                std::string (*get)(CustomExport&)) {
        rows.push_back({name,
                        [name, set](CustomExport& c, std::string_view v, Op op) {
                            requireAssign(name, op);
                            set(c, v);
                        },
                        get});
    };
    stringSetter(
        "DateFormat", [](CustomExport& c, std::string_view v) { c.setDateFormat(std::string(v)); },
        [](CustomExport& c) { return c.dateFormat(); });
    stringSetter(
        "TimeFormat", [](CustomExport& c, std::string_view v) { c.setTimeFormat(std::string(v)); },
        [](CustomExport& c) { return c.timeFormat(); });
    stringSetter(
        "DateTimeFormat", [](CustomExport& c, std::string_view v) { c.setDateTimeFormat(std::string(v)); },
        [](CustomExport& c) { return c.dateTimeFormat(); });
    stringSetter(
        "ExportType",
        [](CustomExport& c, std::string_view v) {
            c.setExportType(static_cast<ExportType>(parseMember("ExportType", v, exportTypeNames)));
        },
        [](CustomExport& c) { return std::string(exportTypeNames[static_cast<std::size_t>(c.exportType())]); });
    {
        const std::string name = "ExportTypes";
        rows.push_back({name,
                        [name](CustomExport& c, std::string_view v, Op op) {
                            const std::uint32_t bits = parseMembers(name, v, exportTypeNames);
                            std::uint32_t now = c.exportTypes().bits();
                            now = op == Op::Assign ? bits : op == Op::Add ? (now | bits) : (now & ~bits);
                            c.setExportTypes(ExportTypeSet::fromBits(now));
                        },
                        [](CustomExport& c) { return membersText(c.exportTypes().bits(), exportTypeNames); }, true});
    }
    stringSetter(
        "ExportStyle",
        [](CustomExport& c, std::string_view v) {
            c.setExportStyle(static_cast<ExportStyle>(parseMember("ExportStyle", v, exportStyleNames)));
        },
        [](CustomExport& c) { return std::string(exportStyleNames[static_cast<std::size_t>(c.exportStyle())]); });
    stringSetter(
        "FileName", [](CustomExport& c, std::string_view v) { c.setFileName(std::string(v)); },
        [](CustomExport& c) { return c.fileName(); });

    // HTML
    addSet<HtmlOption>(rows, "HTML.Options", htmlOptionNames,
                       [](CustomExport& c) -> HtmlOptionSet& { return c.html().options; });
    addEnum<HtmlExtension>(rows, "HTML.Extension", htmlExtensionNames,
                           [](CustomExport& c) -> HtmlExtension& { return c.html().extension; });
    addEnum<HtmlColorTemplate>(rows, "HTML.Template", htmlTemplateNames,
                               [](CustomExport& c) -> HtmlColorTemplate& { return c.html().colorTemplate; });
    addString(rows, "HTML.Title", [](CustomExport& c) -> std::string& { return c.html().title; });
    {
        using M = Color HtmlColors::*;
        const std::pair<const char*, M> colours[] = {
            {"Background", &HtmlColors::background},
            {"DefaultLink", &HtmlColors::defaultLink},
            {"VisitedLink", &HtmlColors::visitedLink},
            {"ActiveLink", &HtmlColors::activeLink},
            {"DefaultText", &HtmlColors::defaultText},
            {"TableFontColor", &HtmlColors::tableFontColor},
            {"TableBackground", &HtmlColors::tableBackground},
            {"TableOddBackground", &HtmlColors::tableOddBackground},
            {"HeaderBackground", &HtmlColors::headerBackground},
            {"HeadersFontColor", &HtmlColors::headersFontColor},
        };
        for (const auto& [name, member] : colours)
            addColor(rows, std::string("HTML.CustomColors.") + name,
                     [member](CustomExport& c) -> Color& { return c.html().customColors.*member; });
        addString(rows, "HTML.CustomColors.DefaultFontFace",
                  [](CustomExport& c) -> std::string& { return c.html().customColors.defaultFontFace; });
        addString(rows, "HTML.CustomColors.TableFontFace",
                  [](CustomExport& c) -> std::string& { return c.html().customColors.tableFontFace; });
    }

    // Messages
    {
        using M = std::string MessagesOptions::*;
        const std::pair<const char*, M> texts[] = {
            {"Caption", &MessagesOptions::caption},
            {"CopiedToClipboard", &MessagesOptions::copiedToClipboard},
            {"CancelCaption", &MessagesOptions::cancelCaption},
            {"CreatedText", &MessagesOptions::createdText},
            {"ExportCaption", &MessagesOptions::exportCaption},
            {"ExportToFile", &MessagesOptions::exportToFile},
            {"FalseText", &MessagesOptions::falseText},
            {"SaveTitle", &MessagesOptions::saveTitle},
            {"SelectFormat", &MessagesOptions::selectFormat},
            {"Text", &MessagesOptions::text},
            {"TrueText", &MessagesOptions::trueText},
            {"ViewOnly", &MessagesOptions::viewOnly},
        };
        for (const auto& [name, member] : texts)
            addString(rows, std::string("Messages.") + name,
                      [member](CustomExport& c) -> std::string& { return c.messages().*member; });
        addInt(rows, "Messages.Height", [](CustomExport& c) -> int& { return c.messages().height; });
        addInt(rows, "Messages.Width", [](CustomExport& c) -> int& { return c.messages().width; });
        using F = std::string DocumentFilter::*;
        const std::pair<const char*, F> filters[] = {
            {"HTML", &DocumentFilter::html}, {"Excel", &DocumentFilter::excel}, {"Word", &DocumentFilter::word},
            {"Text", &DocumentFilter::text}, {"Comma", &DocumentFilter::comma}, {"Tab", &DocumentFilter::tab},
            {"RTF", &DocumentFilter::rtf},   {"DIF", &DocumentFilter::dif},     {"SYLK", &DocumentFilter::sylk},
        };
        for (const auto& [name, member] : filters)
            addString(rows, std::string("Messages.DocumentFilter.") + name,
                      [member](CustomExport& c) -> std::string& { return c.messages().documentFilter.*member; });
    }

    {
        const std::string name = "TempDir";
        rows.push_back({name,
                        [name](CustomExport& c, std::string_view v, Op op) {
                            requireAssign(name, op);
                            c.setTempDir(std::string(v));
                        },
                        [](CustomExport& c) { return c.tempDir(); }});
    }
    stringSetter(
        "TruncateSymbol", [](CustomExport& c, std::string_view v) { c.setTruncateSymbol(std::string(v)); },
        [](CustomExport& c) { return c.truncateSymbol(); });
    stringSetter(
        "RowNumberFormat",
        [](CustomExport& c, std::string_view v) {
            if (!c.setRowNumberFormat(std::string(v)))
                throw Error("RowNumberFormat: The format has to contain %d string.");
        },
        [](CustomExport& c) { return c.rowNumberFormat(); });

    // DOC_RTF
    addEnum<RtfColorTemplate>(rows, "DOC_RTF.Template", rtfTemplateNames,
                              [](CustomExport& c) -> RtfColorTemplate& { return c.docRtf().colorTemplate; });
    addSet<RtfOption>(rows, "DOC_RTF.Options", rtfOptionNames,
                      [](CustomExport& c) -> RtfOptionSet& { return c.docRtf().options; });
    addColor(rows, "DOC_RTF.CustomSettings.TableBackground",
             [](CustomExport& c) -> Color& { return c.docRtf().customSettings.tableBackground; });
    addColor(rows, "DOC_RTF.CustomSettings.TableOddBackground",
             [](CustomExport& c) -> Color& { return c.docRtf().customSettings.tableOddBackground; });
    addColor(rows, "DOC_RTF.CustomSettings.HeaderBackground",
             [](CustomExport& c) -> Color& { return c.docRtf().customSettings.headerBackground; });
    addFont(rows, "DOC_RTF.CustomSettings.DefaultFont",
            [](CustomExport& c) -> FontDescription& { return c.docRtf().customSettings.defaultFont; });
    addFont(rows, "DOC_RTF.CustomSettings.HeaderFont",
            [](CustomExport& c) -> FontDescription& { return c.docRtf().customSettings.headerFont; });
    addFont(rows, "DOC_RTF.CustomSettings.TableFont",
            [](CustomExport& c) -> FontDescription& { return c.docRtf().customSettings.tableFont; });
    addInt(rows, "DOC_RTF.CellWidth", [](CustomExport& c) -> int& { return c.docRtf().cellWidth; });
    addInt(rows, "DOC_RTF.TopMargin", [](CustomExport& c) -> int& { return c.docRtf().topMargin; });
    addInt(rows, "DOC_RTF.BottomMargin", [](CustomExport& c) -> int& { return c.docRtf().bottomMargin; });
    addInt(rows, "DOC_RTF.LeftMargin", [](CustomExport& c) -> int& { return c.docRtf().leftMargin; });
    addInt(rows, "DOC_RTF.RightMargin", [](CustomExport& c) -> int& { return c.docRtf().rightMargin; });

    // EXCEL
    addSet<ExcelOption>(rows, "EXCEL.Options", excelOptionNames,
                        [](CustomExport& c) -> ExcelOptionSet& { return c.excel().options; });
    addInt(rows, "EXCEL.ColumnWidth", [](CustomExport& c) -> int& { return c.excel().columnWidth; });
    addBool(rows, "EXCEL.Protected", [](CustomExport& c) -> bool& { return c.excel().protectedSheet; });
    addString(rows, "EXCEL.Header", [](CustomExport& c) -> std::string& { return c.excel().header; });
    addString(rows, "EXCEL.Footer", [](CustomExport& c) -> std::string& { return c.excel().footer; });
    addEnum<ExcelVersion>(rows, "EXCEL.ExcelVersion", excelVersionNames,
                          [](CustomExport& c) -> ExcelVersion& { return c.excel().excelVersion; });
    addFont(rows, "EXCEL.DefaultFont", [](CustomExport& c) -> FontDescription& { return c.excel().defaultFont; });
    addFont(rows, "EXCEL.HeaderFont", [](CustomExport& c) -> FontDescription& { return c.excel().headerFont; });
    addFont(rows, "EXCEL.TableFont", [](CustomExport& c) -> FontDescription& { return c.excel().tableFont; });
    addDouble(rows, "EXCEL.TopMargin", [](CustomExport& c) -> double& { return c.excel().topMargin; });
    addDouble(rows, "EXCEL.BottomMargin", [](CustomExport& c) -> double& { return c.excel().bottomMargin; });
    addDouble(rows, "EXCEL.LeftMargin", [](CustomExport& c) -> double& { return c.excel().leftMargin; });
    addDouble(rows, "EXCEL.RightMargin", [](CustomExport& c) -> double& { return c.excel().rightMargin; });

    {
        const std::string name = "Options";
        rows.push_back({name,
                        [name](CustomExport& c, std::string_view v, Op op) {
                            const std::uint32_t bits = parseMembers(name, v, exportOptionNames);
                            std::uint32_t now = c.options().bits();
                            now = op == Op::Assign ? bits : op == Op::Add ? (now | bits) : (now & ~bits);
                            c.setOptions(ExportOptionSet::fromBits(now));
                        },
                        [](CustomExport& c) { return membersText(c.options().bits(), exportOptionNames); }, true});
    }
    // Writing the version is accepted and ignored.
    rows.push_back({"Version", [](CustomExport& c, std::string_view v, Op) { c.setVersion(v); },
                    [](CustomExport&) { return CustomExport::version(); }});
    return rows;
}

const Rows& table() {
    static const Rows rows = makeRows();
    return rows;
}

const Row& find(std::string_view name) {
    const std::string_view n = trim(name);
    for (const Row& r : table())
        if (equalNoCase(r.name, n))
            return r;
    throw Error("Unknown export property: " + std::string(n));
}

} // namespace

void setProperty(CustomExport& component, std::string_view assignment) {
    const std::size_t eq = assignment.find('=');
    if (eq == std::string_view::npos || eq == 0)
        throw Error("Expected NAME=VALUE, NAME+=VALUE or NAME-=VALUE: " + std::string(assignment));
    Op op = Op::Assign;
    std::size_t nameEnd = eq;
    if (assignment[eq - 1] == '+') {
        op = Op::Add;
        --nameEnd;
    } else if (assignment[eq - 1] == '-') {
        op = Op::Remove;
        --nameEnd;
    }
    const Row& row = find(assignment.substr(0, nameEnd));
    if (op != Op::Assign && !row.allowsAddRemove)
        throw Error("Only '=' applies to " + row.name);
    row.set(component, assignment.substr(eq + 1), op);
}

std::string getProperty(const CustomExport& component, std::string_view name) {
    // The getters only read; the table's accessors are shared with the setters.
    return find(name).get(const_cast<CustomExport&>(component));
}

std::vector<std::string> propertyNames() {
    std::vector<std::string> names;
    for (const Row& r : table())
        names.push_back(r.name);
    return names;
}

std::string_view exportTypeName(ExportType type) { return exportTypeNames[static_cast<std::size_t>(type)]; }

std::optional<ExportType> exportTypeFromName(std::string_view name) {
    for (std::size_t i = 0; i < exportTypeNames.size(); ++i)
        if (equalNoCase(name, exportTypeNames[i]))
            return static_cast<ExportType>(i);
    return std::nullopt;
}

std::string_view exportErrorName(ExportError error) { return exportErrorNames[static_cast<std::size_t>(error)]; }

} // namespace tabvue::exporter
