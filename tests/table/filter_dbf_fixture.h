#pragma once
// Writes small DBF tables as bytes for the dialog tests: dBase III (0x03), dBase III with memo
// (0x83) and Visual FoxPro (0x30), with an empty memo file when a table has memo fields.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>
#include <vector>

namespace dialogs_fixture {

struct FieldSpec {
    std::string name;
    char type = 'C';
    int width = 10;
    int decimals = 0;
};

struct Row {
    std::vector<std::string> cells; // one per field; padded to the field width
    bool deleted = false;
};

inline void putLe(QByteArray& b, int at, unsigned value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char((value >> (8 * i)) & 0xFF);
}

// Numbers are right-aligned, everything else left-aligned and blank-padded; binary fields
// (I, Y, T, B in Visual FoxPro tables) are zero-filled unless the cell gives their bytes.
inline QByteArray dbfBytes(const std::vector<FieldSpec>& fields, const std::vector<Row>& rows,
                           unsigned char version = 0x03) {
    const bool vfp = version == 0x30;
    int recordLength = 1;
    for (const FieldSpec& f : fields)
        recordLength += f.width;
    const int headerLength = 32 + 32 * int(fields.size()) + 1 + (vfp ? 263 : 0);
    QByteArray b(headerLength, '\0');
    b[0] = char(version);
    b[1] = char(124);
    b[2] = 5;
    b[3] = 15;
    putLe(b, 4, unsigned(rows.size()), 4);
    putLe(b, 8, unsigned(headerLength), 2);
    putLe(b, 10, unsigned(recordLength), 2);
    bool memo = false;
    for (const FieldSpec& f : fields)
        memo = memo || f.type == 'M' || f.type == 'G';
    if (vfp && memo)
        b[28] = 0x02;
    if (vfp)
        b[29] = 0x03; // code page mark: 1252
    int offset = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldSpec& f = fields[i];
        const int at = 32 + 32 * int(i);
        for (std::size_t c = 0; c < f.name.size() && c < 10; ++c)
            b[at + int(c)] = f.name[c];
        b[at + 11] = f.type;
        putLe(b, at + 12, unsigned(offset), 4);
        b[at + 16] = char(f.width);
        b[at + 17] = char(f.decimals);
        offset += f.width;
    }
    b[32 + 32 * int(fields.size())] = 0x0D;
    for (const Row& row : rows) {
        QByteArray rec(recordLength, ' ');
        rec[0] = row.deleted ? '*' : ' ';
        int at = 1;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const FieldSpec& f = fields[i];
            const std::string cell = i < row.cells.size() ? row.cells[i] : std::string();
            const bool binary = vfp && (f.type == 'I' || f.type == 'Y' || f.type == 'T' || f.type == 'B' ||
                                        f.type == 'M' || f.type == 'G');
            if (binary) {
                for (int k = 0; k < f.width; ++k)
                    rec[at + k] = k < int(cell.size()) ? cell[std::size_t(k)] : '\0';
            } else {
                const int n = std::min<int>(int(cell.size()), f.width);
                const int start = (f.type == 'N' || f.type == 'F') ? f.width - n : 0;
                for (int k = 0; k < n; ++k)
                    rec[at + start + k] = cell[std::size_t(k)];
            }
            at += f.width;
        }
        b.append(rec);
    }
    b.append(char(0x1A));
    return b;
}

// Writes the table (and an empty memo file when it has memo fields); false on an I/O failure.
inline bool writeDbf(const QString& path, const std::vector<FieldSpec>& fields, const std::vector<Row>& rows,
                     unsigned char version = 0x03) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(dbfBytes(fields, rows, version)) < 0)
        return false;
    file.close();
    bool memo = false;
    for (const FieldSpec& f : fields)
        memo = memo || f.type == 'M';
    if (!memo)
        return true;
    const bool vfp = version == 0x30;
    QByteArray header(512, '\0');
    if (vfp) {
        header[3] = 8;  // next free block (big-endian), after the 512-byte header in 64-byte blocks
        header[7] = 64; // block size (big-endian)
    } else {
        header[0] = 1;  // next free block
    }
    QString memoPath = path;
    memoPath.chop(4);
    memoPath += vfp ? QStringLiteral(".fpt") : QStringLiteral(".dbt");
    QFile memoFile(memoPath);
    return memoFile.open(QIODevice::WriteOnly) && memoFile.write(header) == header.size();
}

} // namespace dialogs_fixture
