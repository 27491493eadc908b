#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/table.h"

namespace tabvue::engine {

// Which memo file format a table's memo fields point into.
enum class MemoFormat { None, Dbt, Fpt };

// The parsed header of a DBF file: everything needed to read its records.
struct DbfLayout {
    unsigned char version = 0;
    std::uint32_t headerRecordCount = 0; // as the header states it
    std::uint32_t headerLength = 0;      // where the first record starts
    std::uint32_t recordLength = 0;      // effective length (at least what the fields need)
    std::uint32_t storedRecordLength = 0; // as the header states it
    bool dbase7 = false;                 // 48-byte descriptors, language driver name
    bool visualFoxPro = false;           // B is a double, memo pointers are 4-byte integers
    MemoFormat memoFormat = MemoFormat::None;
    int nullFlagsDescriptor = -1;        // index of the _NullFlags descriptor, -1 when none
    std::vector<FieldDescriptor> descriptors;
    std::vector<Field> fields;
    std::vector<unsigned char> descriptorFlags; // the flag byte of each descriptor
    std::vector<std::uint32_t> descriptorPos;   // file offset of each descriptor
};

// Parses the header bytes of a DBF file (at least the first headerLength bytes when the file holds
// them). fileSize is the size of the whole file. Throws Error with the reason (one line) when the
// bytes are not a table this engine can read.
DbfLayout parseDbfLayout(const unsigned char* data, std::size_t size, std::uint64_t fileSize);

// The number of records the file holds: the header's count, limited to the complete records present.
std::uint32_t recordsPresent(const DbfLayout& layout, std::uint64_t fileSize);

// The dataset kind of a type letter (false when the letter gets no dataset field).
bool fieldKindOf(char type, int width, int decimals, bool visualFoxPro, FieldKind& kind);

// Whether the field's bytes are a pointer into the memo file.
bool isMemoPointer(const FieldDescriptor& d, bool visualFoxPro);

} // namespace tabvue::engine
