// Row locks, table locks and exclusive opens between sessions and processes,
// with the system's shared locks, with the exclusive-only locks of the
// Windows 95/98 line, and with both kinds at once on one table.
#include <gtest/gtest.h>

#include "engine/Platform.h"
#include "engine/Table.h"
#include "tests/engine/EngineTestSupport.h"

namespace qv::engine::test {
namespace {

struct LockKinds {
    const char* name;
    bool here;        // this process takes exclusive-only locks
    bool lockHolder;  // the helper process does
};

void PrintTo(const LockKinds& kinds, std::ostream* os) { *os << kinds.name; }

class LockTest : public ::testing::TestWithParam<LockKinds> {
protected:
    void SetUp() override {
        platform::UseExclusiveOnlyLocks(GetParam().here);
        path = dir.File("Timer.DAT");
        ASSERT_TRUE(CreateTable(path, JobTableDef()));
        Cursor c(ses, path);
        c.Open();
        for (int i = 1; i <= 3; ++i) AppendJob(c, "job" + std::to_string(i));
        ses.SetSleep([this](int ms) { sleeps.push_back(ms); });
        ses2.SetSleep([this](int ms) { sleeps.push_back(ms); });
    }
    void TearDown() override { platform::UseExclusiveOnlyLocks(false); }
    LockHolder Holder(std::vector<std::string> args) const {
        if (GetParam().lockHolder) args.push_back("exclusive-only");
        return LockHolder(args);
    }
    // Runs f, which must fail with code and message.
    template <typename F>
    void ExpectError(F f, ErrorCode code, const std::string& message) {
        try {
            f();
            ADD_FAILURE() << "no error, expected: " << message;
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), code) << e.what();
            if (!message.empty()) {
                EXPECT_EQ(std::string(e.what()), message);
            }
        }
    }

    ScratchDir dir;
    std::string path;
    std::vector<int> sleeps;
    Session ses{"ses", QuickOptions(2)};
    Session ses2{"Session2", QuickOptions(2)};
    const std::string rowMsg = "Record in table 'Timer.DAT' is in use by another user";
    const std::string tableMsg = "The table 'Timer.DAT' is already locked by another user";
};

TEST_P(LockTest, EditLocksTheRowAgainstAnotherSessionUntilPostOrCancel) {
    Cursor a(ses, path), b(ses2, path);
    a.Open();
    b.Open();
    a.First();
    b.First();
    EXPECT_FALSE(a.RowLocked());
    EXPECT_FALSE(b.RowLocked());
    a.Edit();
    EXPECT_TRUE(a.RowLocked());  // its own lock
    EXPECT_TRUE(b.RowLocked());  // someone else's
    sleeps.clear();
    ExpectError([&] { b.Edit(); }, ErrorCode::RowLocked, rowMsg);
    EXPECT_EQ(sleeps, (std::vector<int>{1, 1}));  // the session's retries
    EXPECT_EQ(b.state(), DatasetState::Browse);
    ExpectError([&] { b.Delete(); }, ErrorCode::RowLocked, rowMsg);
    EXPECT_EQ(b.RecordCount(), 3);
    b.Next();
    EXPECT_FALSE(b.RowLocked());
    b.Edit();  // another row is free
    b.Cancel();
    a.FieldByName("Pfad").SetAsString("edited");
    a.Post();
    b.First();
    EXPECT_FALSE(b.RowLocked());
    b.Edit();
    EXPECT_EQ(b.FieldByName("Pfad").AsString(), "edited");
    EXPECT_TRUE(a.RowLocked());
    b.Cancel();
    EXPECT_FALSE(a.RowLocked());
}

TEST_P(LockTest, CloseAndDestructionReleaseLocks) {
    Cursor b(ses2, path);
    b.Open();
    {
        Cursor a(ses, path);
        a.Open();
        a.Edit();
        EXPECT_TRUE(b.RowLocked());
        a.Close();
        EXPECT_FALSE(b.RowLocked());
        a.Open();
        a.LockTable();
        EXPECT_TRUE(b.RowLocked());
    }
    EXPECT_FALSE(b.RowLocked());
    b.LockTable();
    b.UnlockTable();
}

