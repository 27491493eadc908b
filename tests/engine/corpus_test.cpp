// Every table of the shared DBF corpus opens (or fails clearly when it is damaged) and reads as
// its source's own tests say.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "engine/codepage.h"
#include "engine/table.h"

using namespace tabvue;
using namespace tabvue::engine;

namespace {

const std::string kCorpus = std::string(TABVUE_SHARED_DIR) + "/corpus/dbf";

struct ManifestRow {
    std::string path;
    std::uint32_t records = 0;
    std::uint32_t deleted = 0;
    std::string notes;
};

std::vector<ManifestRow> readManifest() {
    std::vector<ManifestRow> rows;
    std::ifstream in(kCorpus + "/MANIFEST.tsv");
    std::string line;
    std::vector<std::string> header;
    auto split = [](const std::string& l) {
        std::vector<std::string> cells;
        std::stringstream ss(l);
        std::string cell;
        while (std::getline(ss, cell, '\t'))
            cells.push_back(cell);
        return cells;
    };
    if (!std::getline(in, line))
        return rows;
    header = split(line);
    std::map<std::string, std::size_t> col;
    for (std::size_t i = 0; i < header.size(); ++i)
        col[header[i]] = i;
    while (std::getline(in, line)) {
        const auto cells = split(line);
        auto cell = [&](const char* name) {
            const std::size_t i = col.at(name);
            return i < cells.size() ? cells[i] : std::string();
        };
        ManifestRow r;
        r.path = cell("path");
        r.records = static_cast<std::uint32_t>(std::stoul(cell("records")));
        const std::string del = cell("deleted_records");
        r.deleted = del.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(del));
        r.notes = cell("structural_notes");
        rows.push_back(r);
    }
    return rows;
}

// Tables that are damaged beyond a correct reading; they must fail with a clear message.
const std::set<std::string> kRejected = {
    "infused-dbf/polygon.dbf",                                           // no fields
    "mbostock-shapefile/empty.dbf",                                      // no fields
    "shapefile-js/bad.dbf",                                              // shifted descriptors
    "javadbf/bug-33-corrupted-file-sync-mode/myfileafter-corrupted.dbf", // header without backlink
};

TEST(Corpus, EveryTableOpensOrFailsClearly) {
    if (!std::filesystem::exists(kCorpus + "/MANIFEST.tsv"))
        GTEST_SKIP() << "corpus not present";
    const auto rows = readManifest();
    ASSERT_GT(rows.size(), 270u);
    for (const ManifestRow& row : rows) {
        SCOPED_TRACE(row.path);
        Table t;
        if (kRejected.count(row.path)) {
            try {
                t.open(kCorpus + "/" + row.path);
                ADD_FAILURE() << "damaged table opened";
            } catch (const Error& e) {
                EXPECT_EQ(std::string(e.what()).rfind("Unable to open table: ", 0), 0u);
                EXPECT_NE(std::string(e.what()).find('\n'), std::string::npos) << "no reason given";
            }
            continue;
        }
        ASSERT_NO_THROW(t.open(kCorpus + "/" + row.path));
        const bool truncated = row.notes.find("file truncated") != std::string::npos;
        if (truncated) {
            EXPECT_LT(t.recCount(), row.records);
        } else {
            EXPECT_EQ(t.recCount(), row.records);
        }
        // Every value of every record reads, translated or not.
        t.setOemTranslate(true);
        for (RecordNo r = 1; r <= t.recCount(); ++r) {
            for (int f = 0; f < static_cast<int>(t.fields().size()); ++f) {
                (void)t.value(r, f);
                (void)t.displayText(r, f);
            }
        }
        while (!t.advanceView(4096)) {
        }
        if (!truncated) {
            EXPECT_EQ(t.viewCount(), static_cast<std::int64_t>(row.records - row.deleted));
        }
    }
}

struct Spot {
    const char* table;
    std::int64_t position; // among the records not deleted
    const char* field;
    const char* text;      // display text, decoded with codePage when it is not 0
    int codePage = 0;
};

