#include "ui/main/FrmVistorel.h"

#include <commctrl.h>
#include <shellapi.h>

#include <stdexcept>
#include <vector>

#include "actions/Countdown.h"
#include "actions/RunJob.h"
#include "actions/StartSelectedJob.h"
#include "ui/main/ColumnWidths.h"
#include "ui/main/DropJobs.h"
#include "ui/settings/GridLayout.h"
#include "ui/main/Images.h"
#include "schedule/NextStart.h"
#include "ui/main/VistorelIds.h"

namespace qv::ui {

namespace {

constexpr int kNavigatorHeight = 25;
constexpr int kPanelHeight = 52;
constexpr const char* kWindowProp = "QvVistorel";

struct ControlSpec {
    int id;
    const char* cls;
    const char* text;
    DWORD style;
    int x, y, w, h;  // within Panel1, at 96 dpi
};

// In focus order: the first nine take the keyboard focus, the last three none.
const ControlSpec kPanelControls[] = {
    {ids::btnStarten, "BUTTON", "&Starten", WS_TABSTOP | BS_PUSHBUTTON, 8, 3, 97, 20},
    {ids::Button1, "BUTTON", "Startzeit &berechnen", WS_TABSTOP | BS_PUSHBUTTON, 8, 27, 97, 20},
    {ids::Button2, "BUTTON", "&LogDB ansehen", WS_TABSTOP | BS_PUSHBUTTON, 120, 3, 97, 20},
    {ids::chkminimized, "BUTTON", "&minimiert starten", WS_TABSTOP | BS_AUTOCHECKBOX, 258, 2, 97, 17},
    {ids::chkAktiviert, "BUTTON", "A&ktiviert starten", WS_TABSTOP | BS_AUTOCHECKBOX, 258, 18, 97, 17},
    {ids::chkAutostart, "BUTTON", "A&utostart", WS_TABSTOP | BS_AUTOCHECKBOX, 258, 34, 97, 17},
    {ids::edMail, "EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 432, 27, 121, 21},
    {ids::chkMail, "BUTTON", "Mail nur beim &ersten Fehler", WS_TABSTOP | BS_AUTOCHECKBOX, 392, 2, 153, 17},
    {ids::btnHelp, "BUTTON", "Hilfe", WS_TABSTOP | BS_PUSHBUTTON, 120, 27, 97, 20},
    {ids::Label1, "STATIC", "E-Mail :", SS_LEFT, 392, 33, 38, 13},
    {ids::Image1, "STATIC", "", SS_OWNERDRAW | SS_NOTIFY, 568, 10, 32, 32},
    {ids::btnAktiv, "BUTTON", "&Aktiv", BS_OWNERDRAW, 624, 2, 75, 47},
};

bool IsExistingFile(const std::string& path) {
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The bottom panel: a raised strip whose controls report to the main window.
class TfrmVistorel::Panel : public win::Window {
public:
    HWND Create(HWND parent) {
        return CreateWin("QvPanel", WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                         "", 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kPanel1)));
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_COMMAND:
            case WM_DRAWITEM:
            case WM_NOTIFY:
                return SendMessageA(GetParent(hwnd()), msg, wp, lp);
            case WM_PAINT: {
                win::PaintDC dc(hwnd());
                RECT rc{};
                GetClientRect(hwnd(), &rc);
                DrawEdge(dc.get(), &rc, BDR_RAISEDINNER, BF_RECT);
                return 0;
            }
            default:
                return Default(msg, wp, lp);
        }
    }
};

// The window's side of the scheduler: its timer, "&Aktiv" button, tray icon,
// error picture and mail controls, and the real actions.
class TfrmVistorel::SchedulerPorts : public SchedulerUi, public SchedulerActions {
public:
    explicit SchedulerPorts(TfrmVistorel& w) : w_(w) {}

