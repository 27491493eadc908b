#include "app/rtf_reader.h"

#include <QColor>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <vector>

#include "engine/codepage.h"
#include "engine/error.h"

namespace tabvue::gui {

namespace {

constexpr int twipsPerPixel = 15; // 1440 twips an inch, 96 pixels an inch

enum class Destination { Text, Skip, FontTable, ColorTable };

struct State {
    Destination destination = Destination::Text;
    // Character properties.
    bool bold = false, italic = false, underline = false, strike = false;
    int halfPoints = 24;
    int font = -1;
    int color = 0;
    int unicodeSkip = 1;
    // Paragraph properties.
    Qt::Alignment align = Qt::AlignLeft;
    int leftIndent = 0, rightIndent = 0, firstIndent = 0, spaceBefore = 0, spaceAfter = 0;
    std::vector<int> tabStops; // twips from the left edge of the text

    void resetCharacter() {
        bold = italic = underline = strike = false;
        halfPoints = 24;
        font = -1;
        color = 0;
    }
    void resetParagraph() {
        align = Qt::AlignLeft;
        leftIndent = rightIndent = firstIndent = spaceBefore = spaceAfter = 0;
        tabStops.clear();
    }
};

class Reader {
public:
    Reader(const QByteArray& rtf, QTextDocument& document) : in_(rtf), doc_(document), cursor_(&document) {}

    void run() {
        skipSpace();
        if (!in_.mid(pos_).startsWith("{\\rtf"))
            throw Error("The help text is not an RTF document");
        doc_.clear();
        cursor_ = QTextCursor(&doc_);
        stack_.push_back(State{});
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                flush();
                stack_.push_back(stack_.back());
            } else if (c == '}') {
                ++pos_;
                flush();
                if (stack_.back().destination == Destination::FontTable)
                    endFontEntry();
                if (stack_.size() > 1)
                    stack_.pop_back();
                if (stack_.size() <= 1)
                    break; // the document's own group is closed; anything after it is ignored
            } else if (c == '\\') {
                ++pos_;
                controlWord();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                text(QChar(static_cast<unsigned char>(c) < 0x80 ? QChar(c) : decodeByte(static_cast<unsigned char>(c))));
            }
        }
        flush();
        if (paragraphStarted_)
            cursor_.setBlockFormat(blockFormat());
        else if (doc_.blockCount() > 1 && cursor_.block().length() <= 1)
            cursor_.deletePreviousChar(); // the closing \par leaves no empty paragraph behind
    }

private:
    State& st() { return stack_.back(); }

    void skipSpace() {
        while (pos_ < in_.size() && std::isspace(static_cast<unsigned char>(in_[pos_])))
            ++pos_;
    }

    QChar decodeByte(unsigned char b) {
        if (!codePage_) {
            try {
                codePage_ = &engine::codePage(codePageNumber_);
            } catch (const std::exception&) {
                return QChar(b); // an unknown code page: bytes read as Latin-1
            }
        }
        const char32_t u = codePage_->toUnicode(b);
        return u <= 0xFFFF ? QChar(static_cast<char16_t>(u)) : QChar(QChar::ReplacementCharacter);
    }

