#include "engine/dbf_layout.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "engine/error.h"

namespace tabvue::engine {

namespace {

std::uint32_t le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string upperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool isVisualFoxProVersion(unsigned char v) { return v == 0x30 || v == 0x31 || v == 0x32; }

} // namespace

bool fieldKindOf(char type, int width, int decimals, bool visualFoxPro, FieldKind& kind) {
    switch (type) {
    case 'C':
    case 'V':
        kind = FieldKind::String;
        return true;
    case 'M':
        kind = FieldKind::Memo;
        return true;
    case 'D':
        kind = FieldKind::Date;
        return true;
    case 'T':
    case '@':
        kind = FieldKind::DateTime;
        return true;
    case 'N':
    case 'F':
        kind = (decimals == 0 && width <= 4) ? FieldKind::SmallInt : FieldKind::Float;
        return true;
    case 'O':
        kind = FieldKind::Float;
        return true;
    case 'I':
        kind = FieldKind::Integer;
        return true;
    case '+':
        kind = FieldKind::AutoInc;
        return true;
    case 'Y':
        kind = FieldKind::Currency;
        return true;
    case 'L':
        kind = FieldKind::Boolean;
        return true;
    case 'B':
        kind = visualFoxPro ? FieldKind::Float : FieldKind::Blob;
        return true;
    case 'G':
    case 'P':
    case 'Q':
    case 'W':
        kind = FieldKind::Blob;
        return true;
    default:
        return false;
    }
}

bool isMemoPointer(const FieldDescriptor& d, bool visualFoxPro) {
    switch (d.type) {
    case 'M':
    case 'G':
    case 'P':
    case 'W':
        return true;
    case 'B':
        return !visualFoxPro;
    default:
        return false;
    }
}

namespace {

struct DescriptorScan {
    std::vector<FieldDescriptor> descriptors;
    std::vector<unsigned char> flags;
    std::vector<std::uint32_t> positions;
    std::uint32_t fieldBytes = 1; // deletion flag plus the widths
};

// Reads descriptors of descSize bytes from start up to the header's end or a terminator byte.
DescriptorScan scanDescriptors(const unsigned char* data, std::size_t headerEnd, std::size_t start,
                               bool dbase7, bool dbase2) {
    DescriptorScan scan;
    const std::size_t descSize = dbase7 ? 48 : dbase2 ? 16 : 32;
    const std::size_t nameMax = dbase7 ? 32 : 11;
    std::size_t pos = start;
    while (pos + descSize <= headerEnd) {
        const unsigned char first = data[pos];
        if (first == 0x0D || first == 0x0A || (dbase2 && first == 0))
            break;
        const unsigned char* p = data + pos;
        FieldDescriptor d;
        std::size_t n = 0;
        while (n < nameMax && p[n] != 0)
            ++n;
        d.name = upperAscii(std::string(reinterpret_cast<const char*>(p), n));
        while (!d.name.empty() && d.name.back() == ' ')
            d.name.pop_back();
        unsigned char flags = 0;
        if (dbase7) {
            d.type = static_cast<char>(p[32]);
            d.width = p[33];
            d.decimals = p[34];
        } else if (dbase2) {
            d.type = static_cast<char>(p[11]);
            d.width = p[12];
            d.decimals = p[15];
        } else {
            d.type = static_cast<char>(p[11]);
            d.width = p[16];
            d.decimals = p[17];
            flags = p[18];
        }
        if (d.type >= 'a' && d.type <= 'z')
            d.type = static_cast<char>(d.type - 'a' + 'A');
        scan.fieldBytes += static_cast<std::uint32_t>(d.width);
        scan.descriptors.push_back(d);
        scan.flags.push_back(flags);
        scan.positions.push_back(static_cast<std::uint32_t>(pos));
        pos += descSize;
    }
    return scan;
}

} // namespace

DbfLayout parseDbfLayout(const unsigned char* data, std::size_t size, std::uint64_t fileSize) {
    if (size < 32 || fileSize < 32)
        throw Error("The file is too short to be a DBF table.");
    DbfLayout l;
    l.version = data[0];
    DescriptorScan scan;
    if (l.version == 0x02) {
        // dBase II: 16-bit count and record length, 16-byte descriptors from offset 8.
        l.headerRecordCount = le16(data + 1);
        l.storedRecordLength = le16(data + 6);
        l.headerLength = 521;
        if (fileSize < l.headerLength || size < l.headerLength)
            throw Error("The file is truncated inside its header.");
        scan = scanDescriptors(data, l.headerLength, 8, false, true);
    } else {
        l.headerRecordCount = le32(data + 4);
        l.headerLength = le16(data + 8);
        l.storedRecordLength = le16(data + 10);
        if (l.headerLength < 33)
            throw Error("The header length " + std::to_string(l.headerLength) + " is too small.");
        if (l.headerLength > fileSize || size < l.headerLength)
            throw Error("The file is truncated inside its header.");
        scan = scanDescriptors(data, l.headerLength, 32, false, false);
        // dBase 7 tables have 48-byte descriptors after a language driver name; some tables carry
        // its version number with the older layout, so the record length decides.
        if ((l.version & 0x07) == 0x04 && l.headerLength >= 68 + 48) {
            DescriptorScan wide = scanDescriptors(data, l.headerLength, 68, true, false);
            const bool narrowFits = scan.fieldBytes == l.storedRecordLength;
            const bool wideFits = wide.fieldBytes == l.storedRecordLength;
            if (!wide.descriptors.empty() && (wideFits || !narrowFits)) {
                scan = std::move(wide);
                l.dbase7 = true;
            }
        }
    }
    l.descriptors = std::move(scan.descriptors);
    l.descriptorFlags = std::move(scan.flags);
    l.descriptorPos = std::move(scan.positions);
    if (l.descriptors.empty())
        throw Error("The table defines no fields.");
    for (const FieldDescriptor& d : l.descriptors) {
        const auto t = static_cast<unsigned char>(d.type);
        if (d.name.empty() || t <= 0x20 || t >= 0x7F)
            throw Error("The field descriptors are damaged.");
    }
    // A Visual FoxPro header without its 263-byte backlink area, whose records only line up once
    // that area is counted, is a damaged header: its records would be read shifted.
    if (isVisualFoxProVersion(l.version) && !l.descriptorPos.empty()) {
        const std::uint64_t descEnd = l.descriptorPos.back() + 32 + 1;
        const std::uint64_t withBacklink = descEnd + 263;
        auto aligned = [&](std::uint64_t start) {
            if (fileSize < start || scan.fieldBytes == 0)
                return false;
            const std::uint64_t rest = fileSize - start;
            return rest % scan.fieldBytes == 0 || rest % scan.fieldBytes == 1;
        };
        if (l.headerLength < withBacklink && !aligned(l.headerLength) && aligned(withBacklink))
            throw Error("The header length " + std::to_string(l.headerLength) +
                        " does not match the table's layout.");
    }

    // Character fields longer than 255 keep the high byte of their width in the decimals byte;
    // read them so only when that is what makes the fields fill the record.
    if (scan.fieldBytes != l.storedRecordLength) {
        std::uint32_t extended = 1;
        for (const FieldDescriptor& d : l.descriptors)
            extended += static_cast<std::uint32_t>(d.type == 'C' ? d.width + d.decimals * 256 : d.width);
        if (extended == l.storedRecordLength) {
            for (FieldDescriptor& d : l.descriptors) {
                if (d.type == 'C') {
                    d.width += d.decimals * 256;
                    d.decimals = 0;
                }
            }
        }
    }
    bool hasNullFlags = false;
    for (const FieldDescriptor& d : l.descriptors)
        if (d.type == '0')
            hasNullFlags = true;

    l.visualFoxPro = isVisualFoxProVersion(l.version) || hasNullFlags;

    // Offsets follow the descriptors in order after the deletion flag.
    std::uint32_t offset = 1;
    for (FieldDescriptor& d : l.descriptors) {
        d.offset = static_cast<int>(offset);
        offset += static_cast<std::uint32_t>(d.width);
    }
    // A record is at least as long as its fields; a header that says otherwise is wrong.
    l.recordLength = std::max(l.storedRecordLength, offset);

    // Null and variable-length flags of Visual FoxPro: one bit per variable-length field, then one per
    // nullable field, in field order.
    int bit = 0;
    for (std::size_t i = 0; i < l.descriptors.size(); ++i) {
        FieldDescriptor& d = l.descriptors[i];
        if (d.type == '0') {
            if (l.nullFlagsDescriptor < 0)
                l.nullFlagsDescriptor = static_cast<int>(i);
            continue;
        }
        if (!hasNullFlags)
            continue;
        if (d.type == 'V' || d.type == 'Q')
            d.varLengthBit = bit++;
        if (l.descriptorFlags[i] & 0x02)
            d.nullBit = bit++;
    }
    if (l.nullFlagsDescriptor >= 0) {
        const FieldDescriptor& nf = l.descriptors[static_cast<std::size_t>(l.nullFlagsDescriptor)];
        if (bit > nf.width * 8) {
            for (FieldDescriptor& d : l.descriptors) {
                if (d.nullBit >= nf.width * 8)
                    d.nullBit = -1;
                if (d.varLengthBit >= nf.width * 8)
                    d.varLengthBit = -1;
            }
        }
    }

    // Dataset fields, with names made unique so that a field can be found by name.
    std::map<std::string, int> seen;
    bool anyMemo = false;
    for (std::size_t i = 0; i < l.descriptors.size(); ++i) {
        FieldDescriptor& d = l.descriptors[i];
        if (isMemoPointer(d, l.visualFoxPro))
            anyMemo = true;
        FieldKind kind;
        if (d.width <= 0 || !fieldKindOf(d.type, d.width, d.decimals, l.visualFoxPro, kind))
            continue;
        // Binary layouts need their full width; a narrower field cannot hold the value.
        auto needs = [&](int w) { return d.width >= w; };
        switch (d.type) {
        case 'I':
        case '+':
            if (!needs(4))
                continue;
            break;
        case 'Y':
        case 'T':
        case '@':
        case 'O':
            if (!needs(8))
                continue;
            break;
        case 'B':
            if (l.visualFoxPro && !needs(8))
                continue;
            break;
        default:
            break;
        }
        Field f;
        f.name = d.name;
        if (seen.count(f.name)) {
            for (int k = 2;; ++k) {
                std::string candidate = d.name + "_" + std::to_string(k);
                if (!seen.count(candidate)) {
                    f.name = candidate;
                    break;
                }
            }
        }
        seen[f.name] = 1;
        f.kind = kind;
        f.size = d.width;
        f.decimals = d.decimals;
        f.descriptor = static_cast<int>(i);
        d.datasetField = static_cast<int>(l.fields.size());
        l.fields.push_back(f);
    }
    if (anyMemo) {
        const bool fox = l.visualFoxPro || l.version == 0xF5 || l.version == 0xFB ||
                         l.version == 0xE5;
        l.memoFormat = fox ? MemoFormat::Fpt : MemoFormat::Dbt;
    }
    return l;
}

std::uint32_t recordsPresent(const DbfLayout& layout, std::uint64_t fileSize) {
    if (fileSize <= layout.headerLength || layout.recordLength == 0)
        return 0;
    const std::uint64_t fit = (fileSize - layout.headerLength) / layout.recordLength;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(fit, layout.headerRecordCount));
}

} // namespace tabvue::engine