    bool TimerEnabled() const override { return w_.timerOn_; }
    void SetTimerEnabled(bool enabled) override { w_.SetTimerEnabled(enabled); }
    std::string AktivCaption() const override { return w_.AktivCaption(); }
    void SetAktivCaption(const std::string& caption) override {
        w_.SetAktiv(caption, w_.aktivDown_, w_.aktivFlat_);
    }
    bool AktivFlat() const override { return w_.aktivFlat_; }
    void SetAktivFlat(bool flat) override { w_.SetAktiv(w_.AktivCaption(), w_.aktivDown_, flat); }
    void SetAktivDown(bool down) override { w_.SetAktiv(w_.AktivCaption(), down, w_.aktivFlat_); }
    void SetTrayIcon(int index) override { w_.tray_.SetIconIndex(index); }
    bool ErrorIndicator() const override { return w_.errorIndicator_; }
    void LightErrorIndicator() override { w_.LightErrorIndicator(); }
    std::string MailAddress() const override {
        char buf[2048] = {};
        GetWindowTextA(w_.Item(ids::edMail), buf, sizeof buf);
        return buf;
    }
    bool MailFirstErrorOnly() const override { return w_.Checked(ids::chkMail); }
    void ProcessMessages() override {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (w_.PreTranslate(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    void Pause(int ms) override { Sleep(static_cast<DWORD>(ms)); }
    void ShowError(const std::string& text) override {
        win::Guarded(w_.hwnd(), [&] { win::ShowGeneralError(w_.hwnd(), text); });
    }

    std::string RunJobAction(engine::Cursor& job) override {
        return actions::RunJobAction(w_.hwnd(), job.FieldByName("Pfad").AsString(),
                                     job.FieldByName("Paramter").AsString(),
                                     job.FieldByName("WindowState").AsString());
    }
    bool ConfirmShutdownCountdown() override {
        actions::CountdownOptions o;
        o.disableWhileShown = w_.hwnd();
        return actions::ConfirmShutdownCountdown(o);
    }
    std::string ShutdownSystem(bool Reboot, bool Force, bool PowerOff) override {
        return actions::ShutdownSystem(Reboot, Force, PowerOff, w_.env_.exitWindows);
    }
    std::string SendErrorMail(const std::string& Subject, const std::string& Body,
                              const std::string& SenderName, const std::string& SenderAddress,
                              const std::string& RecipientName, const std::string& RecipientAddress,
                              const std::string& AttachmentPath,
                              const std::string& AttachmentName) override {
        return actions::SendErrorMail(w_.mapi_, w_.hwnd(), Subject, Body, SenderName, SenderAddress,
                                      RecipientName, RecipientAddress, AttachmentPath,
                                      AttachmentName);
    }

private:
    TfrmVistorel& w_;
};

TfrmVistorel::TfrmVistorel(VistorelEnv env)
    : env_(std::move(env)),
      profile_(SettingsFilePath(env_.exeDir)),
      settings_(profile_) {
    if (!env_.messageBox) env_.messageBox = win::SystemMessageBox;
    if (!env_.clock) throw std::logic_error("TfrmVistorel needs a clock");
    JobDataHooks hooks;
    hooks.showMessage = [this](const std::string& text) { ShowPlain(text); };
    hooks.hideOperationList = [this] {
        if (editors_) editors_->HideOperationList();
    };
    hooks.copyFile = [](const std::string& from, const std::string& to) {
        return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
    };
    data_ = std::make_unique<JobData>(*env_.clock, env_.exeDir, std::move(hooks));
    if (!env_.exitWindows) env_.exitWindows = actions::SystemExitWindows;
    ports_ = std::make_unique<SchedulerPorts>(*this);
    scheduler_ = std::make_unique<Scheduler>(*data_, *env_.clock, *ports_, *ports_, std::string());

    CreateWin(ids::kMainClass, WS_EX_CONTROLPARENT, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
              ids::kMainCaption, CW_USEDEFAULT, CW_USEDEFAULT, 731, 479, nullptr, nullptr);
    if (!hwnd()) throw std::runtime_error("Das Hauptfenster kann nicht erzeugt werden");
    SetWindowContextHelpId(hwnd(), 1);

    ImageList1_.reset(CreateProgramImageList());
    for (int i = 0; i < kImageCount; ++i)
        icons_[i].reset(ImageList1_ ? ImageList_GetIcon(ImageList1_.get(), i, ILD_NORMAL) : nullptr);
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons_[0].get()));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons_[0].get()));

    PopupMenu1_.reset(CreatePopupMenu());
    AppendMenuA(PopupMenu1_.get(), MF_STRING, ids::Beenden1, "Beenden");
    AppendMenuA(PopupMenu1_.get(), MF_STRING, ids::Wiederherstellen1, "Wiederherstellen");

    CreateControls();

