#include "export/export_options.h"

#include "export/export_strings.h"

namespace tabvue::exporter {

namespace {
Color color(StringId id) { return colorFromText(exportString(id)); }
std::string str(StringId id) { return std::string(exportString(id)); }

FontDescription boldFont() {
    FontDescription f;
    f.style.insert(FontStyle::fsBold);
    return f;
}

// Delphi-style MulDiv: a * b / c rounded to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long q = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return static_cast<int>(q);
}
} // namespace

HtmlColors::HtmlColors()
    : background(color(StringId::HtmlBackground)),
      defaultLink(color(StringId::HtmlDefaultLink)),
      defaultFontFace(str(StringId::HtmlDefaultFontFace)),
      visitedLink(color(StringId::HtmlVisitedLink)),
      activeLink(color(StringId::HtmlActiveLink)),
      defaultText(color(StringId::HtmlDefaultText)),
      tableFontColor(color(StringId::HtmlTableFontColor)),
      tableFontFace(str(StringId::HtmlTableFontFace)),
      tableBackground(color(StringId::HtmlTableBackground)),
      tableOddBackground(color(StringId::HtmlTableOddBackground)),
      headerBackground(color(StringId::HtmlHeaderBackground)),
      headersFontColor(color(StringId::HtmlHeadersFontColor)) {}

int FontDescription::size() const { return height < 0 ? mulDiv(-height, 72, 96) : mulDiv(height, 72, 96); }

void FontDescription::setSize(int points) { height = -mulDiv(points, 96, 72); }

RtfColors::RtfColors()
    : tableBackground(color(StringId::RtfTableBackground)),
      tableOddBackground(color(StringId::RtfTableOddBackground)),
      headerBackground(color(StringId::RtfHeaderBackground)),
      headerFont(boldFont()) {}

ExcelOptions::ExcelOptions() : headerFont(boldFont()) {}

DocumentFilter::DocumentFilter()
    : html(str(StringId::FilterHtml)),
      excel(str(StringId::FilterExcel)),
      word(str(StringId::FilterWord)),
      text(str(StringId::FilterText)),
      comma(str(StringId::FilterComma)),
      tab(str(StringId::FilterTab)),
      rtf(str(StringId::FilterRtf)),
      dif(str(StringId::FilterDif)),
      sylk(str(StringId::FilterSylk)) {}

MessagesOptions::MessagesOptions()
    : caption(str(StringId::Caption)),
      copiedToClipboard(str(StringId::CopiedToClipboard)),
      cancelCaption(str(StringId::CancelCaption)),
      createdText(str(StringId::CreatedText)),
      exportCaption(str(StringId::ExportCaption)),
      exportToFile(str(StringId::ExportToFile)),
      falseText(str(StringId::FalseText)),
      saveTitle(str(StringId::SaveTitle)),
      selectFormat(str(StringId::SelectFormat)),
      text(str(StringId::ProgressText)),
      trueText(str(StringId::TrueText)),
      viewOnly(str(StringId::ViewOnly)) {}

} // namespace tabvue::exporter
