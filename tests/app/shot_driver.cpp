// Not a test: helps scripts/screenshots.sh and scripts/shell-bench.sh.
//   shot_driver seed DIR              tables in DIR with a realistic job list
//   shot_driver fill DIR N [due]      tables in DIR with N daily jobs, not due
//                                     (or all due, their programs missing)
//   shot_driver rect CLASS [TITLE]    "x y w h" of the first window of CLASS ("-": any) and TITLE
//   shot_driver ctlrect ID            "x y w h" of the main window's control ID
//   shot_driver click ID              clicks the control ID of the main window
//   shot_driver clickin CLASS TITLE ID  clicks the control ID of that window
//   shot_driver size W H              resizes the main window
//   shot_driver close CLASS           asks the first window of CLASS to close
//   shot_driver traymenu              opens the tray icon's menu (right button released)
//   shot_driver bench EXE CLASS       time from start to the shown window of CLASS, and working set
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/Table.h"
#include "jobs/Tables.h"
#include "rules/DayRule.h"
#include "ui/main/VistorelIds.h"

namespace {

// A realistic job list: every kind of day rule, an interval job, a catch-up
// job, the shutdown and restart operations (one forced, drawn red), and a job
// whose program is gone, due at once, so the first tick logs its failure.
// Next starts are the ones each rule gives from now.
void Seed(const std::string& dir) {
    qv::CreateTimerTable(dir);
    qv::CreateLogTable(dir);
    qv::engine::Session s("seed");
    qv::engine::Cursor t(s, dir + qv::kTimerTableFile);
    t.Open();
    struct Job {
        const char* rule;
        int h, m;
        const char* pfad;
        const char* par;
        const char* aktiv;
        const char* intervall;
        const char* nachholen;
        const char* state;
    } jobs[] = {
        {"MoDiMiDoFr", 7, 30, "C:\\Programme\\Sicherung\\sichern.exe", "/voll", "Y", "N", "Y", "minimiert"},
        {"Jeden Tag", 0, 15, "C:\\Daten\\Berichte\\abgleich.bat", "", "Y", "Y", "N", "versteckt"},
        {"Mo-Fr", 8, 0, "C:\\Daten\\Berichte\\Tagesplan.xls", "", "Y", "N", "N", "maximiert"},
        {"Mo", 9, 0, "C:\\Daten\\Besprechung.doc", "", "Y", "N", "N", "Standard"},
        {"SaSo", 10, 0, "C:\\Windows\\notepad.exe", "C:\\Daten\\Wochenplan.txt", "Y", "N", "N", "Standard"},
        {"Monatlich", 22, 0, "C:\\Programme\\Buchhaltung\\abschluss.exe", "-monat", "Y", "N", "Y", "Standard"},
        {"Mittwoch", 6, 45, "C:\\Programme\\Virenschutz\\update.exe", "", "N", "N", "N", "minimiert"},
        {"MoDiMiDoFr", 18, 30, "herunterfahren", "", "Y", "N", "N", "Standard"},
        {"Sa+So", 23, 0, "herunterfahren hart", "", "Y", "N", "N", "Standard"},
        {"Di", 12, 0, "C:\\Programme\\Alt\\bericht.exe", "", "Y", "N", "N", "Standard"},
    };
    const qv::DateTime now = qv::SystemClock().Now();
    for (const auto& j : jobs) {
        const qv::TimeOfDay time = qv::MakeTime(j.h, j.m);
        const bool interval = std::string(j.intervall) == "Y";
        const bool gone = std::string(j.pfad).find("Alt") != std::string::npos;
        t.Append();
        t.FieldByName("Wochentag").SetAsString(j.rule);
        t.FieldByName("Uhrzeit").SetAsTime(time);
        t.FieldByName("Pfad").SetAsString(j.pfad);
        t.FieldByName("Paramter").SetAsString(j.par);
        t.FieldByName("Aktiv").SetAsString(j.aktiv);
        t.FieldByName("Intervall").SetAsString(j.intervall);
        t.FieldByName("nacholen").SetAsString(j.nachholen);
        t.FieldByName("WindowState").SetAsString(j.state);
        t.FieldByName("Startzeit").SetAsDateTime(
            gone ? qv::DateTime{now.ms - qv::kMsPerMinute}
                 : qv::CalcNextStart(j.rule, time,
                                     interval ? qv::StartMode::Interval : qv::StartMode::Fixed, now));
        t.Post();
    }
}

// N jobs put in with bare SQLite in one transaction (a cursor would commit
// each row on its own, minutes under Wine for 10,000).
int Fill(const std::string& dir, int jobs, bool due) {
    qv::CreateTimerTable(dir);
    qv::CreateLogTable(dir);
    sqlite3* db = nullptr;
    if (sqlite3_open((dir + qv::kTimerTableFile).c_str(), &db) != SQLITE_OK) return 1;
    const qv::DateTime now = qv::SystemClock().Now();
    const std::string start = qv::FormatDateTime(due ? qv::DateTime{now.ms - qv::kMsPerHour}
                                                     : qv::DateTime{now.ms + 7 * qv::kMsPerDay});
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO timer(Wochentag, Uhrzeit, Pfad, Aktiv, Startzeit, Intervall, "
                       "WindowState, ID) VALUES('Jeden Tag', '08:00:00.000', ?1, 'Y', ?2, 'N', 'Standard', ?3)",
                       -1, &st, nullptr);
    bool ok = st != nullptr;
    for (int i = 1; ok && i <= jobs; ++i) {
        const std::string pfad = (due ? "C:\\Fehlt\\job" : "C:\\Programme\\job") + std::to_string(i) + ".exe";
        sqlite3_bind_text(st, 1, pfad.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, start.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 3, i);
        ok = sqlite3_step(st) == SQLITE_DONE;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    const std::string next = "UPDATE qv_meta SET value=" + std::to_string(jobs + 1) + " WHERE key='next_autoinc'";
    ok = ok && sqlite3_exec(db, next.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
         sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok ? 0 : 1;
}

HWND Main() { return FindWindowA(qv::ui::ids::kMainClass, nullptr); }

// The first top-level window of cls ("-" for any class) and title (nullptr: any).
HWND Find(const char* cls, const char* title) {
    return FindWindowA(std::string(cls) == "-" ? nullptr : cls, title);
}

int PrintRect(HWND w) {
    RECT r{};
    if (!w || !GetWindowRect(w, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

int Click(HWND button) {
    return button && PostMessageA(button, BM_CLICK, 0, 0) ? 0 : 1;
}

HWND Descendant(HWND parent, int id) {
    if (!parent) return nullptr;
    struct Args {
        int id;
        HWND found;
    } a{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
            auto* a = reinterpret_cast<Args*>(lp);
            if (GetDlgCtrlID(w) != a->id) return TRUE;
            a->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&a));
    return a.found;
}

// The program's main window of class cls once it is shown; nullptr before.
// One look at the window list: a poller that asks often must not slow the
// start it measures.
HWND ShownWindow(DWORD pid, const char* cls) {
    for (HWND w = FindWindowExA(nullptr, nullptr, cls, nullptr); w; w = FindWindowExA(nullptr, w, cls, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

BOOL CALLBACK ChildPainted(HWND child, LPARAM painted) {
    if (!GetUpdateRect(child, nullptr, FALSE)) return TRUE;
    *reinterpret_cast<bool*>(painted) = false;
    return FALSE;
}

// Neither the window nor any of its children waits for WM_PAINT.
bool Painted(HWND w) {
    if (GetUpdateRect(w, nullptr, FALSE)) return false;
    bool painted = true;
    EnumChildWindows(w, ChildPainted, reinterpret_cast<LPARAM>(&painted));
    return painted;
}

// Time from process creation until the main window is shown, its thread
// takes messages again and nothing of it waits to be painted (a program that
// paints before its message loop and one that paints in it are measured
// alike), the processor time the program took for it, and its working set
// half a second later.
int Bench(const std::string& exe, const char* cls) {
    const std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    // The driver's own window system start (its display driver, the look-up
    // below) is done before the clock starts, not beside the measured start.
    ShownWindow(GetCurrentProcessId(), cls);
    ReleaseDC(nullptr, GetDC(nullptr));
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                        &si, &pi))
        return 1;
    HWND shown = nullptr;
    for (int i = 0; i < 15000 && !shown; ++i) {
        shown = ShownWindow(pi.dwProcessId, cls);
        if (!shown) Sleep(2);
    }
    DWORD_PTR answer = 0;
    if (shown) SendMessageTimeoutA(shown, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
    for (int i = 0; shown && i < 5000 && !Painted(shown); ++i) Sleep(1);
    QueryPerformanceCounter(&t1);
    FILETIME created, exited, kernel, user;
    double cpuMs = 0;
    if (GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user)) {
        const auto ticks = [](const FILETIME& f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
        cpuMs = static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
    }
    Sleep(500);
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc);
    std::printf("start_to_window_ms=%.1f cpu_ms=%.1f working_set_kb=%lu\n",
                (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart, cpuMs,
                static_cast<unsigned long>(pmc.WorkingSetSize / 1024));
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return shown ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string cmd = argv[1];
    try {
        if (cmd == "seed" && argc > 2) {
            Seed(argv[2]);
            return 0;
        }
        if (cmd == "fill" && argc > 3)
            return Fill(argv[2], std::atoi(argv[3]), argc > 4 && std::string(argv[4]) == "due");
        if (cmd == "bench" && argc > 3) return Bench(argv[2], argv[3]);
        if (cmd == "rect" && argc > 2) return PrintRect(Find(argv[2], argc > 3 ? argv[3] : nullptr));
        if (cmd == "ctlrect" && argc > 2) return PrintRect(Descendant(Main(), std::atoi(argv[2])));
        if (cmd == "click" && argc > 2) return Click(Descendant(Main(), std::atoi(argv[2])));
        if (cmd == "clickin" && argc > 4)
            return Click(Descendant(Find(argv[2], argv[3]), std::atoi(argv[4])));
        if (cmd == "size" && argc > 3) {
            return SetWindowPos(Main(), nullptr, 0, 0, std::atoi(argv[2]), std::atoi(argv[3]),
                                SWP_NOMOVE | SWP_NOZORDER) ? 0 : 1;
        }
        if (cmd == "close" && argc > 2) {
            HWND w = Find(argv[2], nullptr);
            return w && PostMessageA(w, WM_CLOSE, 0, 0) ? 0 : 1;
        }
        if (cmd == "traymenu") {
            HWND tray = FindWindowA("QvTrayIconWindow", nullptr);
            if (!tray) return 1;
            PostMessageA(tray, WM_USER + 100, 1, WM_RBUTTONUP);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 2;
}
