#include "ui/jobgrid/JobEditors.h"

#include "schema/JobSchema.h"

#include "win/Shell.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

#include "ui/data/DisplayFormat.h"
#include "win/CommonControls.h"
#include "win/Subclass.h"
#include "win/Window.h"

namespace qv::ui {

namespace {

constexpr int kChkWochentagId = 0x4301;
constexpr int kListBoxId = 0x4302;
constexpr int kCalendarId = 1;
constexpr int kLabelId = 2;
constexpr int kEdZeitId = 3;

// Windows before 2000 refuse the file dialog structure's longer, newer form.
DWORD OpenFileNameSize() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    const bool old = GetVersionExA(&vi) && vi.dwMajorVersion < 5;
    return old ? OPENFILENAME_SIZE_VERSION_400A : sizeof(OPENFILENAMEA);
}

// The day a key takes the calendar's selection to: a day, a week, a month
// back or on, the month's first or last day. The same day of another month is
// its last day when that month is shorter.
std::optional<DateTime> CalendarDayAfterKey(DateTime day, WPARAM key) {
    const CivilDateTime c = ToCivil(day);
    auto inMonth = [&](int monthStep) {
        int y = c.year, m = c.month + monthStep;
        while (m < 1) m += 12, --y;
        while (m > 12) m -= 12, ++y;
        return MakeDateTime(y, m, std::min(c.day, DaysInMonth(y, m)));
    };
    switch (key) {
        case VK_LEFT: return AddDays(day, -1);
        case VK_RIGHT: return AddDays(day, 1);
        case VK_UP: return AddDays(day, -7);
        case VK_DOWN: return AddDays(day, 7);
        case VK_PRIOR: return inMonth(-1);
        case VK_NEXT: return inMonth(1);
        case VK_HOME: return MakeDateTime(c.year, c.month, 1);
        case VK_END: return MakeDateTime(c.year, c.month, DaysInMonth(c.year, c.month));
        default: return std::nullopt;
    }
}

SYSTEMTIME ToSystemTime(DateTime dt) {
    CivilDateTime c = ToCivil(dt);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(c.year);
    st.wMonth = static_cast<WORD>(c.month);
    st.wDay = static_cast<WORD>(c.day);
    st.wHour = static_cast<WORD>(c.hour);
    st.wMinute = static_cast<WORD>(c.minute);
    st.wSecond = static_cast<WORD>(c.second);
    st.wMilliseconds = static_cast<WORD>(c.millisecond);
    st.wDayOfWeek = static_cast<WORD>(DayOfWeek(dt) - 1);
    return st;
}

}  // namespace

// A popup control of the grid: a top part (the check list, or the calendar
// with the time field) and under it the next starts the row's rule gives. It
// is as wide as the top part, or wider when a start's line needs it, and as
// high as the list of starts needs; the focus it gets goes to the top part.
class StartsPanel : public win::Window {
public:
    HWND CreatePanel(const char* className, HWND parent, win::Dpi dpi, HFONT font) {
        dpi_ = dpi;
        font_ = font;
        // A control parent: Tab in the popup goes between the top part's controls.
        HWND h = CreateWin(className, WS_EX_CONTROLPARENT, WS_CHILD | WS_CLIPCHILDREN, "", 0, 0, 10, 10, parent,
                           nullptr);
        if (!h) throw std::runtime_error("Auswahl kann nicht erzeugt werden");
        starts_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 10, 10, h,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStartsId)), GetModuleHandleA(nullptr),
                                  nullptr);
        SendMessageA(starts_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return h;
    }
    // The top part's size and the window that takes the focus. Returns the
    // panel's width, which the top part may take too.
    int SetTop(int width, int height, HWND focusTarget) {
        focusTarget_ = focusTarget;
        topHeight_ = height;
        // Sample lines: every weekday's abbreviation with a date and a time
        // with seconds.
        std::string widest;
        for (int d = 0; d < 7; ++d)
            widest += FormatListedStart(MakeDateTime(2028, 8, 20 + d, 20, 58, 58), true) + "\r\n";
        width_ = std::max<int>(width, Measure(widest, 0).cx + 2 * Margin());
        std::string full = "x";
        for (int i = 0; i < kListedStarts; ++i) full += "\r\nx";
        startsHeight_ = static_cast<int>(Measure(full, TextWidth()).cy);
        Arrange();
        return width_;
    }
    // Shows text under the top part; true when the panel grew to hold it.
    bool ShowStarts(const std::string& text) {
        SetWindowTextA(starts_, text.c_str());
        const int need = static_cast<int>(Measure(text, TextWidth()).cy);
        if (need <= startsHeight_) return false;
        startsHeight_ = need;
        Arrange();
        return true;
    }
    HWND starts() const { return starts_; }

