// engine_bench: times of the job table's hot paths beside the same work done
// with plain SQLite calls. Prints figures; asserts nothing.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/Table.h"
#include "schema/JobSchema.h"
#include "tests/engine/BenchTiming.h"

using namespace qv;
using namespace qv::engine;
namespace fs = std::filesystem;

namespace {

using bench::Figures;
using bench::Time;

void Line(const char* what, const Figures& f) {
    std::printf("        %-46s %9.3f %9.3f %9.3f ms\n", what, f.min, f.median, f.max);
}

void Check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

void Fill(const std::string& path, int rows) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db);
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "INSERT INTO timer VALUES('MoMiFr', '08:00:00.000', ?1, 'Y', "
                             "'2026-12-09 08:00:00.000', 'N', 'Standard', '-p', NULL, ?2, 'N')",
                             -1, &st, nullptr),
          db);
    for (int i = 1; i <= rows; ++i) {
        std::string p = "C:\\Programme\\Werkzeug\\job" + std::to_string(i) + ".exe";
        sqlite3_bind_text(st, 1, p.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 2, i);
        Check(sqlite3_step(st), db);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Check(sqlite3_exec(db, ("UPDATE qv_meta SET value=" + std::to_string(rows + 1) +
                            " WHERE key='next_autoinc'; COMMIT").c_str(),
                       nullptr, nullptr, nullptr),
          db);
    sqlite3_close(db);
}

void Bench(const fs::path& dir, int rows) {
    fs::create_directories(dir / std::to_string(rows));
    const std::string path = (dir / std::to_string(rows) / "Timer.DAT").string();
    fs::remove(path);
    CreateTable(path, schema::TimerTableDef());
    Fill(path, rows);

    Session ses("ses"), other("Session2");
    Cursor c(ses, path), writer(other, path);
    const Figures open = Time(5, [&] {
        c.Close();
        c.Open();
    });
    writer.Open();
    size_t sink = 0;
    auto scan = [&] {
        for (c.First(); !c.Eof(); c.Next()) {
            sink += c.FieldByIndex(0).AsString().size() + c.FieldByIndex(2).AsString().size() +
                    c.FieldByIndex(3).AsString().size() + c.FieldByIndex(5).AsString().size() +
                    c.FieldByIndex(6).AsString().size() + c.FieldByIndex(7).AsString().size() +
                    c.FieldByIndex(8).AsString().size() + c.FieldByIndex(10).AsString().size();
            sink += static_cast<size_t>(c.FieldByIndex(1).AsTime().ms + c.FieldByIndex(4).AsDateTime().ms +
                                        c.FieldByIndex(9).AsInteger());
        }
    };
    const Figures idle = Time(21, [&] {
        c.Refresh();
        scan();
    });
    int round = 0;
    const Figures changed = Time(
        11,
        [&] {
            c.Refresh();
            scan();
        },
        [&] {
            // Another cursor changes a row, so the refresh must read everything again.
            writer.First();
            writer.Edit();
            writer.FieldByName("Paramter").SetAsString("r" + std::to_string(round++));
            writer.Post();
        });
    c.MoveTo(rows / 2);
    const Figures editPost = Time(21, [&] {
        c.Edit();
        c.FieldByName("Paramter").SetAsString(std::to_string(sink++ % 1000));
        c.Post();
    });

    // The same with plain SQLite.
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_stmt* sel = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT rowid, * FROM timer ORDER BY rowid", -1, &sel, nullptr), db);
    const Figures rawScan = Time(21, [&] {
        while (sqlite3_step(sel) == SQLITE_ROW) {
            for (int i = 1; i <= 11; ++i) {
                const unsigned char* t = sqlite3_column_text(sel, i);
                if (t) sink += std::string(reinterpret_cast<const char*>(t)).size();
            }
        }
        sqlite3_reset(sel);
    });
    sqlite3_finalize(sel);
    sqlite3_stmt* upd = nullptr;
    Check(sqlite3_prepare_v2(db, "UPDATE timer SET Paramter=?1 WHERE rowid=?2", -1, &upd, nullptr), db);
    const Figures rawUpdate = Time(21, [&] {
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        std::string v = std::to_string(sink++ % 1000);
        sqlite3_bind_text(upd, 1, v.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(upd, 2, rows / 2);
        Check(sqlite3_step(upd), db);
        sqlite3_reset(upd);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    });
    sqlite3_finalize(upd);
    const Figures quick = Time(5, [&] {
        sqlite3_exec(db, "PRAGMA quick_check(1)", nullptr, nullptr, nullptr);
    });
    sqlite3_close(db);

    std::printf("%6d rows (min / median / max):\n", rows);
    Line("open", open);
    Line("quick_check alone", quick);
    Line("Refresh (nothing changed) + full scan", idle);
    Line("Refresh (after another cursor's post) + full scan", changed);
    Line("raw SQLite full scan of all columns", rawScan);
    Line("Edit+Post of one row", editPost);
    Line("raw SQLite UPDATE in a transaction", rawUpdate);
    std::fflush(stdout);
    if (sink == 42) std::printf(" ");
}

}  // namespace

int main(int argc, char** argv) {
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "qv-engine-bench";
    fs::create_directories(dir);
    std::printf("engine_bench (SQLite %s), files in %s\n", sqlite3_libversion(), dir.string().c_str());
    try {
        Bench(dir, 1000);
        Bench(dir, 10000);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine_bench: %s\n", e.what());
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
