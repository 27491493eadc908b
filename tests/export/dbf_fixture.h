#pragma once
// Small dBase III tables written byte by byte for the export tests, with an optional .dbt memo file.
#include <cstdint>
#include <string>
#include <vector>

#include "fake_export.h"

namespace tabvue::exporter::testing {

struct DbfField {
    std::string name;
    char type = 'C';
    int width = 10;
    int decimals = 0;
};

// Writes path (and, when a field is a memo, the .dbt beside it). Record values are the raw field
// texts; a memo field's value is the memo text itself.
inline void writeDbf(const std::string& path, const std::vector<DbfField>& fields,
                     const std::vector<std::vector<std::string>>& records) {
    int recordLength = 1;
    bool hasMemo = false;
    for (const DbfField& f : fields) {
        recordLength += f.width;
        hasMemo |= f.type == 'M';
    }
    const int headerLength = 32 + 32 * static_cast<int>(fields.size()) + 1;
    std::string h(32, '\0');
    h[0] = static_cast<char>(hasMemo ? 0x83 : 0x03);
    h[1] = 124;
    h[2] = 1;
    h[3] = 1;
    const auto n = static_cast<std::uint32_t>(records.size());
    for (int i = 0; i < 4; ++i)
        h[4 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    h[8] = static_cast<char>(headerLength & 0xFF);
    h[9] = static_cast<char>(headerLength >> 8);
    h[10] = static_cast<char>(recordLength & 0xFF);
    h[11] = static_cast<char>(recordLength >> 8);
    for (const DbfField& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.width);
        d[17] = static_cast<char>(f.decimals);
        h += d;
    }
    h += '\r';
    std::string memo(512, '\0');
    std::uint32_t nextBlock = 1;
    for (const auto& r : records) {
        h += ' ';
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::string v = r[i];
            if (fields[i].type == 'M') {
                if (v.empty()) {
                    v = std::string(static_cast<std::size_t>(fields[i].width), ' ');
                } else {
                    std::string block = v + "\x1A\x1A";
                    block.resize((block.size() + 511) / 512 * 512, '\0');
                    std::string number = std::to_string(nextBlock);
                    v = std::string(static_cast<std::size_t>(fields[i].width) - number.size(), ' ') + number;
                    nextBlock += static_cast<std::uint32_t>(block.size() / 512);
                    memo += block;
                }
            } else if (fields[i].type == 'N' || fields[i].type == 'F') {
                v.insert(0, static_cast<std::size_t>(std::max(0, fields[i].width - static_cast<int>(v.size()))), ' ');
            }
            v.resize(static_cast<std::size_t>(fields[i].width), ' ');
            h += v;
        }
    }
    h += '\x1A';
    writeFile(path, h);
    if (hasMemo) {
        for (int i = 0; i < 4; ++i)
            memo[static_cast<std::size_t>(i)] = static_cast<char>((nextBlock >> (8 * i)) & 0xFF);
        memo[16] = 0x03;
        std::string dbt = path.substr(0, path.size() - 4) + ".dbt";
        writeFile(dbt, memo);
    }
}

} // namespace tabvue::exporter::testing
