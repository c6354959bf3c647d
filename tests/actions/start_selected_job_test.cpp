// The "&Starten" button's search: it starts the selected job and no other.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "actions/StartSelectedJob.h"

using namespace qv::actions;

namespace {

struct Row {
    std::int64_t id;
    std::string pfad;
};

// A scheduler cursor over a snapshot that a refresh brings up to date with the
// table, as the real one sees rows posted by the editor cursor only then.
struct FakeCursor {
    std::vector<Row> table;     // what is stored
    std::vector<Row> snapshot;  // what the cursor sees
    std::size_t pos = 0;
    int refreshes = 0;

    SchedulerCursorOps Ops() {
        SchedulerCursorOps ops;
        ops.refresh = [this] { snapshot = table; ++refreshes; };
        ops.first = [this] { pos = 0; };
        ops.next = [this] { if (pos < snapshot.size()) ++pos; };
        ops.eof = [this] { return pos >= snapshot.size(); };
        ops.currentRow = [this] { return snapshot.at(pos).id; };
        return ops;
    }
    std::string Current() const {
        // Past the end the cursor still stands on its last row.
        return snapshot.at(pos < snapshot.size() ? pos : snapshot.size() - 1).pfad;
    }
};

}  // namespace

TEST(StartSelectedJob, StartsTheRowWithTheSelectedId) {
    FakeCursor c;
    c.table = {{1, "a.exe"}, {4, "b.exe"}, {9, "c.exe"}};
    c.snapshot = c.table;
    for (const Row& wanted : c.table) {
        std::vector<std::string> started;
        auto result = StartSelectedJob(wanted.id, c.Ops(), [&] {
            started.push_back(c.Current());
            return std::string("Datei nicht gefunden");
        });
        ASSERT_TRUE(result.has_value()) << wanted.id;
        EXPECT_EQ(*result, "Datei nicht gefunden");  // passed through for the message box
        EXPECT_EQ(started, std::vector<std::string>{wanted.pfad});
    }
}

TEST(StartSelectedJob, UnknownIdStartsNothingNotEvenTheLastRow) {
    FakeCursor c;
    c.table = {{1, "a.exe"}, {2, "last.exe"}};
    c.snapshot = c.table;
    int runs = 0;
    auto result = StartSelectedJob(77, c.Ops(), [&] { ++runs; return std::string("OK"); });
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(runs, 0);

    FakeCursor empty;
    EXPECT_FALSE(StartSelectedJob(1, empty.Ops(), [&] { ++runs; return std::string("OK"); }));
    EXPECT_EQ(runs, 0);
}

TEST(StartSelectedJob, SeesRowsPostedSinceTheLastTickAndTheirNewPath) {
    FakeCursor c;
    c.snapshot = {{1, "old.exe"}};
    c.table = {{1, "new.exe"}, {2, "just-posted.exe"}};
    std::vector<std::string> started;
    auto run = [&] { started.push_back(c.Current()); return std::string("OK"); };

    auto r1 = StartSelectedJob(2, c.Ops(), run);
    ASSERT_TRUE(r1.has_value());
    EXPECT_EQ(*r1, "OK");
    auto r2 = StartSelectedJob(1, c.Ops(), run);
    ASSERT_TRUE(r2.has_value());
    EXPECT_EQ(started, (std::vector<std::string>{"just-posted.exe", "new.exe"}));
    EXPECT_EQ(c.refreshes, 2);
}

namespace {

// The shape of the table engine's cursor, over fixed rows.
struct EngineLikeCursor {
    std::vector<std::int64_t> ids;
    std::size_t pos = 0;
    int refreshes = 0;
    void Refresh() { ++refreshes; }
    void First() { pos = 0; }
    void Next() { ++pos; }
    bool Eof() const { return pos >= ids.size(); }
    std::int64_t RowId() const { return ids.at(pos); }
};

}  // namespace

TEST(StartSelectedJob, WorksOnAnEngineCursorThroughItsRowNumbers) {
    EngineLikeCursor c;
    c.ids = {3, 8, 5};
    std::size_t startedAt = 99;
    auto result = StartSelectedJob(8, CursorOps(c), [&] {
        startedAt = c.pos;
        return std::string("OK");
    });
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(startedAt, 1u);
    EXPECT_EQ(c.refreshes, 1);
    EXPECT_FALSE(StartSelectedJob(4, CursorOps(c), [] { return std::string("OK"); }).has_value());
}
