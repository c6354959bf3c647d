// A row whose post has returned survives its writer being killed at any moment,
// and the file always opens again. Uses fork and SIGKILL.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <random>

#include "engine/Table.h"
#include "tests/engine/EngineTestSupport.h"

namespace qv::engine::test {
namespace {

struct Ack {
    int64_t id;
    int32_t round;
    int32_t seq;
};

std::string PfadFor(int round, int seq) {
    return "w" + std::to_string(round) + "-" + std::to_string(seq) + " \xe4\xf6\xfc";
}

// The child: appends rows (and edits the previous one) for ever, reporting
// each acknowledged post through the pipe.
[[noreturn]] void Writer(const std::string& path, int round, int fd) {
    try {
        Session s("writer", QuickOptions(50));
        Cursor c(s, path);
        c.Open();
        for (int seq = 0;; ++seq) {
            c.Append();
            c.FieldByName("Wochentag").SetAsString("Jeden Tag");
            c.FieldByName("Uhrzeit").SetAsTime(MakeTime(seq % 24, seq % 60, 0, seq % 1000));
            c.FieldByName("Pfad").SetAsString(PfadFor(round, seq));
            c.FieldByName("Aktiv").SetAsString("Y");
            c.FieldByName("Startzeit").SetAsDateTime(MakeDateTime(2026, 1, 1, 0, 0, 0, seq));
            c.Post();
            Ack ack{c.FieldByName("ID").AsInteger(), round, seq};
            if (write(fd, &ack, sizeof ack) != static_cast<ssize_t>(sizeof ack)) _exit(3);
        }
    } catch (...) {
        _exit(2);
    }
}

TEST(Durability, AcknowledgedRowsSurviveAKilledWriter) {
    ScratchDir dir;
    const std::string path = dir.File("Timer.DAT");
    ASSERT_TRUE(CreateTable(path, JobTableDef()));
    std::map<int64_t, Ack> acked;
    std::mt19937 rng(20261209);
    const int rounds = 20;
    for (int round = 0; round < rounds; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            Writer(path, round, fds[1]);
        }
        close(fds[1]);
        // Wait for the first acknowledgement, then kill at a random moment.
        Ack first{};
        ssize_t got = read(fds[0], &first, sizeof first);
        usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 40000)(rng)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself, status " << status;
        if (got == static_cast<ssize_t>(sizeof first)) acked[first.id] = first;
        Ack ack;
        while (read(fds[0], &ack, sizeof ack) == static_cast<ssize_t>(sizeof ack)) acked[ack.id] = ack;
        close(fds[0]);

        Session check("check", QuickOptions());
        Cursor c(check, path);
        ASSERT_NO_THROW(c.Open()) << "round " << round;
        std::map<int64_t, int> seen;
        for (c.First(); !c.Eof(); c.Next()) {
            const int64_t id = c.FieldByName("ID").AsInteger();
            ++seen[id];
            auto it = acked.find(id);
            if (it == acked.end()) continue;  // posted, but killed before it said so
            const Ack& a = it->second;
            ASSERT_EQ(c.FieldByName("Pfad").AsString(), PfadFor(a.round, a.seq));
            ASSERT_EQ(c.FieldByName("Uhrzeit").AsTime(), MakeTime(a.seq % 24, a.seq % 60, 0, a.seq % 1000));
            ASSERT_EQ(c.FieldByName("Startzeit").AsDateTime(), MakeDateTime(2026, 1, 1, 0, 0, 0, a.seq));
        }
        for (const auto& a : acked) ASSERT_EQ(seen[a.first], 1) << "acknowledged row " << a.first << " lost";
    }
    EXPECT_GE(acked.size(), static_cast<size_t>(rounds));
    std::cout << acked.size() << " acknowledged rows over " << rounds << " killed writers\n";
}

}  // namespace
}  // namespace qv::engine::test
