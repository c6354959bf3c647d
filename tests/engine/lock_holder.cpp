// Holds a lock on a table for a test running in another process:
//   engine_lock_holder <table> open|exclusive|table|row <index> [exclusive-only]
// Prints "locked" once it holds it, keeps it until its input ends. With
// "exclusive-only" it locks the way of the Windows 95/98 line.
#include <cstdlib>
#include <iostream>
#include <string>

#include "engine/Platform.h"
#include "engine/Table.h"

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