protected:
    win::Dpi dpi() const { return dpi_; }
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_SETFOCUS && focusTarget_) {
            SetFocus(focusTarget_);
            return 0;
        }
        return Default(msg, wp, lp);
    }

private:
    static constexpr int kStartsId = 9;
    int Margin() const { return dpi_.Scale(4); }
    int TextWidth() const { return width_ - 2 * Margin(); }
    // The size text takes in the panel's font: broken into lines at width,
    // or at its own line ends only when width is 0. As the label draws it.
    SIZE Measure(const std::string& text, int width) const {
        win::WindowDC dc(starts_);
        win::SelectGuard g(dc.get(), font_);
        RECT r{0, 0, width, 0};
        const UINT wrap = width > 0 ? DT_WORDBREAK : 0;
        DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | wrap);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }
    void Arrange() {
        MoveWindow(starts_, Margin(), topHeight_ + Margin(), TextWidth(), startsHeight_, TRUE);
        SetWindowPos(hwnd(), nullptr, 0, 0, width_, topHeight_ + startsHeight_ + 2 * Margin(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    win::Dpi dpi_;
    HFONT font_ = nullptr;
    HWND starts_ = nullptr;
    HWND focusTarget_ = nullptr;
    int topHeight_ = 0, width_ = 0, startsHeight_ = 0;
};

// pnlZeit: the month calendar with the time field under it, and the next
// starts. Reports every change of the moment, and the time field's check
// moments: Enter in it, or leaving it after a change. The calendar goes by
// the arrow keys (a day, a week), Page Up and Down (a month), Home and End
// (the month's first and last day): Wine's calendar has no keys of its own.
class TimePanel : public StartsPanel {
public:
    std::function<void()> onValidate;
    std::function<void()> onEnter;  // Enter in the time field
    std::function<void()> onChange;

    // The calendar measures itself in the font; the rest is designed at 96 dpi.
    HWND Create(HWND parent, win::Dpi dpi, HFONT font) {
        HWND h = CreatePanel("QvTimePanel", parent, dpi, font);
        HINSTANCE inst = GetModuleHandleA(nullptr);
        calendar_ = CreateWindowExA(0, MONTHCAL_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10, h,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCalendarId)), inst, nullptr);
        SendMessageA(calendar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        RECT req{0, 0, dpi.Scale(180), dpi.Scale(150)};
        if (calendar_) MonthCal_GetMinReqRect(calendar_, &req);
        int cw = std::max<int>(req.right - req.left, dpi.Scale(160));
        int chh = std::max<int>(req.bottom - req.top, dpi.Scale(120));
        MoveWindow(calendar_, 0, 0, cw, chh, FALSE);
        auto px = [dpi](int v) { return dpi.Scale(v); };
        label_ = CreateWindowExA(0, "STATIC", "Zeit :", WS_CHILD | WS_VISIBLE, px(8), chh + px(9), px(36), px(16), h,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)), inst, nullptr);
        time_ = CreateWindowExA(0, DATETIMEPICK_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | DTS_TIMEFORMAT | DTS_UPDOWN,
                                px(48), chh + px(5), px(96), px(22), h,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEdZeitId)), inst, nullptr);
        if (time_) {
            SendMessageA(time_, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("HH':'mm':'ss"));
            timeHook_.Install(time_,
                              [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return TimeFieldProc(w, m, wp, lp); });
        }
        if (calendar_)
            calendarHook_.Install(
                calendar_, [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return CalendarProc(w, m, wp, lp); });
        SendMessageA(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageA(time_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // The popup opens with the keyboard on the calendar.
        SetTop(cw, chh + px(32), calendar_);
        return h;
    }
    HWND calendar() const { return calendar_; }
    HWND label() const { return label_; }
    HWND time() const { return time_; }
    void ClearChanged() { changed_ = false; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_NOTIFY) {
            auto* hdr = reinterpret_cast<NMHDR*>(lp);
            if (hdr->hwndFrom == time_ && hdr->code == DTN_DATETIMECHANGE) changed_ = true;
            if (onChange && ((hdr->hwndFrom == time_ && hdr->code == DTN_DATETIMECHANGE) ||
                             (hdr->hwndFrom == calendar_ && hdr->code == MCN_SELCHANGE)))
                onChange();
            // Leaving the field for another control of the popup checks it;
            // leaving the popup closes it, and the closing does the check.
            if (hdr->hwndFrom == time_ && hdr->code == NM_KILLFOCUS && changed_ && WithinPopup(focusTo_))
                Validate();
            return 0;
        }
        return StartsPanel::HandleMessage(msg, wp, lp);
    }