    tray_.SetIcons({icons_[0].get(), icons_[1].get(), icons_[2].get()});
    tray_.SetTip("Vistorel");
    tray_.DoubleClick = [this] { Wiederherstellen1Click(); };
    tray_.RightClick = [this] {
        UINT cmd = win::TrayIcon::TrackMenu(hwnd(), PopupMenu1_.get());
        if (cmd) OnCommand(static_cast<int>(cmd), 0);
    };
    tray_.Minimized = [this] { TrayMinimizeApp(); };
    // Without a notification area the program runs on with its taskbar button.
    tray_.Show();

    SetTimerEnabled(true);
}

TfrmVistorel::~TfrmVistorel() {
    if (hwnd()) KillTimer(hwnd(), kTimerId);
    frmLog_.reset();
    editors_.reset();
    dxDBGrid1_->Bind(nullptr);
}

void TfrmVistorel::CreateControls() {
    font_.reset(win::CreateUiFont(env_.dpi));
    HINSTANCE inst = GetModuleHandleA(nullptr);

    dxDBGrid1_ = std::make_unique<JobGridView>();
    dxDBGrid1_->Create(hwnd(), ids::kGrid);
    SetWindowContextHelpId(dxDBGrid1_->hwnd(), 1);
    dxDBGrid1_->Bind(&data_->tblTimer);
    grid::Grid& g = dxDBGrid1_->grid();
    g.SetFont(font_.get());
    // The stored layout holds 96-dpi widths; start-up scales them to the screen.
    g.ApplyLayout(LoadGridLayout(SettingsFilePath(env_.exeDir), "Gitter", g.SaveLayout()));
    g.ConfirmDelete = [this] { return ConfirmDeleteRow(); };
    g.DragOver = [this](HWND target, const std::string& type, POINT, bool&) {
        dxDBGrid1DragOver(target, type);
    };
    JobEditors::Deps deps;
    deps.clock = env_.clock;
    deps.nextStart = [this](DateTime base) { return CalcNextStart(data_->tblTimer, base); };
    deps.showMessage = [this](HWND, const std::string& text) { ShowPlain(text); };
    editors_ = std::make_unique<JobEditors>(hwnd(), g, *dxDBGrid1_->source(), std::move(deps));
    editors_->Bind();

    DBNavigator1_.Create(hwnd(), ids::kNavigator,
                         {{win::NavButton::First, "Erster Datensatz"},
                          {win::NavButton::Prior, "Vorheriger Datensatz"},
                          {win::NavButton::Next, "N\xe4" "chster Datensatz"},
                          {win::NavButton::Last, "Letzter Datensatz"},
                          {win::NavButton::Insert, "Datensatz einf\xfcgen"},
                          {win::NavButton::Delete, "Datensatz l\xf6schen"},
                          {win::NavButton::Edit, "Datensatz bearbeiten"},
                          {win::NavButton::Post, "\xdc" "bernehmen"},
                          {win::NavButton::Cancel, "Bearbeiten abbrechen"},
                          {win::NavButton::Refresh, "Daten aktualisieren"}});
    DBNavigator1_.Click = [this](win::NavButton b) { NavigatorClick(b); };

    Panel1_ = std::make_unique<Panel>();
    Panel1_->Create(hwnd());
    for (const auto& c : kPanelControls) {
        HWND w = CreateWindowExA(0, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, 0, 0, 0, 0,
                                 Panel1_->hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), inst, nullptr);
        if (c.id == ids::chkAktiviert) SetWindowContextHelpId(w, 1001);
    }

    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                               nullptr, inst, nullptr);
    static const struct {
        int id;
        const char* hint;
    } hints[] = {{ids::chkAutostart, "Autostart l\xf6schen erfordert Administrationsrechte unter NT"},
                 {ids::Image1, "klicken um die Fehleranzeige zu entfernen"}};
    for (const auto& h : hints) {
        TTTOOLINFOA ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = Panel1_->hwnd();
        ti.uId = reinterpret_cast<UINT_PTR>(Item(h.id));
        ti.lpszText = const_cast<char*>(h.hint);
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    win::SetFontOnChildren(hwnd(), font_.get());
    Layout();
}

HWND TfrmVistorel::Item(int id) const { return Panel1_ ? GetDlgItem(Panel1_->hwnd(), id) : nullptr; }