    void controlWord() {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            switch (c) {
            case '\\': case '{': case '}':
                text(QChar(c));
                break;
            case '~':
                text(QChar(0x00A0));
                break;
            case '_':
                text(QChar(0x2011));
                break;
            case '-':
                break; // optional hyphen
            case '*':
                st().destination = Destination::Skip;
                break;
            case '\'': {
                const QByteArray hex = in_.mid(pos_, 2);
                pos_ += hex.size();
                bool ok = false;
                const int b = hex.toInt(&ok, 16);
                if (ok)
                    text(decodeByte(static_cast<unsigned char>(b)));
                break;
            }
            case '\r': case '\n':
                paragraph();
                break;
            default:
                break;
            }
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])))
            ++pos_;
        const QByteArray word = in_.mid(start, pos_ - start);
        std::optional<int> param;
        if (pos_ < in_.size() && (in_[pos_] == '-' || std::isdigit(static_cast<unsigned char>(in_[pos_])))) {
            const qsizetype numStart = pos_;
            ++pos_;
            while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_])) && pos_ - numStart < 11)
                ++pos_;
            param = in_.mid(numStart, pos_ - numStart).toInt();
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_; // the delimiting space belongs to the control word
        apply(word, param);
    }

    void apply(const QByteArray& w, std::optional<int> param) {
        const int n = param.value_or(1);
        State& s = st();
        // Destinations.
        static const char* const skipped[] = {"stylesheet", "info", "pict", "object", "header", "headerl", "headerr",
                                              "headerf", "footer", "footerl", "footerr", "footerf", "fldinst",
                                              "listtable", "listoverridetable", "rsidtbl", "xmlnstbl", "filetbl",
                                              "revtbl", "themedata", "colorschememapping", "latentstyles",
                                              "datastore", "footnote", "pn", "generator"};
        for (const char* name : skipped) {
            if (w == name) {
                flush();
                s.destination = Destination::Skip;
                return;
            }
        }
        if (w == "fonttbl") {
            s.destination = Destination::FontTable;
            return;
        }
        if (w == "colortbl") {
            s.destination = Destination::ColorTable;
            colors_.clear();
            pendingColor_ = QColor(0, 0, 0);
            colorSet_ = false;
            return;
        }
        if (w == "bin") {
            pos_ += std::max(0, n); // binary data is never text
            return;
        }
        if (s.destination == Destination::ColorTable) {
            if (w == "red") { pendingColor_.setRed(std::clamp(n, 0, 255)); colorSet_ = true; }
            else if (w == "green") { pendingColor_.setGreen(std::clamp(n, 0, 255)); colorSet_ = true; }
            else if (w == "blue") { pendingColor_.setBlue(std::clamp(n, 0, 255)); colorSet_ = true; }
            return;
        }
        if (s.destination == Destination::FontTable) {
            if (w == "f") {
                endFontEntry();
                fontEntry_ = n;
            }
            return;
        }
        if (w == "ansicpg") {
            codePageNumber_ = n;
            codePage_ = nullptr;
            return;
        }
        if (w == "uc") {
            s.unicodeSkip = std::max(0, n);
            return;
        }
        if (w == "u") {
            int code = n;
            if (code < 0)
                code += 65536;
            text(QChar(static_cast<char16_t>(code)));
            skipFallback(s.unicodeSkip);
            return;
        }
        if (s.destination == Destination::Skip)
            return;
        // Text and its formatting.
        if (w == "par" || w == "sect") paragraph();
        else if (w == "line") text(QChar(QChar::LineSeparator));
        else if (w == "tab") text(QChar('\t'));
        else if (w == "bullet") text(QChar(0x2022));
        else if (w == "endash") text(QChar(0x2013));
        else if (w == "emdash") text(QChar(0x2014));
        else if (w == "lquote") text(QChar(0x2018));
        else if (w == "rquote") text(QChar(0x2019));
        else if (w == "ldblquote") text(QChar(0x201C));
        else if (w == "rdblquote") text(QChar(0x201D));
        else if (w == "emspace" || w == "enspace" || w == "qmspace") text(QChar(' '));
        else if (w == "pard") { flush(); s.resetParagraph(); }
        else if (w == "plain") { flush(); s.resetCharacter(); }
        else if (w == "b") { flush(); s.bold = n != 0; }
        else if (w == "i") { flush(); s.italic = n != 0; }
        else if (w == "ul") { flush(); s.underline = n != 0; }
        else if (w == "ulnone") { flush(); s.underline = false; }
        else if (w == "strike") { flush(); s.strike = n != 0; }
        else if (w == "fs") { flush(); s.halfPoints = std::clamp(n, 2, 3276); }
        else if (w == "f") { flush(); s.font = n; }
        else if (w == "cf") { flush(); s.color = n; }
        else if (w == "ql") s.align = Qt::AlignLeft;
        else if (w == "qr") s.align = Qt::AlignRight;
        else if (w == "qc") s.align = Qt::AlignHCenter;
        else if (w == "qj") s.align = Qt::AlignJustify;
        else if (w == "li") s.leftIndent = n;
        else if (w == "ri") s.rightIndent = n;
        else if (w == "fi") s.firstIndent = n;
        else if (w == "sb") s.spaceBefore = n;
        else if (w == "sa") s.spaceAfter = n;
        else if (w == "tx") s.tabStops.push_back(n);
    }

    // After \uN the reader skips the N-character fallback that follows (a \'hh counts as one).
    void skipFallback(int count) {
        while (count > 0 && pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{' || c == '}')
                return;
            if (c == '\\') {
                if (pos_ + 1 < in_.size() && in_[pos_ + 1] == '\'') {
                    pos_ += 4;
                } else {
                    return; // a control word ends the fallback
                }
            } else if (c == '\r' || c == '\n') {
                ++pos_;
                continue;
            } else {
                ++pos_;
            }
            --count;
        }
    }

    void text(QChar c) {
        State& s = st();
        switch (s.destination) {
        case Destination::Text:
            pending_.append(c);
            break;
        case Destination::FontTable:
            if (c == QChar(';'))
                endFontEntry();
            else
                fontName_.append(c);
            break;
        case Destination::ColorTable:
            if (c == QChar(';')) {
                colors_.push_back(colorSet_ ? std::optional<QColor>(pendingColor_) : std::nullopt);
                pendingColor_ = QColor(0, 0, 0);
                colorSet_ = false;
            }
            break;
        case Destination::Skip:
            break;
        }
    }

    void endFontEntry() {
        if (fontEntry_ >= 0) {
            const QString name = fontName_.trimmed();
            if (!name.isEmpty())
                fonts_[fontEntry_] = name;
        }
        fontEntry_ = -1;
        fontName_.clear();
    }

    QTextCharFormat charFormat() const {
        const State& s = stack_.back();
        QTextCharFormat f;
        f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.italic);
        f.setFontUnderline(s.underline);
        f.setFontStrikeOut(s.strike);
        f.setFontPointSize(s.halfPoints / 2.0);
        if (auto it = fonts_.find(s.font); it != fonts_.end())
            f.setFontFamilies({it->second});
        if (s.color > 0 && s.color < static_cast<int>(colors_.size()) && colors_[s.color])
            f.setForeground(*colors_[s.color]);
        return f;
    }

    QTextBlockFormat blockFormat() const {
        const State& s = stack_.back();
        QTextBlockFormat f;
        f.setAlignment(s.align);
        f.setLeftMargin(s.leftIndent / twipsPerPixel);
        f.setRightMargin(s.rightIndent / twipsPerPixel);
        f.setTextIndent(s.firstIndent / twipsPerPixel);
        f.setTopMargin(s.spaceBefore / twipsPerPixel);
        f.setBottomMargin(s.spaceAfter / twipsPerPixel);
        // A hanging first line tabs to the left indent, as in a bulleted list.
        std::vector<int> stops = s.tabStops;
        if (s.firstIndent < 0 && s.leftIndent > 0)
            stops.push_back(s.leftIndent);
        std::sort(stops.begin(), stops.end());
        QList<QTextOption::Tab> tabs;
        // RTF measures stops from the page's left edge; the layout measures them from where the
        // paragraph's first line starts.
        const int lineStart = s.leftIndent + s.firstIndent;
        for (int stop : stops)
            if (stop > lineStart)
                tabs.append(QTextOption::Tab((stop - lineStart) / twipsPerPixel, QTextOption::LeftTab));
        if (!tabs.isEmpty())
            f.setTabPositions(tabs);
        return f;
    }

    void flush() {
        if (pending_.isEmpty())
            return;
        if (!paragraphStarted_) {
            cursor_.setBlockFormat(blockFormat());
            paragraphStarted_ = true;
        }
        cursor_.insertText(pending_, charFormat());
        pending_.clear();
    }

    void paragraph() {
        flush();
        cursor_.setBlockFormat(blockFormat());
        cursor_.insertBlock(blockFormat(), charFormat());
        paragraphStarted_ = false;
    }

    const QByteArray& in_;
    qsizetype pos_ = 0;
    QTextDocument& doc_;
    QTextCursor cursor_;
    std::vector<State> stack_;
    QString pending_;
    bool paragraphStarted_ = false;
    int codePageNumber_ = 1252;
    const engine::CodePage* codePage_ = nullptr;
    std::map<int, QString> fonts_;
    int fontEntry_ = -1;
    QString fontName_;
    std::vector<std::optional<QColor>> colors_;
    QColor pendingColor_;
    bool colorSet_ = false;
};

} // namespace

void readRtf(const QByteArray& rtf, QTextDocument& document) {
    Reader(rtf, document).run();
}

} // namespace tabvue::gui
