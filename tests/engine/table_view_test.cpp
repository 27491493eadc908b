#include <gtest/gtest.h>

#include <random>

#include "common/dbf_builder.h"
#include "engine/table.h"

using namespace tabvue;
using namespace tabvue::engine;
using tabvue::testing::DbfBuilder;
using tabvue::testing::TempDir;

namespace {

// Records 1..n with ID = the record number; every third record deleted.
std::string numberedTable(const TempDir& dir, int n) {
    DbfBuilder b(0x03, {{"ID", 'N', 7}, {"NAME", 'C', 8}});
    for (int i = 1; i <= n; ++i)
        b.record({std::to_string(i), i % 2 ? "odd" : "even"}, i % 3 == 0 ? '*' : ' ');
    return dir.write("numbers.dbf", b.bytes());
}

// The view a plain pass over the file gives.
std::vector<RecordNo> expectedView(Table& t, const std::function<bool(RecordNo)>& keep) {
    std::vector<RecordNo> v;
    for (RecordNo r = 1; r <= t.recCount(); ++r)
        if (!t.isDeleted(r) && keep(r))
            v.push_back(r);
    return v;
}

bool evenId(const Table&, RecordNo, const unsigned char* rec) {
    std::string id(reinterpret_cast<const char*>(rec) + 1, 7);
    return std::stoi(id) % 2 == 0;
}

TEST(TableView, RandomAccessMatchesAPlainPass) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 3000));
    for (bool filtered : {false, true}) {
        if (filtered)
            t.setFilterPredicate(evenId);
        const auto expected = expectedView(t, [&](RecordNo r) { return !filtered || r % 2 == 0; });
        std::mt19937 rng(7);
        std::uniform_int_distribution<std::int64_t> pick(0, static_cast<std::int64_t>(expected.size()) + 5);
        // Random jumps, then a sequential walk backwards over a checkpoint boundary.
        for (int i = 0; i < 500; ++i) {
            const std::int64_t pos = pick(rng);
            const RecordNo want = pos < static_cast<std::int64_t>(expected.size()) ? expected[static_cast<std::size_t>(pos)] : 0;
            ASSERT_EQ(t.viewRecord(pos), want) << "position " << pos;
            if (want) {
                ASSERT_EQ(t.viewPosition(want), pos);
            }
        }
        for (std::int64_t pos = 300; pos >= 200; --pos)
            ASSERT_EQ(t.viewRecord(pos), expected[static_cast<std::size_t>(pos)]);
        EXPECT_TRUE(t.viewComplete());
        EXPECT_EQ(t.viewCount(), static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(t.viewPosition(3), -1);    // deleted
        EXPECT_EQ(t.viewPosition(9999), -1); // past the end
        EXPECT_EQ(t.viewRecord(-1), 0u);
    }
}

TEST(TableView, FirstScreenWithoutAPassOverTheTable) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 50000));
    for (std::int64_t pos = 0; pos < 50; ++pos)
        ASSERT_NE(t.viewRecord(pos), 0u);
    EXPECT_FALSE(t.viewComplete());
    EXPECT_LT(t.viewCount(), 50000 * 2 / 3);
    std::int64_t steps = 0;
    while (!t.advanceView(1000))
        ++steps;
    EXPECT_GT(steps, 10);
    EXPECT_EQ(t.viewCount(), 50000 - 50000 / 3);
}

TEST(TableView, CursorWalksTheView) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 20));
    t.setFilterPredicate(evenId);
    std::vector<RecordNo> walked;
    for (t.first(); !t.eof(); t.next())
        walked.push_back(t.recNo());
    EXPECT_EQ(walked, (std::vector<RecordNo>{2, 4, 8, 10, 14, 16, 20}));
    EXPECT_EQ(t.recNo(), 0u);
    t.gotoRecord(10);
    EXPECT_EQ(t.recNo(), 10u);
    t.next();
    EXPECT_EQ(t.recNo(), 14u);
    t.gotoRecord(11); // not in the view: the next record that is
    EXPECT_EQ(t.recNo(), 14u);
    t.gotoRecord(0);
    EXPECT_TRUE(t.eof());
    t.setFilterPredicate(nullptr);
    t.first();
    EXPECT_EQ(t.recNo(), 1u);
}

TEST(TableView, ListenersAndSuspendedNotifications) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 10));
    int a = 0, b = 0;
    const int ida = t.addViewListener([&] { ++a; });
    t.addViewListener([&] { ++b; });
    t.setFilterPredicate(evenId);
    EXPECT_EQ(a, 1);
    t.setOemTranslate(true);
    EXPECT_EQ(a, 2);
    t.setOemTranslate(true); // no change, no notice
    EXPECT_EQ(a, 2);
    t.disableControls();
    t.disableControls();
    t.setFilterPredicate(nullptr);
    t.deleteRecord(1);
    t.enableControls();
    EXPECT_EQ(a, 2);
    t.enableControls();
    EXPECT_EQ(a, 3); // one notice for everything that happened while suspended
    t.removeViewListener(ida);
    t.appendRecord();
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
}