bool TfrmVistorel::Checked(int id) const {
    return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TfrmVistorel::SetChecked(int id, bool on) {
    if (Checked(id) == on) return;
    SendMessageA(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!settingFromCode_) OnCommand(id, BN_CLICKED);
}

void TfrmVistorel::Layout() {
    if (!Panel1_) return;
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    const int dpi = env_.dpi;
    const int nav = win::Scale(kNavigatorHeight, dpi);
    const int panel = win::Scale(kPanelHeight, dpi);
    int gridHeight = rc.bottom - nav - panel;
    if (gridHeight < 0) gridHeight = 0;
    dxDBGrid1_->SetBounds(0, 0, rc.right, gridHeight);
    DBNavigator1_.SetBounds(0, gridHeight, rc.right, nav);
    MoveWindow(Panel1_->hwnd(), 0, gridHeight + nav, rc.right, panel, TRUE);
    for (const auto& c : kPanelControls) {
        const bool fixed = c.id == ids::Image1;  // the picture keeps its 32 x 32
        MoveWindow(Item(c.id), win::Scale(c.x, dpi), win::Scale(c.y, dpi),
                   fixed ? c.w : win::Scale(c.w, dpi), fixed ? c.h : win::Scale(c.h, dpi), TRUE);
    }
}

// The columns whose widths follow the screen's resolution.
const char* const TfrmVistorel::kScaledColumns[5] = {"Aktiv", "Intervall", "Uhrzeit", "Pfad",
                                                     "Paramter"};

void TfrmVistorel::ScaleToScreen() {
    const int p = env_.dpi;
    RECT wr{};
    GetWindowRect(hwnd(), &wr);
    const int64_t w = static_cast<int64_t>(wr.right - wr.left) * p / 96;
    const int64_t h = static_cast<int64_t>(wr.bottom - wr.top) * p / 96;
    SetWindowPos(hwnd(), nullptr, 0, 0, static_cast<int>(w), static_cast<int>(h),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const char* field : kScaledColumns) {
        const int width = dxDBGrid1_->ColumnWidth(field);
        if (width >= 0) dxDBGrid1_->SetColumnWidth(field, ColumnWidthForScreen(width, p));
    }
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
        SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(20000, 0));  // 5
        DBNavigator1_.SetHintTime(20000);
        HWND gridWindow = dxDBGrid1_->hwnd();  // 6
        SetPropA(gridWindow, kWindowProp, reinterpret_cast<HANDLE>(this));
        savedGridProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            gridWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TfrmVistorel::LBWindowProc)));
        DragAcceptFiles(gridWindow, TRUE);
        // 7: ticking the box writes the entry again with the current path.
        const std::string entry = env_.readAutostart ? env_.readAutostart() : std::string();
        if (!entry.empty()) SetChecked(ids::chkAutostart, true);
        // 8: a refused write-back ends start-up here.
        const std::string refused = settings_.ReadIntoControls(*this);
        if (!refused.empty()) throw std::runtime_error(refused);
        startMinimized_ = Checked(ids::chkminimized);  // 9
        SetTimerEnabled(Checked(ids::chkAktiviert));   // 10
        if (!timerOn_) btnAktivClick();
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
        }
    } catch (const std::exception& e) {
        win::ShowGeneralError(hwnd(), e.what());
    }
}

void TfrmVistorel::ShowAtStart(int showCommand) {
    if (!hwnd()) return;
    const bool minimized = startMinimized_ || showCommand == SW_SHOWMINNOACTIVE ||
                           showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE;
    if (minimized) {
        if (tray_.visible()) {
            tray_.MinimizeToTray(hwnd());
        } else {
            ShowWindow(hwnd(), SW_SHOWMINNOACTIVE);
        }
        return;
    }
    ShowWindow(hwnd(), showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    UpdateWindow(hwnd());
}

bool TfrmVistorel::PreTranslate(MSG* msg) {
    if (hwnd() && IsDialogMessageA(hwnd(), msg)) return true;
    if (frmLog_ && frmLog_->hwnd() && IsDialogMessageA(frmLog_->hwnd(), msg)) return true;
    return false;
}

// --- Settings shown at start-up -------------------------------------------

void TfrmVistorel::SetMinimized(bool checked) {
    settingFromCode_ = true;
    SetChecked(ids::chkminimized, checked);
    settingFromCode_ = false;
}
void TfrmVistorel::SetAktiviert(bool checked) {
    settingFromCode_ = true;
    SetChecked(ids::chkAktiviert, checked);
    settingFromCode_ = false;
}
void TfrmVistorel::SetMail(bool checked) {
    settingFromCode_ = true;
    SetChecked(ids::chkMail, checked);
    settingFromCode_ = false;
}
void TfrmVistorel::SetMailAddress(const std::string& text) {
    settingFromCode_ = true;
    SetWindowTextA(Item(ids::edMail), text.c_str());
    settingFromCode_ = false;
}

// --- Autostart ----------------------------------------------------------------

void TfrmVistorel::chkAutostartClick() {
    if (env_.writeAutostart) env_.writeAutostart(env_.exePath, Checked(ids::chkAutostart));
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
    if (env_.helpViewer && env_.helpViewer->available())
        env_.helpViewer->Call(nullptr, nullptr, help::kHhCloseAll, 0);
}

void TfrmVistorel::FormDestroy() {
    HWND gridWindow = dxDBGrid1_ ? dxDBGrid1_->hwnd() : nullptr;
    if (gridWindow && savedGridProc_) {
        SetWindowLongPtrA(gridWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedGridProc_));
        savedGridProc_ = nullptr;
        RemovePropA(gridWindow, kWindowProp);
    }
    if (gridWindow) DragAcceptFiles(gridWindow, FALSE);
    SaveLayout();
}