private:
    void Validate() {
        changed_ = false;
        if (onValidate) onValidate();
    }
    bool WithinPopup(HWND w) const {
        HWND popup = GetParent(hwnd());
        return w && popup && IsChild(popup, w);
    }
    // Enter in the time field is its own (the check, then the popup closes
    // taking the choice), not the popup's.
    LRESULT TimeFieldProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_GETDLGCODE) {
            const auto* m = reinterpret_cast<const MSG*>(lp);
            const LRESULT code = timeHook_.CallOriginal(h, msg, wp, lp);
            // The arrows change the field's hours, minutes or seconds; Wine's
            // time field would leave them to the dialog navigation.
            const bool enter = m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN;
            return code | DLGC_WANTARROWS | (enter ? DLGC_WANTMESSAGE : 0);
        }
        if (msg == WM_KEYDOWN && wp == VK_RETURN) {
            win::Guarded(h, [&] {
                changed_ = false;
                if (onEnter) onEnter();
            });
            return 0;
        }
        if (msg == WM_KILLFOCUS) focusTo_ = reinterpret_cast<HWND>(wp);
        if (msg == WM_SETFOCUS && !(GetKeyState(VK_LBUTTON) & 0x8000)) {
            // Reached by the keyboard: Wine's time field selects none of its
            // parts then, so the arrow keys would change nothing; the hours
            // are selected as by a click on them, as Windows selects them.
            const LRESULT r = timeHook_.CallOriginal(h, msg, wp, lp);
            RECT rc{};
            GetClientRect(h, &rc);
            const LPARAM hours = MAKELPARAM(dpi().Scale(6), rc.bottom / 2);
            timeHook_.CallOriginal(h, WM_LBUTTONDOWN, MK_LBUTTON, hours);
            timeHook_.CallOriginal(h, WM_LBUTTONUP, 0, hours);
            return r;
        }
        return timeHook_.CallOriginal(h, msg, wp, lp);
    }
    LRESULT CalendarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_GETDLGCODE) return calendarHook_.CallOriginal(h, msg, wp, lp) | DLGC_WANTARROWS;
        if (msg == WM_KEYDOWN) {
            SYSTEMTIME st{};
            MonthCal_GetCurSel(h, &st);
            const std::optional<DateTime> to = CalendarDayAfterKey(MakeDateTime(st.wYear, st.wMonth, st.wDay), wp);
            if (to) {
                const SYSTEMTIME day = ToSystemTime(*to);
                MonthCal_SetCurSel(h, &day);
                win::Guarded(h, [&] {
                    if (onChange) onChange();
                });
                return 0;
            }
        }
        if (msg == WM_LBUTTONDOWN && GetFocus() != h) SetFocus(h);
        return calendarHook_.CallOriginal(h, msg, wp, lp);
    }

    HWND calendar_ = nullptr, label_ = nullptr, time_ = nullptr;
    HWND focusTo_ = nullptr;  // where the focus goes as the time field loses it
    win::Subclass timeHook_, calendarHook_;
    bool changed_ = false;
};