TEST(TableView, FilterTextAndSwitch) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 10));
    int changes = 0;
    t.addViewListener([&] { ++changes; });
    // While the switch is off, assigning text only stores it.
    t.setFilter("NAME = 'odd'");
    EXPECT_EQ(t.filter(), "NAME = 'odd'");
    EXPECT_FALSE(t.filtered());
    EXPECT_EQ(changes, 0);
    t.setFiltered(true);
    while (!t.advanceView(100)) {
    }
    EXPECT_EQ(t.viewCount(), 3); // 1, 5, 7; the deleted 3 and 9 left out
    t.setFiltered(false);
    while (!t.advanceView(100)) {
    }
    EXPECT_EQ(t.viewCount(), 7);
    // Empty text lifts the restriction even with the switch on.
    t.setFiltered(true);
    t.setFilter("");
    EXPECT_TRUE(t.filtered());
    while (!t.advanceView(100)) {
    }
    EXPECT_EQ(t.viewCount(), 7);
}

TEST(TableView, SwitchingTranslationRefiltersTheView) {
    TempDir dir;
    DbfBuilder b(0x03, {{"NAME", 'C', 8}});
    b.record({"\x82t\x82"}); // "été" in the OEM code page (437)
    b.record({"ete"});
    Table t;
    t.open(dir.write("accents.dbf", b.bytes()));
    t.setOemTranslate(true);
    t.setFilter("NAME = '\xE9t\xE9'"); // the same text in the ANSI code page (1252)
    t.setFiltered(true);
    while (!t.advanceView(100)) {
    }
    EXPECT_EQ(t.viewCount(), 1);
    t.setOemTranslate(false);
    while (!t.advanceView(100)) {
    }
    EXPECT_EQ(t.viewCount(), 0);
}

TEST(TableView, FailedFilterKeepsTextAndShowsEverything) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 10));
    t.setFilterPredicate(evenId);
    t.setFilter("NAME = = 'odd'");
    EXPECT_THROW(t.setFiltered(true), Error);
    EXPECT_TRUE(t.filtered());
    EXPECT_EQ(t.filter(), "NAME = = 'odd'");
    while (!t.advanceView(100)) {
    }
    EXPECT_EQ(t.viewCount(), 7);
    // Assigning bad text while the switch is on fails the same way.
    EXPECT_THROW(t.setFilter("((("), Error);
    EXPECT_EQ(t.filter(), "(((");
    EXPECT_EQ(t.viewCount(), 7);
}

TEST(TableView, DeletesAndEditsKeepASettledViewExact) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 3000));
    t.setFilterPredicate(evenId);
    while (!t.advanceView(100000)) {
    }
    const RecordNo checkpointRecord = t.viewRecord(256);
    for (RecordNo r : {RecordNo(2), checkpointRecord, RecordNo(1502), RecordNo(3000), RecordNo(1)})
        t.deleteRecord(r);
    // An edit that takes a record out of the filter, and one that brings another in.
    t.beginEdit(1000);
    t.setFieldText(0, "1001");
    t.post();
    t.beginEdit(1001);
    t.setFieldText(0, "1002");
    t.post();
    EXPECT_TRUE(t.viewComplete());
    const auto expected = expectedView(t, [&](RecordNo r) {
        std::string raw;
        t.readRecord(r, raw);
        return evenId(t, r, reinterpret_cast<const unsigned char*>(raw.data()));
    });
    ASSERT_EQ(t.viewCount(), static_cast<std::int64_t>(expected.size()));
    for (std::size_t pos = 0; pos < expected.size(); pos += 7) {
        ASSERT_EQ(t.viewRecord(static_cast<std::int64_t>(pos)), expected[pos]) << pos;
        ASSERT_EQ(t.viewPosition(expected[pos]), static_cast<std::int64_t>(pos));
    }
    EXPECT_EQ(t.viewRecord(static_cast<std::int64_t>(expected.size())), 0u);
}

TEST(TableView, RecordJoiningBeforeTheFirstVisibleOne) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 10));
    t.setFilterPredicate(evenId);
    EXPECT_EQ(t.viewRecord(0), 2u);
    while (!t.advanceView(100)) {
    }
    t.beginEdit(1);
    t.setFieldText(0, "0");
    t.post();
    EXPECT_EQ(t.viewCount(), 5);
    EXPECT_EQ(t.viewRecord(0), 1u);
    EXPECT_EQ(t.viewRecord(1), 2u);
    EXPECT_EQ(t.viewPosition(1), 0);
    EXPECT_EQ(t.viewPosition(2), 1);
}

TEST(TableView, MatchesFilterSeesDeletedRecords) {
    TempDir dir;
    Table t;
    t.open(numberedTable(dir, 6));
    t.setFilterPredicate(evenId);
    EXPECT_TRUE(t.matchesFilter(6)); // deleted, but even
    EXPECT_FALSE(t.matchesFilter(5));
    EXPECT_FALSE(t.matchesFilter(7));
}

} // namespace