void TfrmVistorel::SaveLayout() {
    if (!dxDBGrid1_ || !dxDBGrid1_->hwnd()) return;
    // Back to the 96-dpi widths that start-up scaled, so restarts at the same
    // resolution restore the same widths instead of growing them.
    for (const char* field : kScaledColumns) {
        const int width = dxDBGrid1_->ColumnWidth(field);
        if (width >= 0) dxDBGrid1_->SetColumnWidth(field, ColumnWidthForStorage(width, env_.dpi));
    }
    SaveGridLayout(SettingsFilePath(env_.exeDir), "Gitter", dxDBGrid1_->grid().SaveLayout());
}

void TfrmVistorel::Beenden1Click() { SendMessageA(hwnd(), WM_CLOSE, 0, 0); }

void TfrmVistorel::Wiederherstellen1Click() { win::TrayIcon::RestoreApp(hwnd()); }

void TfrmVistorel::TrayMinimizeApp() {
    engine::Cursor& c = data_->tblTimer;
    if (c.active() && c.state() == engine::DatasetState::Edit) c.Post();
}

// --- Panel ------------------------------------------------------------------------

void TfrmVistorel::Image1Click() {
    errorIndicator_ = false;
    ShowWindow(Item(ids::Image1), SW_HIDE);
}

void TfrmVistorel::LightErrorIndicator() {
    errorIndicator_ = true;
    image1Picture_ = true;
    HWND image = Item(ids::Image1);
    ShowWindow(image, SW_SHOW);
    InvalidateRect(image, nullptr, TRUE);
}

void TfrmVistorel::btnHelpClick() {
    if (help_) help_->ShowContext(1);
}

void TfrmVistorel::btnStartenClick() {
    JobData& d = *data_;
    if (!d.tblTimer.active() || d.tblTimer.RecordCount() == 0 || !d.tblTimer2.active()) return;
    const int64_t selected = d.tblTimer.FieldByName("ID").AsInteger();
    engine::Cursor& c2 = d.tblTimer2;
    actions::SchedulerCursorOps ops;
    ops.refresh = [&c2] { c2.Refresh(); };
    ops.first = [&c2] { c2.First(); };
    ops.next = [&c2] { c2.Next(); };
    ops.eof = [&c2] { return c2.Eof(); };
    ops.currentId = [&c2] { return c2.FieldByName("ID").AsInteger(); };
    auto result = actions::StartSelectedJob(selected, ops, [&] {
        return actions::RunJobAction(hwnd(), c2.FieldByName("Pfad").AsString(),
                                     c2.FieldByName("Paramter").AsString(),
                                     c2.FieldByName("WindowState").AsString());
    });
    if (result && *result != "OK") ShowPlain(*result);
}

void TfrmVistorel::Button2Click() {
    if (!frmLog_) frmLog_ = std::make_unique<TfrmLog>(hwnd(), data_->tblLog, env_.messageBox, env_.dpi);
    frmLog_->ShowAndRaise();
}

void TfrmVistorel::TimerTimer() { scheduler_->TimerTimer(); }
void TfrmVistorel::btnAktivClick() { scheduler_->btnAktivClick(); }
void TfrmVistorel::Button1Click() { scheduler_->Button1Click(); }

void TfrmVistorel::SetTimerEnabled(bool on) {
    if (on)
        SetTimer(hwnd(), kTimerId, kTimerInterval, nullptr);
    else
        KillTimer(hwnd(), kTimerId);
    timerOn_ = on;
}

