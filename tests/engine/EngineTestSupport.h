// Shared helpers of the engine tests: a scratch directory per test, the job
// table and run log definitions, and a second process that holds locks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/Table.h"
#include "schema/JobSchema.h"

namespace qv::engine::test {

// The program's job table and run log.
inline TableDef JobTableDef() { return schema::TimerTableDef(); }
inline TableDef LogTableDef() { return schema::LogTableDef(); }

// A fresh directory, removed again at the end of the test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string File(const std::string& name) const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Options that never wait: tests count sleeps instead.
inline SessionOptions QuickOptions(int retries = 2) {
    SessionOptions o;
    o.lockRetryCount = retries;
    o.lockWaitMs = 1;
    return o;
}

// Appends one job row and posts it; returns its ID.
int64_t AppendJob(Cursor& c, const std::string& pfad, const std::string& wochentag = "MoMiFr");

// The helper program engine_lock_holder, started beside the test executable:
//   engine_lock_holder <table> open|exclusive|table|row <index> [exclusive-only]
// It prints "locked" once it holds what was asked and keeps it until its
// standard input is closed.
class LockHolder {
public:
    explicit LockHolder(const std::vector<std::string>& args);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    const std::string& firstLine() const { return firstLine_; }
    void Release();  // closes its input and waits for it to end
    void Kill();     // ends it the hard way (no clean-up of its own)

private:
    std::string firstLine_;
#ifdef _WIN32
    void* process_ = nullptr;
    void* input_ = nullptr;
#else
    int pid_ = -1;
    int input_ = -1;
#endif
};

std::string ExecutableDir();

}  // namespace qv::engine::test
