#include "ui/main/FrmVistorel.h"

#include <algorithm>
#include <stdexcept>

#include "rules/NextStart.h"
#include "ui/data/CursorNavigator.h"
#include "ui/main/ColumnWidths.h"
#include "ui/main/FrmVistorelPorts.h"
#include "ui/main/Images.h"
#include "ui/main/VistorelIds.h"
#include "ui/settings/GridLayout.h"
#include "win/CommonControls.h"
#include "win/Desktop.h"
#include "win/Focus.h"
#include "win/Shell.h"

namespace qv::ui {

namespace {

constexpr int kNavigatorHeight = 25;
constexpr int kPanelHeight = 52;

}  // namespace

// --- Building -------------------------------------------------------------------

TfrmVistorel::TfrmVistorel(VistorelEnv env)
    : env_(std::move(env)),
      profile_(SettingsFilePath(env_.exeDir)),
      settings_(profile_),
      tray_(env_.trayShell.notify ? env_.trayShell : win::SystemTrayShell()) {
    win::SetAppIdentity({ids::kAppTitle, ids::kUnknownError, ids::kAppIcon});
    if (!env_.messageBox) env_.messageBox = win::SystemMessageBox;
    if (!env_.clock) throw std::logic_error("TfrmVistorel needs a clock");
    JobDataHooks hooks;
    hooks.showMessage = [this](const std::string& text) { ShowPlain(text); };
    hooks.hideOperationList = [this] {
        if (editors_) editors_->HideOperationList();
    };
    hooks.copyFile = [](const std::string& from, const std::string& to) {
        return CopyFileA(from.c_str(), to.c_str(), TRUE) != FALSE;  // never over an earlier backup
    };
    data_ = std::make_unique<JobData>(*env_.clock, env_.exeDir, std::move(hooks));
    if (!env_.exitWindows) env_.exitWindows = actions::SystemExitWindows;
    ports_ = std::make_unique<SchedulerPorts>(*this);
    scheduler_ = std::make_unique<Scheduler>(*data_, *env_.clock, *ports_, *ports_, std::string());

    // Made at the size start-up gives it (step 3), so that nothing is laid
    // out twice on the way to the first paint.
    const int64_t dpi = env_.dpi;
    CreateWin(ids::kMainClass, WS_EX_CONTROLPARENT, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
              ids::kMainCaption, CW_USEDEFAULT, CW_USEDEFAULT, static_cast<int>(731 * dpi / 96),
              static_cast<int>(479 * dpi / 96), nullptr, nullptr);
    if (!hwnd()) throw std::runtime_error("Das Hauptfenster kann nicht erzeugt werden");
    SetWindowContextHelpId(hwnd(), 1);

    // The window class carries the program's icon resource, and the system
    // takes the small size from the same resource: setting the icons again
    // per window cost Wine two more icon conversions on the way to the first
    // paint. An executable without the resource (test programs) shows the
    // drawn symbol.
    if (!GetClassLongPtrA(hwnd(), GCLP_HICON)) {
        for (WPARAM kind : {ICON_BIG, ICON_SMALL})
            SendMessageA(hwnd(), WM_SETICON, kind, reinterpret_cast<LPARAM>(ProgramIcons()[0].get()));
    }

    PopupMenu1_.reset(CreatePopupMenu());
    AppendMenuA(PopupMenu1_.get(), MF_STRING, ids::Beenden1, "Beenden");
    AppendMenuA(PopupMenu1_.get(), MF_STRING, ids::Wiederherstellen1, "Wiederherstellen");

    CreateControls();
    // Made at its design size where the system put it, which at a high
    // resolution may reach past the screen.
    win::FitIntoWorkArea(hwnd());
    win::ShowKeyboardCues(hwnd());
    // The timer starts once start-up has opened the tables (FormCreate).
}

const win::Icon* TfrmVistorel::ProgramIcons() {
    if (!ImageList1_) {
        ImageList1_.reset(CreateProgramImageList());
        for (int i = 0; i < kImageCount; ++i)
            icons_[i].reset(ImageList1_ ? win::ImageIcon(ImageList1_.get(), i, ILD_NORMAL) : nullptr);
    }
    return icons_;
}

// What the first paint does not show, made right after it: a hint, a popup,
// a drop or a click in the tray cannot come before the window is there.
void TfrmVistorel::BuildRest() {
    if (restBuilt_ || !hwnd()) return;
    restBuilt_ = true;
    CreateEditors();
    CreateHints();
    DBNavigator1_.AddHints(20000);
    CreateTray();
    if (savedGridProc_) win::AcceptDroppedFiles(dxDBGrid1_->hwnd(), TRUE);
    win::ShowKeyboardCues(hwnd());  // the editors made now show them too
}

void TfrmVistorel::CreateEditors() {
    JobEditors::Deps deps;
    deps.clock = env_.clock;
    deps.nextStart = [this](DateTime base) { return CalcNextStart(data_->tblTimer, base); };
    deps.showMessage = [this](HWND, const std::string& text) { ShowPlain(text); };
    deps.startFolder = env_.exeDir;
    editors_ = std::make_unique<JobEditors>(hwnd(), dxDBGrid1_->grid(), *dxDBGrid1_->source(), std::move(deps));
    editors_->Bind();
}

TfrmVistorel::~TfrmVistorel() {
    if (hwnd()) KillTimer(hwnd(), kTimerId);
    frmLog_.reset();
    editors_.reset();
    dxDBGrid1_->Bind(nullptr);
}

void TfrmVistorel::CreateControls() {
    font_.reset(win::CreateUiFont(env_.dpi));

    // Every child is made in its place: nothing is laid out twice.
    const Places at = PlacesNow();
    dxDBGrid1_ = std::make_unique<JobGridView>(win::Dpi(env_.dpi));
    dxDBGrid1_->Create(hwnd(), ids::kGrid, at.grid);
    SetWindowContextHelpId(dxDBGrid1_->hwnd(), 1);
    dxDBGrid1_->Bind(&data_->tblTimer);
    grid::Grid& g = dxDBGrid1_->grid();
    g.SetFont(font_.get());
    // The stored layout holds 96-dpi widths; start-up scales them to the screen.
    // Widths beyond four screens are damage, not a choice: they are ignored.
    g.ApplyLayout(LoadGridLayout(SettingsFilePath(env_.exeDir), "Gitter", g.SaveLayout(),
                                 4 * GetSystemMetrics(SM_CXSCREEN)));
    g.ConfirmDelete = [this] { return ConfirmDeleteRow(env_.messageBox, hwnd()); };
    g.DragOver = [this](HWND target, const std::string& type, POINT, bool&) {
        dxDBGrid1DragOver(target, type);
    };

    DBNavigator1_.Create(
        hwnd(), ids::kNavigator,
        NavigatorButtons({win::NavButton::First, win::NavButton::Prior, win::NavButton::Next,
                          win::NavButton::Last, win::NavButton::Insert, win::NavButton::Delete,
                          win::NavButton::Edit, win::NavButton::Post, win::NavButton::Cancel,
                          win::NavButton::Refresh}),
        at.navigator);
    DBNavigator1_.Click = [this](win::NavButton button) { DBNavigator1Click(button); };

    CreatePanel(at.panel);
    GetClientRect(hwnd(), &laidOut_);
}

TfrmVistorel::Places TfrmVistorel::PlacesNow() const {
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    const int nav = win::Scale(kNavigatorHeight, env_.dpi);
    const int panel = win::Scale(kPanelHeight, env_.dpi);
    const int gridHeight = std::max(0, static_cast<int>(rc.bottom) - nav - panel);
    return Places{RECT{0, 0, rc.right, gridHeight}, RECT{0, gridHeight, rc.right, gridHeight + nav},
                  RECT{0, gridHeight + nav, rc.right, gridHeight + nav + panel}};
}

void TfrmVistorel::Layout() {
    if (!Panel1_) return;
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    // Showing the window reports the size it was made at.
    if (win::SameRect(rc, laidOut_)) return;
    laidOut_ = rc;
    const Places at = PlacesNow();
    dxDBGrid1_->SetBounds(at.grid.left, at.grid.top, at.grid.right - at.grid.left, at.grid.bottom - at.grid.top);
    DBNavigator1_.SetBounds(at.navigator.left, at.navigator.top, at.navigator.right - at.navigator.left,
                            at.navigator.bottom - at.navigator.top);
    MoveWindow(Panel1_->hwnd(), at.panel.left, at.panel.top, at.panel.right - at.panel.left,
               at.panel.bottom - at.panel.top, TRUE);
    LayoutPanel();
}

// The columns whose widths follow the screen's resolution.
const char* const TfrmVistorel::kScaledColumns[5] = {schema::job::kAktiv, schema::job::kIntervall,
                                                     schema::job::kUhrzeit, schema::job::kPfad,
                                                     schema::job::kParamter};

// The window was made at its scaled size already; the columns follow here, as
// their stored widths are known now.
void TfrmVistorel::ScaleToScreen() {
    const int p = env_.dpi;
    for (const char* field : kScaledColumns) {
        const int width = dxDBGrid1_->ColumnWidth(field);
        const int scaled = width >= 0 ? ColumnWidthForScreen(width, p) : width;
        if (scaled != width) dxDBGrid1_->SetColumnWidth(field, scaled);
    }
    columnsScaled_ = true;
}

int TfrmVistorel::ShowMessage(const win::MessageBoxRequest& request) {
    return env_.messageBox(hwnd(), request);
}

void TfrmVistorel::ShowPlain(const std::string& text) {
    win::MessageBoxRequest r;
    r.text = text;
    r.caption = win::AppTitle();
    r.type = MB_OK;
    ShowMessage(r);
}

void TfrmVistorel::FormCreate() {
    try {
        data_->CreateMissingTables();  // 1, 2
        ScaleToScreen();               // 3
        static const help::HtmlHelpViewer noViewer("");
        help_ = std::make_unique<help::HelpBinding>(
            env_.helpViewer ? *env_.helpViewer : noViewer, env_.exeDir + "Quarvelin.chm",
            env_.messageBox);  // 4
        // 5: the grid's cell hints show 20 s; the other hints are made after
        // the first paint, showing as long.
        dxDBGrid1_->grid().SetHintTime(20000);
        AcceptDroppedFiles();  // 6 (the shell is told after the first paint)
        // 7: an entry naming another path (the program was moved) is written
        // again with the current one.
        const std::string entry = env_.readAutostart ? env_.readAutostart() : std::string();
        if (!entry.empty()) {
            ShowAutostart(true);
            if (entry != env_.exePath) chkAutostartClick();
        }
        // 8: a file of garbage makes way for a fresh one, and the user hears
        // where it went; a refused write-back is shown once; the values read
        // still count, and start-up goes on so that the scheduler runs.
        const std::string setAside = SetAsideSettingsThatAreNoText(SettingsFilePath(env_.exeDir));
        if (!setAside.empty()) ShowPlain(setAside);
        const std::string refused = settings_.ReadIntoControls(*this);
        if (!refused.empty()) win::ShowGeneralError(hwnd(), refused);
        startMinimized_ = Checked(ids::chkminimized);  // 9
        // 10: shown now; the timer starts after the tables are open, so no
        // tick comes while a box of start-up waits.
        if (!Checked(ids::chkAktiviert)) btnAktivClick();
        char name[200] = {};  // 12
        DWORD size = sizeof name;
        if (GetComputerNameA(name, &size)) computerName_ = name;
        scheduler_->SetComputerName(computerName_);
        data_->OpenTables();  // 13 - 16
    } catch (const engine::EngineError& e) {
        win::ShowGeneralError(hwnd(), e.what());
        // Another copy of the program holds the tables: this copy could log
        // nothing and would run every job twice, so it ends.
        if (e.code() == engine::ErrorCode::InUse || e.code() == engine::ErrorCode::TableLocked) {
            endSession_ = true;
            DestroyWindow(hwnd());
            return;
        }
    } catch (const std::exception& e) {
        win::ShowGeneralError(hwnd(), e.what());
    }
    // A table that did not open leaves its cursors closed: the ticks then do nothing.
    if (hwnd() && scheduler_->IsOn()) SetTimerEnabled(true);
}

void TfrmVistorel::PostSchedulerBox(bool error, const std::string& text) {
    for (const auto& waiting : schedulerBoxes_)
        if (waiting.first == error && waiting.second == text) return;
    schedulerBoxes_.emplace_back(error, text);
    if (hwnd()) PostMessageA(hwnd(), kMsgSchedulerBoxes, 0, 0);
}

// One box at a time; while it is open, its message loop runs the ticks, and
// what they add comes after it.
void TfrmVistorel::ShowSchedulerBoxes() {
    if (showingSchedulerBoxes_) return;
    struct Showing {
        bool& flag;
        explicit Showing(bool& f) : flag(f) { flag = true; }
        ~Showing() { flag = false; }
    } showing(showingSchedulerBoxes_);
    while (!schedulerBoxes_.empty()) {
        const std::pair<bool, std::string> box = schedulerBoxes_.front();
        schedulerBoxes_.pop_front();
        if (box.first)
            win::ShowGeneralError(hwnd(), box.second);
        else
            ShowPlain(box.second);
    }
}

void TfrmVistorel::ShowAtStart(int showCommand) {
    if (!hwnd()) return;
    const bool minimized = startMinimized_ || showCommand == SW_SHOWMINNOACTIVE ||
                           showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE;
    if (minimized) {
        BuildRest();
        if (tray_.visible()) {
            tray_.MinimizeToTray(hwnd());
        } else {
            ShowWindow(hwnd(), SW_SHOWMINNOACTIVE);
        }
        return;
    }
    ShowWindow(hwnd(), showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    UpdateWindow(hwnd());
    // A moment later, so that the window takes input as soon as it shows.
    SetTimer(hwnd(), kRestTimerId, kRestDelay, nullptr);
}

bool TfrmVistorel::PreTranslate(MSG* msg) {
    // Input comes before the timer's message: what it may reach is made first.
    if (!restBuilt_ && ((msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                        (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)))
        BuildRest();
    if (dxDBGrid1_ && dxDBGrid1_->grid().PreTranslate(msg)) return true;
    if (hwnd() && IsDialogMessageA(hwnd(), msg)) return true;
    if (frmLog_ && frmLog_->hwnd() && IsDialogMessageA(frmLog_->hwnd(), msg)) return true;
    return false;
}

// What the grid's editor holds reaches the row before a button acts on it: a
// text the row refuses is said at once and the button does nothing; the
// cancel button drops it with the rest of the edit.
void TfrmVistorel::DBNavigator1Click(win::NavButton button) {
    grid::Grid& g = dxDBGrid1_->grid();
    if (button == win::NavButton::Cancel)
        g.CancelCellEdit();
    else if (!g.CommitEdit())
        return;
    NavigatorAction(data_->tblTimer, button, env_.messageBox, hwnd());
}

// --- Closing --------------------------------------------------------------------

bool TfrmVistorel::FormCloseQuery() {
    if (endSession_) return true;
    win::MessageBoxRequest r;
    r.text = "Wirklich beenden ?\n\rWenn Sie beenden werden keine Programme mehr gestartet.";
    r.caption = "Beenden";
    r.type = MB_OKCANCEL;
    return ShowMessage(r) == IDOK;
}

LRESULT TfrmVistorel::shutdown() {
    endSession_ = true;
    return FormCloseQuery() ? TRUE : FALSE;
}

void TfrmVistorel::FormClose() {
    tray_.Hide();  // an icon that is gone already is no error
    if (help_) help_.reset();  // closes every help window
    if (env_.helpViewer && env_.helpViewer->loaded())
        env_.helpViewer->Call(nullptr, nullptr, help::kHhCloseAll, 0);
}

void TfrmVistorel::FormDestroy() {
    StopDroppedFiles();
    SaveLayout();
}

void TfrmVistorel::SaveLayout() {
    if (!dxDBGrid1_ || !dxDBGrid1_->hwnd()) return;
    // Back to the 96-dpi widths that start-up scaled, so restarts at the same
    // resolution restore the same widths instead of growing them. A start-up
    // that failed before scaling left them as stored: they go back unchanged.
    if (columnsScaled_) {
        for (const char* field : kScaledColumns) {
            const int width = dxDBGrid1_->ColumnWidth(field);
            if (width >= 0) dxDBGrid1_->SetColumnWidth(field, ColumnWidthForStorage(width, env_.dpi));
        }
        columnsScaled_ = false;
    }
    // Settings written through the profile functions may still sit in their
    // cache (Windows 95/98): on disk first, so the layout save keeps them.
    profile_.Flush();
    SaveGridLayout(SettingsFilePath(env_.exeDir), "Gitter", dxDBGrid1_->grid().SaveLayout());
}

// --- Messages ---------------------------------------------------------------------------

LRESULT TfrmVistorel::KeepFocus(UINT msg, WPARAM wp, LPARAM lp) {
    if (focus_.Handle(hwnd(), msg, wp)) return 0;
    return Default(msg, wp, lp);
}

void TfrmVistorel::OnCommand(int id, int code) {
    switch (id) {
        case ids::btnStarten: if (code == BN_CLICKED) btnStartenClick(); break;
        case ids::Button1: if (code == BN_CLICKED) Button1Click(); break;
        case ids::Button2: if (code == BN_CLICKED) Button2Click(); break;
        case ids::btnHelp: if (code == BN_CLICKED) btnHelpClick(); break;
        case ids::btnAktiv: if (code == BN_CLICKED) btnAktivClick(); break;
        case ids::Image1: if (code == STN_CLICKED) Image1Click(); break;
        case ids::chkAutostart: if (code == BN_CLICKED) chkAutostartClick(); break;
        case ids::chkminimized:
            if (code == BN_CLICKED) settings_.chkminimizedClick(Checked(id));
            break;
        case ids::chkAktiviert:
            if (code == BN_CLICKED) settings_.chkAktiviertClick(Checked(id));
            break;
        case ids::chkMail:
            if (code == BN_CLICKED) settings_.chkMailClick(Checked(id));
            break;
        case ids::edMail:
            if (code == EN_CHANGE && !settingFromCode_) settings_.edMailChange(MailAddress());
            break;
        case ids::Beenden1: Beenden1Click(); break;
        case ids::Wiederherstellen1: Wiederherstellen1Click(); break;
        default: break;
    }
}

LRESULT TfrmVistorel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (env_.isShowRequest && env_.isShowRequest(msg, wp, lp)) {
        Wiederherstellen1Click();
        return 0;
    }
    switch (msg) {
        case kMsgSchedulerBoxes:
            ShowSchedulerBoxes();
            return 0;
        case WM_SIZE:
            if (wp == SIZE_MINIMIZED) {
                BuildRest();  // the tray icon to go to
                tray_.MinimizeToTray(hwnd());
            } else {
                Layout();
            }
            return 0;
        case WM_COMMAND:
            if (editors_ && editors_->HandleCommand(wp, lp)) return 0;
            OnCommand(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (item->CtlID == static_cast<UINT>(ids::btnAktiv)) DrawAktiv(*item);
            if (item->CtlID == static_cast<UINT>(ids::Image1)) DrawImage1(*item);
            return TRUE;
        }
        case WM_TIMER:
            if (wp == kTimerId) TimerTimer();
            if (wp == kRestTimerId) {
                KillTimer(hwnd(), kRestTimerId);
                BuildRest();
            }
            return 0;
        case WM_TIMECHANGE:
            if (scheduler_) scheduler_->ClockSet();
            return 0;
        case WM_POWERBROADCAST:
            if (scheduler_) {
                if (wp == PBT_APMSUSPEND) scheduler_->Suspending();
                if (wp == PBT_APMRESUMESUSPEND || wp == PBT_APMRESUMECRITICAL || wp == PBT_APMRESUMEAUTOMATIC)
                    scheduler_->Resumed();
            }
            return TRUE;
        case WM_HELP:
            OnHelp(*reinterpret_cast<const HELPINFO*>(lp));
            return TRUE;
        case WM_ACTIVATE:
        case WM_SETFOCUS:
            return KeepFocus(msg, wp, lp);
        case WM_CLOSE:
            if (FormCloseQuery()) {
                FormClose();
                DestroyWindow(hwnd());
            }
            return 0;
        case WM_QUERYENDSESSION:
            return shutdown();
        case WM_ENDSESSION:
            if (wp) DestroyWindow(hwnd());
            return 0;
        case WM_DESTROY:
            FormDestroy();
            PostQuitMessage(0);
            return 0;
        default:
            return Default(msg, wp, lp);
    }
}

}  // namespace qv::ui