JobEditors::JobEditors(HWND mainWindow, grid::Grid& grid, grid::GridDataSource& source, Deps deps)
    : main_(mainWindow),
      grid_(grid),
      source_(source),
      deps_(std::move(deps)),
      dpi_(grid.dpi()),
      font_(dpi_.CreateUiFont()),
      chkWochentag_(dpi_) {
    if (!deps_.clock) throw std::invalid_argument("JobEditors needs a clock");
    win::UseCommonControls(ICC_DATE_CLASSES);

    dayPanel_ = std::make_unique<StartsPanel>();
    dayPanel_->CreatePanel("QvDayRulePanel", main_, dpi_, font_.get());
    const int listWidth = dpi_.Scale(120);
    chkWochentag_.Create(dayPanel_->hwnd(), kChkWochentagId, 0, 0, listWidth, dpi_.Scale(100),
                         WS_VISIBLE | WS_TABSTOP);
    chkWochentag_.SetFont(font_.get());
    std::vector<std::string> items(DayItemTexts().begin(), DayItemTexts().end());
    chkWochentag_.SetItems(items);
    const int panelWidth = dayPanel_->SetTop(listWidth, chkWochentag_.FullHeight(), chkWochentag_.hwnd());
    MoveWindow(chkWochentag_.hwnd(), 0, 0, panelWidth, chkWochentag_.FullHeight(), FALSE);
    chkWochentag_.OnToggle = [this](int index, bool checked) { chkWochentagChange(index, checked); };

    pnlZeit_ = std::make_unique<TimePanel>();
    pnlZeit_->Create(main_, dpi_, font_.get());
    pnlZeit_->onValidate = [this] { CheckTimeField(); };
    pnlZeit_->onEnter = [this] {
        if (CheckTimeField()) grid_.RequestPopupClose(false);
    };
    pnlZeit_->onChange = [this] { ShowStartTimeStarts(); };

    HINSTANCE inst = GetModuleHandleA(nullptr);
    listBox_ = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_BORDER | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
                               dpi_.Scale(190), dpi_.Scale(10), main_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListBoxId)), inst, nullptr);
    if (!listBox_) throw std::runtime_error("Liste kann nicht erzeugt werden");
    SendMessageA(listBox_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    for (const char* op : OperationNames()) SendMessageA(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(op));
    listHook_.Install(listBox_, [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return ListBoxProc(w, m, wp, lp); });
}

JobEditors::~JobEditors() {
    grid_.InitPopup = nullptr;
    grid_.CloseUp = nullptr;
    grid_.ButtonClick = nullptr;
    grid_.ChangeColumn = nullptr;
    grid_.CellHint = nullptr;
    if (listBox_ && IsWindow(listBox_)) DestroyWindow(listBox_);
}

HWND JobEditors::dayRuleStarts() const { return dayPanel_->starts(); }
HWND JobEditors::startTimeStarts() const { return pnlZeit_->starts(); }
HWND JobEditors::pnlZeit() const { return pnlZeit_->hwnd(); }
HWND JobEditors::Calendar() const { return pnlZeit_->calendar(); }
HWND JobEditors::Label2() const { return pnlZeit_->label(); }
HWND JobEditors::edZeit() const { return pnlZeit_->time(); }

