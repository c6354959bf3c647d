// Shows the job grid with sample rows for a look at it under a real display:
//   grid_shot [rows|day|start|list|edit] [seconds]
// opens the named editor, keeps the window up for the given time, then ends.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "ui/jobgrid/JobEditors.h"
#include "ui/jobgrid/JobGridColumns.h"
#include "ui/grid/Grid.h"
#include "ui/grid/MemoryGridSource.h"

using namespace qv;

namespace {

ui::JobEditors* g_editors = nullptr;

LRESULT CALLBACK HostProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && g_editors && g_editors->HandleCommand(wp, lp)) return 0;
    if (msg == WM_CLOSE) PostQuitMessage(0);
    return DefWindowProcA(h, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "rows";
    int seconds = argc > 2 ? std::atoi(argv[2]) : 6;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "QvGridShot";
    RegisterClassA(&wc);
    HWND host = CreateWindowExA(0, wc.lpszClassName, "Quarvelin 1.03", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 10, 10,
                                760, 400, nullptr, nullptr, wc.hInstance, nullptr);
    HFONT font = win::CreateUiFont(96);

    grid::MemoryGridSource source({"Wochentag", "Uhrzeit", "Pfad", "Aktiv", "Startzeit", "Intervall", "WindowState",
                                   "Paramter", "operation", "ID", "nacholen"});
    source.AddRow({"MoMiFr", "08:00:00", "C:\\Programme\\Backup\\sichern.exe", "Y", "10.12.2026 08:00:00", "N",
                   "Standard", "/q", "", "1", "N"});
    source.AddRow({"Jeden Tag", "00:30:00", "C:\\Tools\\abgleich.cmd", "Y", "09.12.2026 14:00:00", "Y", "minimiert", "",
                   "", "2", "Y"});
    source.AddRow({"Fr", "18:00:00", "Neustart hart", "N", "11.12.2026 18:00:00", "N", "Standard", "", "", "3", "N"});
    source.AddRow({"Monatlich", "23:00:00", "herunterfahren", "Y", "01.01.2027 23:00:00", "N", "versteckt", "", "",
                   "4", "N"});
    source.AddRow({"SaSo", "07:15:00", "herunterfahren hart", "Y", "12.12.2026 07:15:00", "N", "maximiert", "", "",
                   "5", "N"});

    grid::Grid grid;
    grid.Create(host, 300, 0, 0, 744, 330);
    grid.SetFont(font);
    grid.SetColumns(ui::JobGridColumns());
    grid.SetPreviewField(ui::kJobPreviewField);
    grid.SetDataSource(&source);

    FakeClock clock(MakeDateTime(2026, 12, 9, 13, 14, 15));
    ui::JobEditors::Deps deps;
    deps.clock = &clock;
    deps.nextStart = [](DateTime) { return MakeDateTime(2026, 12, 10, 0, 0); };
    deps.showMessage = [](HWND, const std::string&) {};
    deps.openFile = [](HWND, std::string&) { return false; };
    ui::JobEditors editors(host, grid, source, deps);
    editors.Bind();
    g_editors = &editors;
    editors.chkWochentag().SetFont(font);

    ShowWindow(host, SW_SHOW);
    UpdateWindow(host);
    SetFocus(grid.hwnd());
    grid.FocusCell(1, grid.model().FindColumn("dxDBGrid1Uhrzeit"));
    if (mode == "day") {
        grid.FocusCell(0, grid.model().FindColumn("dxDBGrid1Wochentag"));
        grid.OpenPopup();
    } else if (mode == "start") {
        grid.FocusCell(2, grid.model().FindColumn("dxDBGrid1Startzeit"));
        grid.OpenPopup();
    } else if (mode == "list") {
        grid.FocusCell(1, grid.model().FindColumn("dxDBGrid1Pfad"));
        editors.dxDBGrid1PfadButtonClick(grid.model().FindColumn("dxDBGrid1Pfad"), 1);
    } else if (mode == "edit") {
        grid.FocusCell(1, grid.model().FindColumn("dxDBGrid1Parameter"), true);
    }

    SetTimer(nullptr, 0, static_cast<UINT>(seconds * 1000), nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    g_editors = nullptr;
    DeleteObject(font);
    return 0;
}
