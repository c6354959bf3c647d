// Not a test: helps scripts/shell-shots.sh and scripts/shell-bench.sh.
//   shot_driver seed DIR        tables in DIR with a few sample jobs and log entries
//   shot_driver rect CLASS      prints "x y w h" of the first visible window of CLASS
//   shot_driver click ID        clicks the control ID of the main window
//   shot_driver traymenu        opens the tray icon's menu (right button released)
//   shot_driver bench EXE       time from start to the shown window, and working set
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <cstdio>
#include <string>

#include "engine/Table.h"
#include "jobs/Tables.h"
#include "ui/main/VistorelIds.h"

namespace {

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
        const char* state;
    } jobs[] = {
        {"MoDiMiDoFr", 7, 30, "C:\\Programme\\Backup\\sichern.exe", "/voll", "Y", "N", "minimiert"},
        {"Jeden Tag", 0, 15, "C:\\Daten\\Berichte\\tagesbericht.bat", "", "Y", "Y", "Standard"},
        {"Monatlich", 22, 0, "herunterfahren", "", "N", "N", "Standard"},
        {"Sa", 9, 0, "C:\\Windows\\notepad.exe", "C:\\notiz.txt", "Y", "N", "maximiert"},
    };
    int day = 16;
    for (const auto& j : jobs) {
        t.Append();
        t.FieldByName("Wochentag").SetAsString(j.rule);
        t.FieldByName("Uhrzeit").SetAsTime(qv::MakeTime(j.h, j.m));
        t.FieldByName("Pfad").SetAsString(j.pfad);
        t.FieldByName("Paramter").SetAsString(j.par);
        t.FieldByName("Aktiv").SetAsString(j.aktiv);
        t.FieldByName("Intervall").SetAsString(j.intervall);
        t.FieldByName("nacholen").SetAsString("N");
        t.FieldByName("WindowState").SetAsString(j.state);
        t.FieldByName("Startzeit").SetAsDateTime(qv::MakeDateTime(2030, 5, day++, j.h, j.m));
        t.Post();
    }
    qv::engine::Cursor l(s, dir + qv::kLogTableFile);
    l.Open();
    const char* fails[][2] = {{"C:\\Programme\\fehlt.exe", "Datei nicht gefunden"},
                              {"herunterfahren", "abgebrochen"}};
    int minute = 0;
    for (const auto& f : fails) {
        l.Append();
        l.FieldByName("Pfad").SetAsString(f[0]);
        l.FieldByName("Fehler").SetAsString(f[1]);
        l.FieldByName("Zeit").SetAsDateTime(qv::MakeDateTime(2030, 5, 14, 7, 30 + minute++));
        l.Post();
    }
}

HWND Main() { return FindWindowA(qv::ui::ids::kMainClass, nullptr); }

HWND Descendant(HWND parent, int id) {
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

int Bench(const std::string& exe) {
    const std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                        &si, &pi))
        return 1;
    WaitForInputIdle(pi.hProcess, 30000);
    HWND shown = nullptr;
    for (int i = 0; i < 30000 && !shown; ++i) {
        struct Args {
            DWORD pid;
            HWND found;
        } a{pi.dwProcessId, nullptr};
        EnumWindows(
            [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
                auto* a = reinterpret_cast<Args*>(lp);
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                if (pid == a->pid && IsWindowVisible(w) && GetWindowTextLengthA(w) > 0) {
                    a->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&a));
        shown = a.found;
        if (!shown) Sleep(1);
    }
    QueryPerformanceCounter(&t1);
    Sleep(500);
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc);
    std::printf("start_to_window_ms=%.1f working_set_kb=%lu\n",
                (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart,
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
        if (cmd == "bench" && argc > 2) return Bench(argv[2]);
        if (cmd == "rect" && argc > 2) {
            HWND w = FindWindowA(argv[2], nullptr);
            RECT r{};
            if (!w || !GetWindowRect(w, &r)) return 1;
            std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
            return 0;
        }
        if (cmd == "click" && argc > 2) {
            HWND b = Descendant(Main(), std::atoi(argv[2]));
            if (!b) return 1;
            PostMessageA(b, BM_CLICK, 0, 0);
            return 0;
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