TEST_P(LockTest, TableLockExcludesRowLocksBothWays) {
    Cursor a(ses, path), b(ses2, path);
    a.Open();
    b.Open();
    a.LockTable();
    EXPECT_TRUE(a.RowLocked());
    EXPECT_TRUE(b.RowLocked());
    ExpectError([&] { b.LockTable(); }, ErrorCode::TableLocked, tableMsg);
    ExpectError([&] { b.Edit(); }, ErrorCode::RowLocked, rowMsg);
    ExpectError([&] { b.EmptyTable(); }, ErrorCode::TableLocked, tableMsg);
    // Nor can it add rows; the holder can.
    ExpectError([&] { AppendJob(b, "refused"); }, ErrorCode::TableLocked, tableMsg);
    EXPECT_EQ(b.state(), DatasetState::Insert);
    b.Cancel();
    AppendJob(a, "by the holder");
    // The holder edits and posts freely, on any row.
    a.Last();
    a.Edit();
    a.FieldByName("Aktiv").SetAsString("N");
    a.Post();
    EXPECT_TRUE(b.RowLocked());
    a.UnlockTable();
    EXPECT_FALSE(b.RowLocked());
    // A row being edited keeps the table from being locked by anyone else.
    b.MoveTo(1);
    b.Edit();
    ExpectError([&] { a.LockTable(); }, ErrorCode::TableLocked, tableMsg);
    b.LockTable();  // its own row lock does not stand in its way
    b.FieldByName("Pfad").SetAsString("under table lock");
    b.Post();
    b.UnlockTable();
    a.LockTable();
    a.UnlockTable();
}

TEST_P(LockTest, UnlockingTheTableKeepsAPendingEditLocked) {
    Cursor a(ses, path), b(ses2, path);
    a.Open();
    b.Open();
    a.LockTable();
    a.Edit();
    a.UnlockTable();
    b.First();
    EXPECT_TRUE(b.RowLocked());
    b.Next();
    EXPECT_FALSE(b.RowLocked());
    a.Cancel();
    b.First();
    EXPECT_FALSE(b.RowLocked());
}

TEST_P(LockTest, RetriesUseTheSessionsCountAndWait) {
    Session real("Session2");  // 15 retries, 100 ms apart
    std::vector<int> waits;
    real.SetSleep([&](int ms) { waits.push_back(ms); });
    EXPECT_EQ(real.options().lockRetryCount, 15);
    EXPECT_EQ(real.options().lockWaitMs, 100);
    Cursor a(ses, path), b(real, path);
    a.Open();
    b.Open();
    a.Edit();
    ExpectError([&] { b.Edit(); }, ErrorCode::RowLocked, rowMsg);
    EXPECT_EQ(waits, std::vector<int>(15, 100));
    a.Cancel();
    a.LockTable();
    waits.clear();
    ExpectError([&] { b.LockTable(); }, ErrorCode::TableLocked, tableMsg);
    EXPECT_EQ(waits, std::vector<int>(15, 100));
    // A lock that comes free during the retries is taken.
    waits.clear();
    real.SetSleep([&](int ms) {
        waits.push_back(ms);
        if (waits.size() == 3) a.UnlockTable();
    });
    b.LockTable();
    EXPECT_EQ(waits.size(), 3u);
    EXPECT_TRUE(a.RowLocked());
}

