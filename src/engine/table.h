#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error.h"
#include "engine/value.h"

namespace tabvue::engine {

using RecordNo = std::uint32_t; // 1-based physical record number; 0 means none

// What a field is to the dataset (the grid, the export, the filter language).
enum class FieldKind {
    String,   // C, V
    Memo,     // M
    Date,     // D
    DateTime, // T, @
    SmallInt, // N without decimals and at most 4 wide
    Integer,  // I
    AutoInc,  // +
    Float,    // N, F (with decimals or wider than 4), O, B in Visual FoxPro tables
    Currency, // Y
    Boolean,  // L
    Blob,     // B (non-VFP), G, P, Q, W
};

// One field as the file describes it; every field, in file order.
struct FieldDescriptor {
    std::string name;   // upper-case, as stored (bytes after the first NUL dropped)
    char type = 'C';    // type letter
    int width = 0;
    int decimals = 0;
    int offset = 0;     // byte offset inside the record (the deletion flag is byte 0)
    int datasetField = -1; // index into Table::fields(), -1 when it has none
    int nullBit = -1;      // bit in _NullFlags for nullable VFP fields, else -1
    int varLengthBit = -1; // bit in _NullFlags that marks a short V/Q value, else -1
};

// A field of the dataset: the descriptors that have a dataset kind, in file order.
struct Field {
    std::string name;
    FieldKind kind = FieldKind::String;
    int size = 0;       // declared width
    int decimals = 0;
    int descriptor = 0; // index into Table::descriptors()
};

class Table;

// The display texts of one record's dataset fields, laid end to end (for fast bulk output).
struct RecordTexts {
    std::string text;                // every field's display text, in field order
    std::vector<std::uint32_t> ends; // end offset in text of each field's display text
    std::vector<char> null;          // whether each field's value is null (0 or 1)
    std::string_view field(std::size_t i) const {
        const std::uint32_t start = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(start, ends[i] - start);
    }
};

// Where one field's display text lies in a line built by Table::appendDisplayTexts.
struct TextSpan {
    std::size_t start = 0;
    std::size_t end = 0;
    bool null = false; // the value is null (the span is empty)
    bool plain = false; // known to hold only plain text (codec::plainText); false when not checked
};

// The type name the structure listing shows for a type letter ("Character", "Numeric", ...);
// empty for a letter it does not name.
std::string fieldTypeName(char type);

// A filter predicate over one record's raw bytes (as stored in the file, before any translation).
using RecordPredicate = std::function<bool(const Table&, RecordNo, const unsigned char* record)>;

class Table {
public:
    Table();
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Opening. A name without extension gets ".dbf" or ".DBF", whichever exists.
    // Failure throws Error("Unable to open table: <path>\n<reason>").
    void open(const std::string& directory, const std::string& fileName);
    void open(const std::string& path);
    void close();
    bool isOpen() const;
    bool readOnly() const;
    std::string path() const;          // full path of the open file
    unsigned char versionByte() const;

    const std::vector<FieldDescriptor>& descriptors() const;
    const std::vector<Field>& fields() const;
    int fieldIndex(std::string_view name) const; // dataset field by name, case-insensitive; -1
    std::uint32_t recCount() const;             // records in the file; 0 when closed
    int recordLength() const;

    // OEM translation (off when opened).
    bool oemTranslate() const;
    void setOemTranslate(bool on);

    // Filter text in the expression language and its switch.
    const std::string& filter() const;
    void setFilter(const std::string& text);
    bool filtered() const;
    void setFiltered(bool on);
    // The compiled form of the filter; an empty function lifts the restriction.
    void setFilterPredicate(RecordPredicate predicate);

    // Raw access for the filter language and tools.
    bool readRecord(RecordNo rec, std::string& bytes) const; // false when out of range
    bool isDeleted(RecordNo rec) const;
    std::string memoText(RecordNo rec, int field) const;     // raw memo bytes ("" when none)

    // Values of dataset fields. Text is translated OEM->ANSI while oemTranslate() is on.
    Value value(RecordNo rec, int field) const;
    std::string displayText(RecordNo rec, int field) const;
    // Appends the display text to out (no allocation per call once out has grown).
    void appendDisplayText(RecordNo rec, int field, std::string& out) const;
    // Every dataset field's display text of a record at once; false when out of range.
    bool displayTexts(RecordNo rec, RecordTexts& out) const;
    // Appends every dataset field's display text to out, separated by separator, and where each
    // one lies to spans (the fastest way to write many records); false when out of range.
    bool appendDisplayTexts(RecordNo rec, std::string& out, char separator, std::vector<TextSpan>& spans) const;
    bool isNull(RecordNo rec, int field) const;
    bool logicalValue(RecordNo rec, int field) const; // false when the field has no value
    // Whether the record passes the filter in force (deleted or not); false when out of range.
    bool matchesFilter(RecordNo rec) const;

    // The view: records that are not deleted and pass the filter, in file order.
    std::int64_t viewCount();            // records known so far; exact once viewComplete()
    bool viewComplete() const;
    bool advanceView(std::size_t budget); // continue settling the view; true once complete
    RecordNo viewRecord(std::int64_t position); // 0-based position; 0 when past the end
    std::int64_t viewPosition(RecordNo rec);    // -1 when the record is not in the view
    int addViewListener(std::function<void()> onChanged);
    void removeViewListener(int id);

    // Cursor over the view, for the export: first/next/eof, bookmarks, suspended notifications.
    void first();
    void next();
    bool eof() const;
    RecordNo recNo() const;
    void gotoRecord(RecordNo rec);
    void disableControls();
    void enableControls();

    // Editing. beginEdit buffers one record; post writes it in place under lock.
    void beginEdit(RecordNo rec);
    void setFieldText(int field, std::string_view text); // validates; throws Error
    void setFieldValue(int field, const Value& value);   // throws Error
    void post();
    void cancel();
    bool editing() const;
    RecordNo appendRecord();            // writes a blank record at the end; returns its number
    // Drops cached records and re-reads the record count, to show what other writers changed.
    void refresh();
    void deleteRecord(RecordNo rec);    // marks it '*'

    // Copies the open table (and its memo file) to a full path; 1 on success, 0 when no table is open.
    int copyTo(const std::string& targetPath);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tabvue::engine
