#pragma once
// Qt conveniences over the shared DBF builder, for widget tests that need a table on disk.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <string>
#include <vector>

#include "common/dbf_builder.h"

namespace tabvue::testing {

struct TableSpec {
    std::vector<FieldSpec> fields;
    std::vector<std::vector<std::string>> rows; // one text per field; M fields hold the memo text
    std::vector<bool> deleted;                  // optional, per row
};

// Writes path (and, when a field is M, the FoxPro memo file next to it with ".fpt").
inline void writeTable(const QString& path, const TableSpec& layout) {
    DbfBuilder b(hasMemoField(layout.fields) ? 0xF5 : 0x03, layout.fields);
    b.date(126, 1, 1);
    for (std::size_t r = 0; r < layout.rows.size(); ++r)
        b.row(layout.rows[r], r < layout.deleted.size() && layout.deleted[r]);
    b.write(path.toStdString());
}

// A small table of every common field type: C, N (with decimals), D, L, M.
inline TableSpec peopleSpec() {
    return TableSpec{
        {{"NAME", 'C', 12}, {"AGE", 'N', 3}, {"SALARY", 'N', 9, 2}, {"BORN", 'D', 8}, {"MARRIED", 'L', 1},
         {"NOTES", 'M', 10}},
        {{"Alice", "34", "1200.50", "19900214", "T", "first line\r\nsecond line"},
         {"Bob", "41", "980.00", "19830701", "F", ""},
         {"Carol", "29", "1500.25", "19950330", "T", "likes tea"}},
        {}};
}

struct Row {
    std::vector<std::string> cells; // one per field
    bool deleted = false;
};

// Writes a dBase III (0x03), dBase III with memo (0x83) or Visual FoxPro (0x30) table, and an empty
// memo file when it has memo fields; false on an I/O failure.
inline bool writeDbf(const QString& path, const std::vector<FieldSpec>& fields, const std::vector<Row>& rows,
                     unsigned char version = 0x03) {
    DbfBuilder b(version, fields);
    b.date(124, 5, 15);
    if (isVisualFoxPro(version)) {
        const bool memo = std::any_of(fields.begin(), fields.end(),
                                      [](const FieldSpec& f) { return f.type == 'M' || f.type == 'G'; });
        b.tableFlags(memo ? 0x02 : 0x00).codePageMark(0x03); // code page mark: 1252
    }
    for (const Row& row : rows)
        b.row(row.cells, row.deleted);
    return b.write(path.toStdString());
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace tabvue::testing