TEST_P(LockTest, ExclusiveOpenExcludesEveryoneElse) {
    Cursor a(ses, path), ex(ses2, path);
    ex.SetExclusive(true);
    a.Open();
    ExpectError([&] { ex.Open(); }, ErrorCode::InUse, "Table 'Timer.DAT' is in use by another user");
    EXPECT_FALSE(ex.active());
    a.Close();
    ex.Open();
    Cursor c(ses, path);
    ExpectError([&] { c.Open(); }, ErrorCode::InUse, "Table 'Timer.DAT' is opened exclusively by another user");
    Cursor ex2(ses, path);
    ex2.SetExclusive(true);
    EXPECT_THROW(ex2.Open(), EngineError);
    // Table operations need the table to themselves as well.
    ExpectError([&] { RestructureTable(path, JobTableDef()); }, ErrorCode::InUse, "");
    ExpectError([&] { RepairTable(path, JobTableDef()); }, ErrorCode::InUse, "");
    ex.Close();
    c.Open();
    ExpectError([&] { RepairTable(path, JobTableDef()); }, ErrorCode::InUse, "");
}

// --- between processes -------------------------------------------------------

TEST_P(LockTest, RowLockOfAnotherProcess) {
    LockHolder holder = Holder({path, "row", "0"});
    ASSERT_EQ(holder.firstLine(), "locked");
    Cursor a(ses, path);
    a.Open();
    EXPECT_TRUE(a.RowLocked());
    ExpectError([&] { a.Edit(); }, ErrorCode::RowLocked, rowMsg);
    ExpectError([&] { a.LockTable(); }, ErrorCode::TableLocked, tableMsg);
    a.Next();
    EXPECT_FALSE(a.RowLocked());
    a.Edit();
    a.Cancel();
    holder.Release();
    a.First();
    EXPECT_FALSE(a.RowLocked());
    a.Edit();
    a.Cancel();
}

TEST_P(LockTest, TableLockOfAnotherProcessVanishesWhenItIsKilled) {
    LockHolder holder = Holder({path, "table"});
    ASSERT_EQ(holder.firstLine(), "locked");
    Cursor a(ses, path);
    a.Open();
    EXPECT_TRUE(a.RowLocked());
    ExpectError([&] { a.LockTable(); }, ErrorCode::TableLocked, tableMsg);
    ExpectError([&] { a.Edit(); }, ErrorCode::RowLocked, rowMsg);
    holder.Kill();
    EXPECT_FALSE(a.RowLocked());
    a.LockTable();
    a.Edit();
    a.Post();
    a.UnlockTable();
}

TEST_P(LockTest, RowLockOfAKilledProcessVanishes) {
    LockHolder holder = Holder({path, "row", "2"});
    ASSERT_EQ(holder.firstLine(), "locked");
    Cursor a(ses, path);
    a.Open();
    a.Last();
    EXPECT_TRUE(a.RowLocked());
    holder.Kill();
    EXPECT_FALSE(a.RowLocked());
    a.Edit();
    a.Cancel();
}

TEST_P(LockTest, OpensAgainstAnotherProcess) {
    {
        LockHolder holder = Holder({path, "exclusive"});
        ASSERT_EQ(holder.firstLine(), "locked");
        Cursor a(ses, path);
        ExpectError([&] { a.Open(); }, ErrorCode::InUse, "Table 'Timer.DAT' is opened exclusively by another user");
        holder.Kill();
        a.Open();
    }
    {
        LockHolder holder = Holder({path, "open"});
        ASSERT_EQ(holder.firstLine(), "locked");
        Cursor ex(ses, path);
        ex.SetExclusive(true);
        ExpectError([&] { ex.Open(); }, ErrorCode::InUse, "Table 'Timer.DAT' is in use by another user");
        Cursor shared(ses, path);
        shared.Open();  // sharing is fine
        shared.Close();
        holder.Release();
        ex.Open();
        // And the other way round: the helper cannot open it now.
        LockHolder refused = Holder({path, "open"});
        EXPECT_EQ(refused.firstLine(), "error: Table 'Timer.DAT' is opened exclusively by another user");
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, LockTest,
                         ::testing::Values(LockKinds{"Shared", false, false},
                                           LockKinds{"ExclusiveOnly", true, true},
                                           LockKinds{"ExclusiveOnlyAgainstShared", true, false}),
                         [](const ::testing::TestParamInfo<LockKinds>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::engine::test
