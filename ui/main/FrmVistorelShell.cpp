// The main window's ties to the shell: the tray icon and its menu, files
// dropped on the grid, rows dragged over it, and help.
#include <vector>

#include "ui/main/DropJobs.h"
#include "ui/main/FrmVistorel.h"
#include "ui/main/VistorelIds.h"
#include "win/Shell.h"

namespace qv::ui {

namespace {

constexpr const char* kWindowProp = "QvVistorel";

bool IsExistingFile(const std::string& path) {
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// --- Tray icon ------------------------------------------------------------------

void TfrmVistorel::CreateTray() {
    const win::Icon* icons = ProgramIcons();
    tray_.SetIcons({icons[0].get(), icons[1].get(), icons[2].get()});
    tray_.SetTip("Vistorel");
    tray_.DoubleClick = [this] { Wiederherstellen1Click(); };
    tray_.RightClick = [this] {
        UINT cmd = win::TrayIcon::TrackMenu(hwnd(), PopupMenu1_.get());
        if (cmd) OnCommand(static_cast<int>(cmd), 0);
    };
    tray_.Minimized = [this] { TrayMinimizeApp(); };
    tray_.BalloonClick = [this] { TrayBalloonClick(); };
    // Without a notification area the program runs on with its taskbar button.
    tray_.Show();
}

void TfrmVistorel::Beenden1Click() { SendMessageA(hwnd(), WM_CLOSE, 0, 0); }

// A window that was active already is not activated again: its control gets
// the keyboard back here too.
void TfrmVistorel::Wiederherstellen1Click() {
    win::TrayIcon::RestoreApp(hwnd());
    focus_.Restore(hwnd());
}

void TfrmVistorel::TrayBalloonClick() {
    Wiederherstellen1Click();
    Button2Click();
}

void TfrmVistorel::TrayMinimizeApp() {
    engine::Cursor& c = data_->tblTimer;
    if (c.active() && c.state() == engine::DatasetState::Edit) c.Post();
}

// --- Dropped files --------------------------------------------------------------

void TfrmVistorel::AcceptDroppedFiles() {
    HWND gridWindow = dxDBGrid1_->hwnd();
    SetPropA(gridWindow, kWindowProp, reinterpret_cast<HANDLE>(this));
    savedGridProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        gridWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TfrmVistorel::LBWindowProc)));
}

void TfrmVistorel::StopDroppedFiles() {
    HWND gridWindow = dxDBGrid1_ ? dxDBGrid1_->hwnd() : nullptr;
    if (gridWindow && savedGridProc_) {
        SetWindowLongPtrA(gridWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedGridProc_));
        savedGridProc_ = nullptr;
        RemovePropA(gridWindow, kWindowProp);
    }
    if (gridWindow && restBuilt_) win::AcceptDroppedFiles(gridWindow, FALSE);
}

LRESULT CALLBACK TfrmVistorel::LBWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TfrmVistorel*>(GetPropA(hwnd, kWindowProp));
    if (!self || !self->savedGridProc_) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_DROPFILES)
        win::Guarded(self->hwnd(), [&] { self->WMDROPFILES(reinterpret_cast<HDROP>(wp)); });
    return CallWindowProcA(self->savedGridProc_, hwnd, msg, wp, lp);
}

void TfrmVistorel::WMDROPFILES(HDROP drop) {
    struct Finish {
        HDROP h;
        ~Finish() { win::FinishDrop(h); }
    } finish{drop};
    const UINT count = win::DroppedFile(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    for (UINT i = 0; i < count; ++i) {
        const UINT len = win::DroppedFile(drop, i, nullptr, 0);
        std::vector<char> buf(len + 1, '\0');
        win::DroppedFile(drop, i, buf.data(), len + 1);
        paths.emplace_back(buf.data());
    }
    if (!data_->tblTimer.active()) return;
    AddDroppedFileJobs(data_->tblTimer, paths, IsExistingFile);
}

// A row dragged over the grid or the bottom panel names its source's type in
// the caption; nothing handles the drop.
void TfrmVistorel::dxDBGrid1DragOver(HWND target, const std::string& sourceType) {
    HWND panel = Panel1_ ? Panel1_->hwnd() : nullptr;
    HWND gridWindow = dxDBGrid1_->hwnd();
    if (target == gridWindow || IsChild(gridWindow, target) || target == panel ||
        (panel && IsChild(panel, target)))
        SetWindowTextA(hwnd(), sourceType.c_str());
}

// --- Help -----------------------------------------------------------------------

void TfrmVistorel::btnHelpClick() {
    if (help_) help_->ShowContext(1);
}

// F1 on a control: the help page of its context, when it has one.
void TfrmVistorel::OnHelp(const HELPINFO& info) {
    DWORD context = help::HelpBinding::ContextOf(static_cast<HWND>(info.hItemHandle));
    if (help_ && context) help_->HelpCommand(HELP_CONTEXT, context);
}

}  // namespace qv::ui