void JobEditors::Bind() {
    grid_.SetPopupControl(Col(JobColumn::Wochentag), dayPanel_->hwnd());
    grid_.SetPopupControl(Col(JobColumn::Startzeit), pnlZeit_->hwnd());
    grid_.InitPopup = [this](int column) {
        if (column == Col(JobColumn::Wochentag)) dxDBGrid1WochentagInitPopup(column);
        else if (column == Col(JobColumn::Startzeit)) dxDBGrid1StartzeitInitPopup(column);
    };
    grid_.CloseUp = [this](int column, std::string& text, bool& accept) {
        if (column == Col(JobColumn::Wochentag)) dxDBGrid1WochentagCloseUp(column, text, accept);
        else if (column == Col(JobColumn::Startzeit)) dxDBGrid1StartzeitCloseUp(column, text, accept);
    };
    grid_.ButtonClick = [this](int column, int button) {
        if (column == Col(JobColumn::Pfad)) dxDBGrid1PfadButtonClick(column, button);
    };
    grid_.ChangeColumn = [this](int column) { dxDBGrid1ChangeColumn(column); };
    grid_.CellHint = [this](int column, int row) {
        return column == Col(JobColumn::Startzeit) ? StartzeitHint(row) : std::string();
    };
}

// ------------------------------------------------------------ next starts

RowRule JobEditors::CurrentRowRule() const {
    return {source_.Value(schema::job::kWochentag), source_.Value(schema::job::kUhrzeit), source_.Value(schema::job::kIntervall)};
}

void JobEditors::ShowStarts(StartsPanel& panel, const std::string& text) {
    if (panel.ShowStarts(text)) grid_.FitPopup();
}

void JobEditors::ShowDayRuleStarts() {
    RowRule row = CurrentRowRule();
    row.wochentag = DayRuleFromItems(CheckedItems());
    ShowStarts(*dayPanel_, NextStartsText(row, deps_.clock->Now()));
}

void JobEditors::ShowStartTimeStarts() {
    const DateTime chosen = PopupMoment();
    ShowStarts(*pnlZeit_, NextStartsTextFrom(CurrentRowRule(), deps_.clock->Now(),
                                             ChosenMoment(DatePart(chosen), TimePart(chosen))));
}

std::string JobEditors::StartzeitHint(int row) const {
    const RowRule rule{source_.CellText(row, schema::job::kWochentag), source_.CellText(row, schema::job::kUhrzeit),
                       source_.CellText(row, schema::job::kIntervall)};
    const DateTime now = deps_.clock->Now();
    DateTime next{};
    if (ParseDisplayDateTime(source_.CellText(row, schema::job::kStartzeit), next)) return NextStartsTextFrom(rule, now, next);
    return NextStartsText(rule, now);
}

// ------------------------------------------------------------ day rule

DayItems JobEditors::CheckedItems() const {
    DayItems items{};
    for (int i = 0; i < kDayItemCount; ++i) items[static_cast<size_t>(i)] = chkWochentag_.Checked(i);
    return items;
}

void JobEditors::SetCheckedItems(const DayItems& items) {
    for (int i = 0; i < kDayItemCount; ++i) chkWochentag_.SetChecked(i, items[static_cast<size_t>(i)]);
    ShowDayRuleStarts();
}

void JobEditors::dxDBGrid1WochentagInitPopup(int) { SetCheckedItems(DayItemsFromRule(source_.Value(schema::job::kWochentag))); }

void JobEditors::chkWochentagChange(int index, bool checked) {
    DayItems items = CheckedItems();
    items[static_cast<size_t>(index)] = checked;
    ApplyDayToggle(items, index);
    SetCheckedItems(items);
}

void JobEditors::dxDBGrid1WochentagCloseUp(int, std::string& text, bool& accept) {
    text = DayRuleFromItems(CheckedItems());
    accept = true;
}

// ------------------------------------------------------------ start time