void TfrmVistorel::SetAktiv(const std::string& caption, bool down, bool flat) {
    HWND b = Item(ids::btnAktiv);
    SetWindowTextA(b, caption.c_str());
    aktivDown_ = down;
    aktivFlat_ = flat;
    InvalidateRect(b, nullptr, TRUE);
}

std::string TfrmVistorel::AktivCaption() const {
    char buf[64] = {};
    GetWindowTextA(Item(ids::btnAktiv), buf, sizeof buf);
    return buf;
}

void TfrmVistorel::DrawAktiv(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    // Down: a lighter, sunken face; flat: no bevel around a plain face.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    if (aktivDown_ && !aktivFlat_) face = RGB(250, 250, 235);
    win::Brush faceBrush(CreateSolidBrush(face));
    FillRect(dc, &rc, faceBrush.get());
    if (aktivDown_ || pressed)
        DrawEdge(dc, &rc, aktivFlat_ ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    else if (!aktivFlat_)
        DrawEdge(dc, &rc, EDGE_RAISED, BF_RECT);
    char text[64] = {};
    GetWindowTextA(item.hwndItem, text, sizeof text);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT tr = rc;
    if (aktivDown_ || pressed) OffsetRect(&tr, 1, 1);
    DrawTextA(dc, text, -1, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.itemState & ODS_FOCUS) {
        InflateRect(&rc, -4, -4);
        DrawFocusRect(dc, &rc);
    }
}

void TfrmVistorel::DrawImage1(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (image1Picture_) DrawProgramImage(item.hDC, kImageError, item.rcItem.left, item.rcItem.top);
}

// --- Navigator ----------------------------------------------------------------------

void TfrmVistorel::NavigatorClick(win::NavButton button) {
    engine::Cursor& c = data_->tblTimer;
    if (!c.active()) return;
    switch (button) {
        case win::NavButton::First: c.First(); break;
        case win::NavButton::Prior: c.Prior(); break;
        case win::NavButton::Next: c.Next(); break;
        case win::NavButton::Last: c.Last(); break;
        case win::NavButton::Insert: c.Insert(); break;
        case win::NavButton::Edit: c.Edit(); break;
        case win::NavButton::Post: c.Post(); break;
        case win::NavButton::Cancel: c.Cancel(); break;
        case win::NavButton::Refresh: c.Refresh(); break;
        case win::NavButton::Delete:
            if (c.RecordCount() > 0 && ConfirmDeleteRow()) c.Delete();
            break;
    }
}

bool TfrmVistorel::ConfirmDeleteRow() {
    win::MessageBoxRequest r;
    r.text = "Datensatz l\xf6schen?";
    r.caption = "Best\xe4tigung";
    r.type = MB_OKCANCEL | MB_ICONQUESTION;
    r.cancelText = "Abbrechen";
    return ShowMessage(r) == IDOK;
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

// --- Dropped files ------------------------------------------------------------------

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
        ~Finish() { DragFinish(h); }
    } finish{drop};
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    for (UINT i = 0; i < count; ++i) {
        const UINT len = DragQueryFileA(drop, i, nullptr, 0);
        std::vector<char> buf(len + 1, '\0');
        DragQueryFileA(drop, i, buf.data(), len + 1);
        paths.emplace_back(buf.data());
    }
    if (!data_->tblTimer.active()) return;
    AddDroppedFileJobs(data_->tblTimer, paths, IsExistingFile);
}

// --- Messages ---------------------------------------------------------------------------

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
            if (code == EN_CHANGE && !settingFromCode_) {
                char buf[2048] = {};
                GetWindowTextA(Item(ids::edMail), buf, sizeof buf);
                settings_.edMailChange(buf);
            }
            break;
        case ids::Beenden1: Beenden1Click(); break;
        case ids::Wiederherstellen1: Wiederherstellen1Click(); break;
        default: break;
    }
}

LRESULT TfrmVistorel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (wp == SIZE_MINIMIZED)
                tray_.MinimizeToTray(hwnd());
            else
                Layout();
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
            return 0;
        case WM_HELP: {
            auto* info = reinterpret_cast<HELPINFO*>(lp);
            DWORD context = help::HelpBinding::ContextOf(static_cast<HWND>(info->hItemHandle));
            if (help_ && context) help_->HelpCommand(HELP_CONTEXT, context);
            return TRUE;
        }
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
