#include "ui/log/FrmLog.h"

#include "schema/JobSchema.h"
#include "ui/data/CursorNavigator.h"
#include "win/Desktop.h"
#include "win/Window.h"

namespace qv::ui {

namespace {

constexpr int kNavigatorHeight = 25;
constexpr int kPanelHeight = 36;

// ID hidden, then Pfad, Fehler and Zeit; widths designed at 96 dpi.
std::vector<grid::Column> LogColumns(int dpi) {
    auto make = [dpi](const char* field, int width) {
        grid::Column c;
        c.name = std::string("frmLog") + field;
        c.field = field;
        c.width = win::Scale(width, dpi);
        return c;
    };
    namespace f = schema::runlog;
    std::vector<grid::Column> cols = {make(f::kID, 49), make(f::kPfad, 189), make(f::kFehler, 226),
                                      make(f::kZeit, 113)};
    cols[0].visible = false;
    cols[3].widestText = "28.08.2028 20:58:58";  // never cut, at any resolution
    return cols;
}

}  // namespace

TfrmLog::TfrmLog(HWND owner, engine::Cursor& tblLog, win::MessageBoxFn messageBox, int dpi)
    : tblLog_(tblLog), messageBox_(std::move(messageBox)), dpi_(dpi), grid_(win::Dpi(dpi)) {
    using win::Scale;
    CreateWin(kClassName, 0, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, "LogDB", Scale(271, dpi),
              Scale(203, dpi), Scale(556, dpi), Scale(480, dpi), owner, nullptr);
    font_.reset(win::CreateUiFont(dpi));
    grid_.Create(hwnd(), kGridId, 0, 0, 100, 100);
    grid_.SetColumns(LogColumns(dpi));
    grid_.SetPreviewField(schema::runlog::kPfad);
    grid_.SetReadOnly(true);
    grid_.ConfirmDelete = [this] { return ConfirmDeleteRow(messageBox_, hwnd()); };
    DBNavigator1_.Create(hwnd(), kNavigatorId,
                         NavigatorButtons({win::NavButton::First, win::NavButton::Prior,
                                           win::NavButton::Next, win::NavButton::Last,
                                           win::NavButton::Delete, win::NavButton::Refresh}));
    DBNavigator1_.AddHints(20000);
    BindNavigator(DBNavigator1_, tblLog_, messageBox_, hwnd());
    HINSTANCE inst = GetModuleHandleA(nullptr);
    panel_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd(), nullptr,
                             inst, nullptr);
    Button1_ = CreateWindowExA(0, "BUTTON", "Alle l\xf6schen",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                               hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButton1Id)),
                               inst, nullptr);
    win::SetFontOnChildren(hwnd(), font_.get());
    grid_.SetFont(font_.get());
    source_ = std::make_unique<CursorGridSource>(tblLog_);
    grid_.SetDataSource(source_.get());
    Layout();
    // Its design place at a high resolution reaches under the taskbar.
    win::FitIntoWorkArea(hwnd());
    win::ShowKeyboardCues(hwnd());
    SetTimer(hwnd(), kTimer1Id, 1000, nullptr);
}

TfrmLog::~TfrmLog() { grid_.SetDataSource(nullptr); }

void TfrmLog::Layout() {
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    const int nav = win::Scale(kNavigatorHeight, dpi_);
    const int panel = win::Scale(kPanelHeight, dpi_);
    const int gridHeight = rc.bottom - nav - panel;
    MoveWindow(grid_.hwnd(), 0, 0, rc.right, gridHeight > 0 ? gridHeight : 0, TRUE);
    DBNavigator1_.SetBounds(0, rc.bottom - nav - panel, rc.right, nav);
    MoveWindow(panel_, 0, rc.bottom - panel, rc.right, panel, TRUE);
    MoveWindow(Button1_, win::Scale(8, dpi_), rc.bottom - panel + win::Scale(4, dpi_),
               win::Scale(75, dpi_), win::Scale(25, dpi_), TRUE);
}

void TfrmLog::ShowAndRaise() {
    ShowWindow(hwnd(), IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd());
    BringWindowToTop(hwnd());
}

void TfrmLog::Timer1Timer() {
    if (!tblLog_.active()) return;
    try {
        tblLog_.Refresh();
    } catch (const engine::EngineError& e) {
        // Another program holds the run log: the next second tries again
        // (a box every second would pile up while it lasts).
        if (e.code() != engine::ErrorCode::Busy) throw;
    }
}

void TfrmLog::Button1Click() {
    win::MessageBoxRequest r;
    r.text = "Wirklich alle Eint\xe4ge l\xf6schen?";
    r.caption = win::AppTitle();
    r.type = MB_YESNO | MB_ICONQUESTION;
    if (messageBox_(hwnd(), r) == IDYES) tblLog_.EmptyTable();
}

LRESULT TfrmLog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_TIMER:
            if (wp == kTimer1Id) Timer1Timer();
            return 0;
        case WM_COMMAND:
            if (LOWORD(wp) == kButton1Id && HIWORD(wp) == BN_CLICKED) Button1Click();
            return 0;
        case WM_CLOSE:
            ShowWindow(hwnd(), SW_HIDE);
            return 0;
        case WM_ACTIVATE:
        case WM_SETFOCUS:
            if (focus_.Handle(hwnd(), msg, wp)) return 0;
            return Default(msg, wp, lp);
        default:
            return Default(msg, wp, lp);
    }
}

}  // namespace qv::ui
