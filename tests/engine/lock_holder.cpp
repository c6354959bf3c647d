// Holds a lock on a table for a test running in another process:
//   engine_lock_holder <table> open|exclusive|table|row <index> [exclusive-only]
// Prints "locked" once it holds it, keeps it until its input ends. With
// "exclusive-only" it locks the way of the Windows 95/98 line.
//   engine_lock_holder <table> create <file>
// Takes the turn of a table's creators, prints "locked", and after a pause
// puts file in the table's place and ends, as a slow creator would.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "engine/Platform.h"
#include "engine/Table.h"
#include "engine/TableFile.h"

namespace {

int Create(const std::string& table, const std::string& file) {
    qv::engine::platform::LockHandle lock;
    std::string error;
    if (!lock.Open(qv::engine::detail::LockPathFor(table), &error) ||
        !lock.TryLock(qv::engine::detail::kCreateByte, 1, true)) {
        std::cout << "error: no turn " << error << std::endl;
        return 1;
    }
    std::cout << "locked" << std::endl;
    qv::engine::platform::SleepMs(300);
    std::filesystem::copy_file(file, table);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qv::engine;
    if (std::string(argv[argc - 1]) == "exclusive-only") {
        qv::engine::platform::UseExclusiveOnlyLocks(true);
        --argc;
    }
    if (argc < 3) {
        std::cout << "error: usage: engine_lock_holder <table> open|exclusive|table|row <index>" << std::endl;
        return 2;
    }
    const std::string mode = argv[2];
    try {
        if (mode == "create" && argc > 3) return Create(argv[1], argv[3]);
        SessionOptions options;
        options.lockRetryCount = 0;
        Session session("holder", options);
        Cursor cursor(session, argv[1]);
        cursor.SetExclusive(mode == "exclusive");
        cursor.Open();
        if (mode == "table") {
            cursor.LockTable();
        } else if (mode == "row" && argc > 3) {
            cursor.MoveTo(std::atoi(argv[3]));
            cursor.Edit();
        } else if (mode != "open" && mode != "exclusive") {
            std::cout << "error: unknown mode " << mode << std::endl;
            return 2;
        }
        std::cout << "locked" << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    } catch (const std::exception& e) {
        std::cout << "error: " << e.what() << std::endl;
        return 1;
    }
}