DateTime JobEditors::PopupMoment() const {
    SYSTEMTIME day{}, time{};
    MonthCal_GetCurSel(Calendar(), &day);
    DateTime_GetSystemtime(edZeit(), &time);
    DateTime date = MakeDateTime(day.wYear, day.wMonth, day.wDay);
    return DatePart(date) + MakeTime(time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
}

void JobEditors::SetPopupMoment(DateTime date, TimeOfDay time) {
    SYSTEMTIME day = ToSystemTime(DatePart(date));
    SYSTEMTIME clock = ToSystemTime(DatePart(date) + time);
    MonthCal_SetCurSel(Calendar(), &day);
    DateTime_SetSystemtime(edZeit(), GDT_VALID, &clock);
    pnlZeit_->ClearChanged();
    ShowStartTimeStarts();
}

void JobEditors::dxDBGrid1StartzeitInitPopup(int) {
    DateTime stored{};
    std::string text = source_.Value(schema::job::kStartzeit);
    if (!text.empty() && !ParseDisplayDateTime(text, stored)) stored = DateTime{};
    StartPopupValues v = StartPopupOpen(deps_.clock->Now(), stored);
    SetPopupMoment(v.date, v.time);
}

bool JobEditors::edZeitValidate(std::string& errorText) {
    DateTime chosen = PopupMoment();
    if (MomentAllowed(deps_.clock->Now(), chosen)) return true;
    errorText = kPastMomentText;
    return false;
}

// The error box belongs to the popup window, which stays open under it, and
// the focus comes back to the time field so that the user can correct it.
bool JobEditors::CheckTimeField() {
    std::string error;
    if (edZeitValidate(error)) return true;
    MessageBeep(MB_OK);
    SetFocus(edZeit());
    HWND popup = GetParent(pnlZeit());
    win::ShowGeneralError(popup && popup != main_ ? popup : main_, error);
    if (IsWindowVisible(pnlZeit())) SetFocus(edZeit());
    return false;
}

void JobEditors::dxDBGrid1StartzeitCloseUp(int, std::string& text, bool& accept) {
    DateTime m = PopupMoment();
    StartCloseResult r = StartPopupClose(deps_.clock->Now(), DatePart(m), TimePart(m), deps_.nextStart);
    if (!r.message.empty() && deps_.showMessage) deps_.showMessage(main_, r.message);
    text = r.text;
    accept = r.accept;
}

// ------------------------------------------------------------ action column

bool JobEditors::DefaultOpenFile(HWND owner, std::string& path) {
    std::vector<char> buf(4096, '\0');
    std::copy_n(lastFile_.begin(), std::min(lastFile_.size(), buf.size() - 1), buf.begin());
    static const char filter[] = "Ausf\xfchrbar\0*.exe;*.bat;*.com;*.cmd\0Alle\0*.*\0";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OpenFileNameSize();
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buf.data();
    ofn.nMaxFile = static_cast<DWORD>(buf.size());
    // A folder of this computer: a network name such as \\localhost can stall
    // the dialog or make it fall back where there is no network (95, NT 4.0).
    const std::string folder =
        lastFile_.empty() ? deps_.startFolder : lastFile_.substr(0, lastFile_.find_last_of('\\') + 1);
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    // The current directory is left at the chosen file's folder.
    ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!win::OpenFileDialog(&ofn)) return false;
    path = buf.data();
    lastFile_ = path;
    return true;
}