TEST(Corpus, ValuesTheSourcesState) {
    if (!std::filesystem::exists(kCorpus + "/MANIFEST.tsv"))
        GTEST_SKIP() << "corpus not present";
    const Spot spots[] = {
        {"infused-dbf/dbase_83.dbf", 0, "ID", "87"},
        {"infused-dbf/dbase_83.dbf", 0, "NAME", "Assorted Petits Fours"},
        {"infused-dbf/dbase_83.dbf", 0, "WEIGHT", "5.51"},
        {"infused-dbf/dbase_83.dbf", 0, "TAXABLE", "T"},
        {"infused-dbf/dbase_83_missing_memo.dbf", 0, "DESC", ""},
        {"infused-dbf/dbase_8b.dbf", 0, "CHARACTER", "One"},
        {"infused-dbf/dbase_8b.dbf", 0, "MEMO", "First memo\r\n"},
        {"infused-dbf/dbase_8b.dbf", 9, "DATE", ""},
        {"infused-dbf/dbase_8b.dbf", 9, "LOGICAL", ""},
        {"infused-dbf/dbase_f5.dbf", 3, "DATN", "30.06.1870"},
        {"infused-dbf/dbase_30.dbf", 3, "CLASSES", "Agriculture\r\nFarms & Farming\r\n"},
        {"infused-dbf/cp1251.dbf", 0, "NAME", "амбулаторно-поликлиническое", 1251},
        {"infused-dbf/dbase_03_cyrillic.dbf", 0, "ШАР", "Номер"},
        {"infused-dbf/dbase_31.dbf", 0, "PRODUCTNAM", "Chai"},
        {"infused-dbf/dbase_31.dbf", 0, "REORDERLEV", "10"},
        {"infused-dbf/dbase_31.dbf", 0, "DISCONTINU", "F"},
        {"dbfread/examples/files/people.dbf", 1, "BIRTHDATE", "12.11.1980"},
        {"dbfread/tests/cases/memotest.dbf", 0, "MEMO", "Alice memo"},
        {"php-xbase/dBase/dBaseIII.dbf", 0, "NAME", "Groot"},
        {"php-xbase/dBase/dBaseIII.dbf", 0, "BIRTHDAY", "01.11.1960"},
        {"php-xbase/dBase/dBaseIII.dbf", 0, "MONEY", "12.1235"},
        {"php-xbase/dBase/dBaseIII_nomemo.dbf", 0, "PLAN", "А", 866},
        {"php-xbase/dBase/dBaseIII_nomemo.dbf", 0, "NUM_SC", "10605"},
        {"php-xbase/dBase/dBaseIV.dbf", 1, "RATE", "1.23"},
        {"php-xbase/dBase/dBaseVII.dbf", 0, "AUTO_INC", "0"},
        {"php-xbase/dBase/dBaseVII.dbf", 0, "INTEGER", "1"},
        {"php-xbase/dBase/dBaseVII.dbf", 0, "DATETIME", "01.01.1800 01:01:01"},
        {"php-xbase/dBase/dBaseVII_int.dbf", 4, "INT", "2147483647"},
        {"php-xbase/dBase/dBaseVII_int.dbf", 5, "INT", "-2147483647"},
        {"php-xbase/dBase/dBaseVII_double.dbf", 0, "DOUBLE", "-199.99"},
        {"php-xbase/dBase/dBaseVII_double.dbf", 4, "DOUBLE", "0"},
        {"php-xbase/dBase/dBaseVII_ts.dbf", 0, "TS", "01.01.1900 00:00:00"},
        {"php-xbase/foxpro/currency.dbf", 0, "AMOUNT", "10412.1241"},
        {"php-xbase/foxpro/pr90.dbf", 0, "NOTE", "He will call us on the 18th to settle - 123 xp"},
        {"php-xbase/foxpro/pr90.dbf", 0, "UCODE", "MASTER     06/27/2007 11:27"},
        {"php-xbase/foxpro/vfp.dbf", 0, "CURRENCY", "1.2000"},
        {"php-xbase/foxpro/vfp.dbf", 0, "DOUBLE", "2.3"},
        {"php-xbase/foxpro/vfp.dbf", 0, "AI", "1"},
        {"php-xbase/foxpro/vfp.dbf", 0, "VARCHAR", "qwe"},
        {"dbffile/PYACFL.DBF", 0, "AFCLPD", "W"},
        {"dbffile/PYACFL.DBF", 0, "AFHRPW", "2.92308"},
        {"dbffile/PYACFL.DBF", 0, "AFCRDA", "25.03.1999"},
        {"dbffile/WSPMST.DBF", 0, "DISPNAME", "รองเท้าบุรุษADDA 61S02-M1", 874},
        {"dbffile/vfp9_30.dbf", 0, "FIELD1", "carlos manuel"},
        {"dbffile/vfp9_30.dbf", 0, "FIELD3", "12.12.2013 08:30:00"},
        {"dbffile/vfp9_30.dbf", 0, "FIELD5", "2500.55"},
        {"dbffile/vfp9_30_memo.dbf", 0, "NUM", "999.50"},
        {"dbffile/vfp9_memo_bs1.dbf", 0, "NOTES", "Some notes here\r\n"},
        {"dbffile/dbase_currency.dbf", 0, "UP", "350.0000"},
        {"dbffile/dbase_currency.dbf", 0, "DATEEND", "31.12.9999 00:00:00"},
        {"javadbf/bdays.dbf", 0, "FIRSTNAME", "jimi"},
        {"javadbf/bdays.dbf", 0, "BDATETIME", "27.11.1942 10:15:00"},
        {"go-foxpro-dbf/dbase_30.dbf", 13, "CLASSES", "People\r\nMcWilliams\r\n"},
        {"go-foxpro-dbf/dbase_30.dbf", 13, "FLAGDATE", "05.07.1982 15:34:00"},
        {"infused-dbf/mazovia.dbf", 0, "A2", "English"},
    };
    for (const Spot& s : spots) {
        SCOPED_TRACE(std::string(s.table) + " " + s.field);
        Table t;
        ASSERT_NO_THROW(t.open(kCorpus + "/" + s.table));
        const int f = t.fieldIndex(s.field);
        ASSERT_GE(f, 0);
        const RecordNo rec = t.viewRecord(s.position);
        ASSERT_NE(rec, 0u);
        std::string text = t.displayText(rec, f);
        if (s.codePage)
            text = codePage(s.codePage).decode(text);
        EXPECT_EQ(text, s.text);
    }
}

TEST(Corpus, VisualFoxProMemoSpanningTwoBlocksReadsWhole) {
    if (!std::filesystem::exists(kCorpus + "/MANIFEST.tsv"))
        GTEST_SKIP() << "corpus not present";
    Table t;
    t.open(kCorpus + "/dbffile/vfp9_30_memo.dbf");
    const std::string memo = t.displayText(t.viewRecord(0), t.fieldIndex("MEMO"));
    EXPECT_GT(memo.size(), 64u);
    EXPECT_EQ(memo.find('\0'), std::string::npos);
}

} // namespace
