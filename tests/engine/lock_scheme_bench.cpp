// Figures for the file locks of two readers of one table: SQLite's locks as
// the program takes them against those another reader takes (the sqlite3
// client, a second copy of this bench). Not a test.
//   lock_scheme_bench make FILE ROWS          a table of ROWS jobs
//   lock_scheme_bench read FILE SECONDS PAUSE [WAIT]
//                                             read transactions over every row,
//                                             PAUSE ms apart, for SECONDS, each
//                                             waiting up to WAIT ms for a lock
//   lock_scheme_bench hold FILE SECONDS       one read transaction held open
// "read" prints the reads made, how many found the table busy, the family of
// the system (SQLite's read locks follow it) and the mean and longest read.
#include <windows.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool NtFamily() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

int Make(const char* file, int rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file, &db) != SQLITE_OK) return 1;
    std::string sql =
        "CREATE TABLE timer(ID INTEGER, Wochentag TEXT, Uhrzeit TEXT, Pfad TEXT, Startzeit TEXT);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rows) +
        ") INSERT INTO timer SELECT i, 'MoMiFr', '08:00:00.000', 'C:\\Programme\\job' || i || '.exe', "
        "'2030-01-01 08:00:00.000' FROM n;";
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) std::fprintf(stderr, "make: %s\n", error ? error : "?");
    sqlite3_free(error);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}

int Read(const char* file, int seconds, int pauseMs, int waitMs) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
    sqlite3_busy_timeout(db, waitMs);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*), sum(length(Pfad)) FROM timer", -1, &st, nullptr) != SQLITE_OK)
        return 1;
    long reads = 0, busy = 0;
    LARGE_INTEGER freq, t0, t1, spent{}, longest{};
    QueryPerformanceFrequency(&freq);
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (static_cast<LONG>(GetTickCount() - end) < 0) {
        QueryPerformanceCounter(&t0);
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        QueryPerformanceCounter(&t1);
        spent.QuadPart += t1.QuadPart - t0.QuadPart;
        if (t1.QuadPart - t0.QuadPart > longest.QuadPart) longest.QuadPart = t1.QuadPart - t0.QuadPart;
        ++reads;
        if (rc == SQLITE_BUSY) ++busy;
        else if (rc != SQLITE_ROW) {
            std::fprintf(stderr, "read: %s\n", sqlite3_errmsg(db));
            return 1;
        }
        if (pauseMs > 0) Sleep(static_cast<DWORD>(pauseMs));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    const double ms = 1000.0 / static_cast<double>(freq.QuadPart);
    std::printf("%s: %ld reads, %ld busy (%.1f %%), mean %.2f ms, longest %.0f ms\n", NtFamily() ? "NT" : "9x",
                reads, busy, reads ? 100.0 * static_cast<double>(busy) / static_cast<double>(reads) : 0.0,
                reads ? ms * static_cast<double>(spent.QuadPart) / static_cast<double>(reads) : 0.0,
                ms * static_cast<double>(longest.QuadPart));
    return 0;
}

int Hold(const char* file, int seconds) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
    sqlite3_busy_timeout(db, 10000);
    if (sqlite3_exec(db, "BEGIN; SELECT count(*) FROM timer;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "hold: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    Sleep(static_cast<DWORD>(seconds) * 1000);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 4) return Make(argv[2], std::atoi(argv[3]));
    if (mode == "read" && (argc == 5 || argc == 6))
        return Read(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc == 6 ? std::atoi(argv[5]) : 0);
    if (mode == "hold" && argc == 4) return Hold(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr,
                 "usage: lock_scheme_bench make FILE ROWS | read FILE SECONDS PAUSE [WAIT] | hold FILE SECONDS\n");
    return 2;
}
