#pragma once
// Small DBF tables built as bytes, for widget tests that need a table on disk.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>
#include <vector>

namespace tabvue::testing {

struct FieldSpec {
    std::string name;
    char type;
    int width;
    int decimals = 0;
};

struct TableSpec {
    std::vector<FieldSpec> fields;
    std::vector<std::vector<std::string>> rows; // one text per field; M fields hold the memo text
    std::vector<bool> deleted;                  // optional, per row
};

inline void putLe(QByteArray& b, int at, unsigned value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline void putBe(QByteArray& b, int at, unsigned value) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((value >> (8 * (3 - i))) & 0xFF);
}

// Writes path (and, when a field is M, the FoxPro memo file next to it with ".fpt").
inline void writeTable(const QString& path, const TableSpec& layout) {
    bool memo = false;
    int recordLength = 1;
    for (const FieldSpec& f : layout.fields) {
        recordLength += f.width;
        memo = memo || f.type == 'M';
    }
    const int headerLength = 32 + 32 * static_cast<int>(layout.fields.size()) + 1;
    QByteArray head(headerLength, '\0');
    head[0] = static_cast<char>(memo ? 0xF5 : 0x03);
    head[1] = 126;
    head[2] = 1;
    head[3] = 1;
    putLe(head, 4, static_cast<unsigned>(layout.rows.size()), 4);
    putLe(head, 8, static_cast<unsigned>(headerLength), 2);
    putLe(head, 10, static_cast<unsigned>(recordLength), 2);
    int offset = 1;
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
        const FieldSpec& f = layout.fields[i];
        const int at = 32 + 32 * static_cast<int>(i);
        for (std::size_t c = 0; c < f.name.size() && c < 10; ++c)
            head[at + static_cast<int>(c)] = f.name[c];
        head[at + 11] = f.type;
        putLe(head, at + 12, static_cast<unsigned>(offset), 4);
        head[at + 16] = static_cast<char>(f.width);
        head[at + 17] = static_cast<char>(f.decimals);
        offset += f.width;
    }
    head[headerLength - 1] = 0x0D;

    const int blockSize = 64;
    QByteArray fpt(512, '\0');
    QByteArray body;
    for (std::size_t r = 0; r < layout.rows.size(); ++r) {
        const bool del = r < layout.deleted.size() && layout.deleted[r];
        QByteArray rec(recordLength, ' ');
        rec[0] = del ? '*' : ' ';
        int at = 1;
        for (std::size_t i = 0; i < layout.fields.size(); ++i) {
            const FieldSpec& f = layout.fields[i];
            std::string v = r < layout.rows.size() && i < layout.rows[r].size() ? layout.rows[r][i] : std::string();
            if (f.type == 'M') {
                if (!v.empty()) {
                    const int block = static_cast<int>(fpt.size() / blockSize);
                    QByteArray entry(8, '\0');
                    putBe(entry, 0, 1);
                    putBe(entry, 4, static_cast<unsigned>(v.size()));
                    entry.append(v.data(), static_cast<qsizetype>(v.size()));
                    while (entry.size() % blockSize)
                        entry.append('\0');
                    fpt.append(entry);
                    v = std::to_string(block);
                }
                v = std::string(static_cast<std::size_t>(f.width) - std::min<std::size_t>(v.size(), f.width), ' ') + v;
            } else if (f.type == 'N' || f.type == 'F') {
                v = std::string(static_cast<std::size_t>(f.width) - std::min<std::size_t>(v.size(), f.width), ' ') + v;
            }
            for (int c = 0; c < f.width; ++c)
                rec[at + c] = c < static_cast<int>(v.size()) ? v[static_cast<std::size_t>(c)] : ' ';
            at += f.width;
        }
        body.append(rec);
    }
    body.append('\x1A');
    QFile out(path);
    out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    out.write(head + body);
    out.close();
    if (memo) {
        putBe(fpt, 0, static_cast<unsigned>(fpt.size() / blockSize));
        fpt[6] = 0;
        fpt[7] = static_cast<char>(blockSize);
        QString memoPath = path;
        memoPath.chop(4);
        QFile m(memoPath + QStringLiteral(".fpt"));
        m.open(QIODevice::WriteOnly | QIODevice::Truncate);
        m.write(fpt);
    }
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

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace tabvue::testing
