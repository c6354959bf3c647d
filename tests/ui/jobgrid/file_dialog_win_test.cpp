// The system's open dialog behind the action column's file button, under Wine:
// the folder it starts in.
#include <windows.h>
// after windows.h
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "tests/win/WaitDialog.h"
#include "ui/grid/Grid.h"
#include "ui/grid/MemoryGridSource.h"
#include "ui/jobgrid/JobEditors.h"
#include "ui/jobgrid/JobGridColumns.h"

using namespace qv;
using namespace qv::ui;

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string NewFolder(const char* name) {
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    const std::string dir = std::string(tmp) + name + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void Touch(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

class FileDialogWin : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvFileDialogTestHost";
        RegisterClassA(&wc);
        host = CreateWindowExA(0, wc.lpszClassName, "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800,
                               450, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(host);
        source = std::make_unique<grid::MemoryGridSource>(std::vector<std::string>{
            "Wochentag", "Uhrzeit", "Pfad", "Aktiv", "Startzeit", "Intervall", "WindowState", "Paramter",
            "operation", "ID", "nacholen"});
        source->AddRow({"MoMiFr", "08:00:00", "", "Y", "", "N", "Standard", "", "", "", ""});
        grid.Create(host, 300, 0, 0, 780, 400);
        grid.SetColumns(JobGridColumns());
        grid.SetDataSource(source.get());
        JobEditors::Deps deps;
        deps.clock = &clock;
        deps.nextStart = [](DateTime base) { return base; };
        deps.showMessage = [](HWND, const std::string&) {};
        deps.startFolder = programFolder;
        editors = std::make_unique<JobEditors>(host, grid, *source, deps);
        editors->Bind();
        ShowWindow(host, SW_SHOW);
        Pump();
    }
    void TearDown() override {
        editors.reset();
        DestroyWindow(host);
    }
    // Presses the file button; another thread finds the dialog, notes the
    // folder it shows and chooses name there, or cancels when name is empty.
    std::string OpenDialog(const std::string& name) {
        std::string shown = "(no dialog)";
        const DWORD self = GetCurrentThreadId();
        std::thread answer([&] {
            HWND dialog = qv::testing::WaitDialogOfThread(self, IDOK, 20000);
            if (!dialog) return;
            char folder[MAX_PATH] = {};
            SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
            shown = folder;
            if (name.empty()) {
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            SendMessageA(dialog, CDM_SETCONTROLTEXT, GetDlgItem(dialog, cmb13) ? cmb13 : edt1,
                         reinterpret_cast<LPARAM>(name.c_str()));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        const grid::Rect r = grid.model().ButtonRect(0, grid.model().FindColumn("dxDBGrid1Pfad"), 0);
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(grid.hwnd(), WM_LBUTTONUP, 0, at);
        answer.join();
        Pump();
        return shown;
    }

    const std::string programFolder = NewFolder("qv-program-");
    const std::string otherFolder = NewFolder("qv-jobs-");
    HWND host = nullptr;
    FakeClock clock{MakeDateTime(2026, 12, 9, 13, 14, 15)};
    std::unique_ptr<grid::MemoryGridSource> source;
    grid::Grid grid;
    std::unique_ptr<JobEditors> editors;
};

// First in the program's folder, never a network name; after a choice in the
// folder of the file chosen last.
TEST_F(FileDialogWin, StartsInTheProgramsFolderThenInTheLastFolderUsed) {
    Touch(otherFolder + "lauf.exe");
    const std::string withoutSlash = programFolder.substr(0, programFolder.size() - 1);
    EXPECT_EQ(OpenDialog(""), withoutSlash);
    EXPECT_EQ(OpenDialog(otherFolder + "lauf.exe"), withoutSlash);
    EXPECT_EQ(source->Value("Pfad"), otherFolder + "lauf.exe");
    EXPECT_EQ(OpenDialog(""), otherFolder.substr(0, otherFolder.size() - 1));
    DeleteFileA((otherFolder + "lauf.exe").c_str());
    RemoveDirectoryA(otherFolder.c_str());
    RemoveDirectoryA(programFolder.c_str());
}

}  // namespace