void JobEditors::dxDBGrid1PfadButtonClick(int column, int button) {
    if (button == 0) {
        source_.Edit();
        std::string path;
        bool chosen = deps_.openFile ? deps_.openFile(main_, path) : DefaultOpenFile(main_, path);
        if (!chosen) return;
        source_.Edit();
        source_.SetValue(schema::job::kPfad, path);
        return;
    }
    if (button != 1) return;
    if (IsWindowVisible(listBox_)) {
        ShowWindow(listBox_, SW_HIDE);
        return;
    }
    RECT cell = grid_.CellRect(grid_.FocusedRow(), column);
    MapWindowPoints(grid_.hwnd(), main_, reinterpret_cast<POINT*>(&cell), 2);
    int itemHeight = static_cast<int>(SendMessageA(listBox_, LB_GETITEMHEIGHT, 0, 0));
    int height = 4 * std::max(itemHeight, dpi_.Scale(13)) + 2 * GetSystemMetrics(SM_CYBORDER) + 2;
    SendMessageA(listBox_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowPos(listBox_, HWND_TOP, cell.left, cell.bottom, cell.right - cell.left, height, SWP_SHOWWINDOW);
    SetFocus(listBox_);  // the arrow keys and Enter choose, Escape closes
}

// The keyboard in the operation list: the arrows and letters only move the
// selection, Enter or the space bar choose it, Escape, Tab and Alt+Up close
// the list; the keyboard goes back to the grid.
LRESULT JobEditors::ListBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_GETDLGCODE:
            return listHook_.CallOriginal(h, msg, wp, lp) | DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
            if (wp == VK_RETURN || wp == VK_SPACE) {
                win::Guarded(h, [&] {
                    if (SendMessageA(listBox_, LB_GETCURSEL, 0, 0) != LB_ERR) ListBoxClick();
                });
                return 0;
            }
            if (wp == VK_ESCAPE || wp == VK_TAB || wp == VK_F4) {
                CloseOperationList();
                return 0;
            }
            break;
        case WM_SYSKEYDOWN:
            if (wp == VK_UP || wp == VK_DOWN) {
                CloseOperationList();
                DefWindowProcA(h, msg, wp, lp);  // see the grid's Alt+Down
                return 0;
            }
            break;
        case WM_CHAR:
            if (wp == VK_RETURN || wp == VK_ESCAPE || wp == VK_TAB || wp == ' ') return 0;
            break;
        case WM_KILLFOCUS: {
            // Leaving the list for another control closes it; a click into
            // the grid leaves it to the grid (its list button hides it).
            const HWND to = reinterpret_cast<HWND>(wp);
            if (to != grid_.hwnd() && !IsChild(grid_.hwnd(), to)) ShowWindow(listBox_, SW_HIDE);
            break;
        }
        default:
            break;
    }
    if (msg == WM_KEYDOWN || msg == WM_CHAR) {
        // A selection made by the keyboard is no choice yet.
        keyMovingList_ = true;
        const LRESULT r = listHook_.CallOriginal(h, msg, wp, lp);
        keyMovingList_ = false;
        return r;
    }
    return listHook_.CallOriginal(h, msg, wp, lp);
}

void JobEditors::CloseOperationList() {
    const bool hadFocus = GetFocus() == listBox_;
    ShowWindow(listBox_, SW_HIDE);
    if (hadFocus) SetFocus(grid_.hwnd());
}

bool JobEditors::HandleCommand(WPARAM wp, LPARAM lp) {
    if (reinterpret_cast<HWND>(lp) != listBox_ || HIWORD(wp) != LBN_SELCHANGE) return false;
    if (!keyMovingList_) ListBoxClick();
    return true;
}

void JobEditors::ListBoxClick() {
    LRESULT sel = SendMessageA(listBox_, LB_GETCURSEL, 0, 0);
    source_.Edit();
    if (sel != LB_ERR) {
        int column = grid_.FocusedColumn();
        std::string field = column >= 0 ? grid_.model().column(column).field : std::string(schema::job::kPfad);
        source_.SetValue(field, OperationNames()[static_cast<size_t>(sel)]);
    }
    CloseOperationList();
}

void JobEditors::HideOperationList() {
    if (listBox_) ShowWindow(listBox_, SW_HIDE);
}

void JobEditors::dxDBGrid1ChangeColumn(int) { HideOperationList(); }



}  // namespace qv::ui
