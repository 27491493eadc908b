#pragma once
#include <QByteArray>

class QTextDocument;

namespace tabvue::gui {

// Reads an RTF document into a QTextDocument (replacing its content): paragraphs with their
// alignment, indents and spacing; bold, italic, underline, strike-out, font face and size, text
// colour; tabs, line breaks, bullets, dashes and quotes; \'hh bytes in the document's ANSI code page
// (\ansicpgN, 1252 by default) and \uN characters. Pictures, objects, headers, footers, field
// instructions and every \* destination are skipped.
// Throws tabvue::Error when the bytes are not an RTF document.
void readRtf(const QByteArray& rtf, QTextDocument& document);

} // namespace tabvue::gui
