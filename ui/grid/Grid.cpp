#include "ui/grid/Grid.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

namespace qv::grid {

namespace {

constexpr UINT kMsgPopupClosed = WM_APP + 0x51;
constexpr UINT kMsgResort = WM_APP + 0x52;
constexpr UINT_PTR kEditorSubclass = 0x5147;
constexpr UINT_PTR kPopupControlSubclass = 0x5148;
constexpr UINT_PTR kAutoScrollTimer = 0x5149;
constexpr int kEditorId = 1;
constexpr int kComboId = 2;

RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

std::string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(hwnd, s.data(), n + 1);
    s.resize(static_cast<size_t>(std::max(0, n)));
    return s;
}

bool KeyIsDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
    COLORREF old = SetBkColor(dc, color);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
    win::Pen pen(CreatePen(PS_SOLID, 1, color));
    win::SelectGuard g(dc, pen.get());
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

// A small filled triangle pointing up or down (or right), centred at cx, cy.
void Triangle(HDC dc, int cx, int cy, int size, int dir, COLORREF color) {
    POINT p[3];
    if (dir == 0) {  // down
        p[0] = {cx - size, cy - size / 2};
        p[1] = {cx + size, cy - size / 2};
        p[2] = {cx, cy + size / 2 + 1};
    } else if (dir == 1) {  // up
        p[0] = {cx - size, cy + size / 2};
        p[1] = {cx + size, cy + size / 2};
        p[2] = {cx, cy - size / 2 - 1};
    } else {  // right
        p[0] = {cx - size / 2, cy - size};
        p[1] = {cx - size / 2, cy + size};
        p[2] = {cx + size / 2 + 1, cy};
    }
    win::Brush brush(CreateSolidBrush(color));
    win::Pen pen(CreatePen(PS_SOLID, 1, color));
    win::SelectGuard gb(dc, brush.get());
    win::SelectGuard gp(dc, pen.get());
    Polygon(dc, p, 3);
}

}  // namespace

// The window that holds a popup control below (or above) its cell. Any way
// of closing it, a click outside, its close button, switching to another
// application, Escape or Enter in the control, tells the grid once.
class PopupWindow : public win::Window {
public:
    explicit PopupWindow(Grid* grid) : grid_(grid) {}
    HWND Create(HWND owner) {
        return CreateWin("QvGridPopup", WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE,
                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, "", 0, 0, 10, 10, owner,
                         nullptr);
    }
    void Open() { open_ = true; }
    void MarkClosed() { open_ = false; }
    bool open() const { return open_; }
    void RequestClose() {
        if (!open_) return;
        open_ = false;
        PostMessageA(grid_->hwnd(), kMsgPopupClosed, 0, 0);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_ACTIVATE:
                if (LOWORD(wp) == WA_INACTIVE) RequestClose();
                break;
            case WM_ACTIVATEAPP:
                if (!wp) RequestClose();
                break;
            case WM_CLOSE:
                RequestClose();
                return 0;
            default:
                break;
        }
        return Default(msg, wp, lp);
    }

private:
    Grid* grid_;
    bool open_ = false;
};

Grid::Grid() = default;

Grid::~Grid() {
    if (source_) source_->SetListener(nullptr);
    if (popupColumn_ >= 0) {
        auto it = popupControls_.find(popupColumn_);
        if (it != popupControls_.end() && IsWindow(it->second)) {
            RemoveWindowSubclass(it->second, PopupControlProc, kPopupControlSubclass);
            ShowWindow(it->second, SW_HIDE);
            SetParent(it->second, popupControlParent_);
        }
    }
    // The editors' hooks point at members that go before the base class
    // destroys the window: unhook them and destroy the window while they live.
    if (edit_ && IsWindow(edit_)) RemoveWindowSubclass(edit_, EditorProc, kEditorSubclass);
    if (combo_ && IsWindow(combo_)) RemoveWindowSubclass(combo_, EditorProc, kEditorSubclass);
    activeEditor_ = nullptr;
    if (hwnd()) DestroyWindow(hwnd());
}

HWND Grid::Create(HWND parent, int id, int x, int y, int width, int height) {
    HWND h = CreateWin(kClassName, WS_EX_CLIENTEDGE,
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                       "", x, y,
                       width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), 0,
                       nullptr);
    if (!h) throw std::runtime_error("Gitter kann nicht erzeugt werden");
    HINSTANCE inst = GetModuleHandleA(nullptr);
    edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL | ES_LEFT, 0, 0, 10, 10, h,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditorId)), inst, nullptr);
    combo_ = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 10, 100, h,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)), inst, nullptr);
    SetWindowSubclass(edit_, EditorProc, kEditorSubclass, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(combo_, EditorProc, kEditorSubclass, reinterpret_cast<DWORD_PTR>(this));
    popup_ = std::make_unique<class PopupWindow>(this);
    popup_->Create(GetAncestor(h, GA_ROOT));
    SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    Layout();
    return h;
}

void Grid::SetColumns(std::vector<Column> columns) {
    HideEditor();
    model_.SetColumns(std::move(columns));
    Layout();
}

void Grid::SetPreviewField(std::string field) {
    previewField_ = std::move(field);
    Layout();
}

void Grid::SetDataSource(GridDataSource* source) {
    HideEditor();
    if (source_) source_->SetListener(nullptr);
    source_ = source;
    if (source_) source_->SetListener([this](SourceChange c) { OnSourceChange(c); });
    Reload();
}

void Grid::SetFont(HFONT font) {
    font_ = font;
    LOGFONTA lf{};
    if (GetObjectA(font, sizeof lf, &lf)) {
        lf.lfWeight = FW_BOLD;
        boldFont_.reset(CreateFontIndirectA(&lf));
    }
    if (edit_) SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (combo_) SendMessageA(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Layout();
}

void Grid::SetPopupControl(int column, HWND control) { popupControls_[column] = control; }

RECT Grid::CellRect(int displayRow, int column) const { return ToRECT(model_.CellRect(displayRow, column)); }

void Grid::Layout() {
    if (!hwnd() || layingOut_) return;
    layingOut_ = true;
    int fontHeight = 13;
    {
        win::WindowDC dc(hwnd());
        win::SelectGuard g(dc.get(), font_);
        TEXTMETRICA tm{};
        if (GetTextMetricsA(dc.get(), &tm)) fontHeight = tm.tmHeight;
    }
    Metrics m = model_.metrics();
    m.rowHeight = std::max(fontHeight + 4, 16);
    m.headerHeight = fontHeight + 6;
    m.previewHeight = previewField_.empty() ? 0 : fontHeight + 2;
    m.buttonWidth = std::max(16, fontHeight + 3);
    m.checkSize = std::min(13, m.rowHeight - 2);
    m.indicatorWidth = 12;
    model_.SetMetrics(m);
    model_.options().defaultRowHeight = m.rowHeight;
    if (combo_) SendMessageA(combo_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), m.rowHeight - 6);
    // Showing or hiding a scroll bar changes the client area: settle in two passes.
    for (int pass = 0; pass < 2; ++pass) {
        RECT rc;
        GetClientRect(hwnd(), &rc);
        model_.SetClientSize(rc.right, rc.bottom);
        UpdateScrollBars();
    }
    layingOut_ = false;
    PlaceEditor();
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void Grid::UpdateScrollBars() {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, model_.RowCount() - 1);
    si.nPage = static_cast<UINT>(std::max(1, model_.VisibleRowCount()));
    si.nPos = model_.topRow();
    SetScrollInfo(hwnd(), SB_VERT, &si, TRUE);
    si.nMax = std::max(0, model_.metrics().indicatorWidth + model_.BandWidth() - 1);
    si.nPage = static_cast<UINT>(std::max(1, model_.clientWidth()));
    si.nPos = model_.scrollX();
    SetScrollInfo(hwnd(), SB_HORZ, &si, TRUE);
}

void Grid::Reload() {
    SyncRows();
    Layout();
}

int Grid::Current() const {
    if (!source_) return -1;
    return model_.DisplayRow(source_->CurrentRow());
}

void Grid::SyncRows() {
    resortPending_ = false;
    if (!source_) {
        model_.SetRowCount(0);
        return;
    }
    model_.SetRowCount(source_->RowCount());
    if (model_.SortColumn() >= 0) {
        int pinned = source_->State() == RowState::Insert ? source_->CurrentRow() : -1;
        model_.Resort([this](int row, int col) { return source_->SortKey(row, FieldOf(col)); }, pinned);
    }
    SyncCurrent();
}

void Grid::SyncCurrent() {
    int row = Current();
    if (row >= 0) model_.SetFocus(row, model_.focusColumn());
    if (EditorVisible() && (!source_ || source_->CurrentRow() != editorDataRow_)) HideEditor();
    model_.ScrollIntoView(model_.focusRow(), -1);
}

void Grid::OnSourceChange(SourceChange change) {
    switch (change) {
        case SourceChange::Rows:
            // Sorting reads every row: not inside the data source's own call,
            // but once the message loop comes back to the grid.
            model_.SetRowCount(source_ ? source_->RowCount() : 0);
            if (model_.SortColumn() >= 0 && hwnd() && !resortPending_) {
                resortPending_ = true;
                PostMessageA(hwnd(), kMsgResort, 0, 0);
            }
            SyncCurrent();
            UpdateScrollBars();
            break;
        case SourceChange::Current:
            SyncCurrent();
            UpdateScrollBars();
            break;
        case SourceChange::Values:
            if (EditorVisible() && !editorModified_ && source_) {
                settingEditorText_ = true;
                SetWindowTextA(edit_, source_->Value(FieldOf(editorColumn_)).c_str());
                settingEditorText_ = false;
            }
            break;
        case SourceChange::State:
            break;
    }
    PlaceEditor();
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void Grid::ShowError(const std::exception& e) { win::ShowGeneralError(hwnd(), e.what()); }

// ---------------------------------------------------------------- editing

bool Grid::HasTextEditor(int column) const {
    if (column < 0) return false;
    const Column& c = model_.column(column);
    switch (c.kind) {
        case ColumnKind::Text:
        case ColumnKind::Time:
        case ColumnKind::Button:
        case ColumnKind::PickList: return true;
        case ColumnKind::Popup: return !c.noTextCursor;
        case ColumnKind::Check: return false;
    }
    return false;
}

bool Grid::EditorVisible() const { return activeEditor_ != nullptr; }
HWND Grid::EditorWindow() const { return activeEditor_; }

std::string Grid::EditorText() const {
    if (!activeEditor_) return {};
    if (activeEditor_ == combo_) {
        LRESULT sel = SendMessageA(combo_, CB_GETCURSEL, 0, 0);
        if (sel == CB_ERR) return {};
        LRESULT n = SendMessageA(combo_, CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0);
        std::string s(static_cast<size_t>(std::max<LRESULT>(0, n)) + 1, '\0');
        SendMessageA(combo_, CB_GETLBTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(s.data()));
        s.resize(static_cast<size_t>(std::max<LRESULT>(0, n)));
        return s;
    }
    return WindowText(edit_);
}

void Grid::ShowEditor() {
    int col = model_.focusColumn();
    if (!source_ || !HasTextEditor(col) || model_.RowCount() == 0) return;
    if (EditorVisible() && editorColumn_ == col) return;
    HideEditor();
    const Column& c = model_.column(col);
    std::string value = source_->Value(c.field);
    editorColumn_ = col;
    editorDataRow_ = source_->CurrentRow();
    editorModified_ = false;
    settingEditorText_ = true;
    if (c.kind == ColumnKind::PickList) {
        SendMessageA(combo_, CB_RESETCONTENT, 0, 0);
        for (const auto& item : c.pickItems)
            SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        LRESULT sel = SendMessageA(combo_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(value.c_str()));
        SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(sel == CB_ERR ? -1 : sel), 0);
        activeEditor_ = combo_;
    } else {
        SetWindowTextA(edit_, value.c_str());
        SendMessageA(edit_, EM_SETSEL, 0, -1);
        activeEditor_ = edit_;
    }
    settingEditorText_ = false;
    PlaceEditor();
    ShowWindow(activeEditor_, SW_SHOW);
    if (GetFocus() == hwnd() || IsChild(hwnd(), GetFocus())) SetFocus(activeEditor_);
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void Grid::PlaceEditor() {
    if (!activeEditor_) return;
    int row = model_.DisplayRow(editorDataRow_);
    Rect r = model_.CellRect(row, editorColumn_);
    bool inView = row >= model_.topRow() && row < model_.topRow() + std::max(1, model_.VisibleRowCount()) &&
                  r.Width() > 0;
    if (!inView) {
        MoveWindow(activeEditor_, -1000, -1000, 10, 10, FALSE);
        return;
    }
    int buttons = model_.ButtonCount(editorColumn_);
    if (buttons > 0) r.right = model_.ButtonRect(row, editorColumn_, 0).left;
    if (activeEditor_ == combo_) {
        int items = static_cast<int>(model_.column(editorColumn_).pickItems.size());
        MoveWindow(combo_, r.left, r.top, r.Width(), r.Height() + (items + 1) * r.Height(), TRUE);
    } else {
        MoveWindow(edit_, r.left + 2, r.top + 2, std::max(1, r.Width() - 3), std::max(1, r.Height() - 3), TRUE);
    }
}

void Grid::HideEditor() {
    if (!activeEditor_) return;
    HWND ed = activeEditor_;
    activeEditor_ = nullptr;
    bool hadFocus = GetFocus() == ed;
    if (ed == combo_) SendMessageA(combo_, CB_SHOWDROPDOWN, FALSE, 0);
    ShowWindow(ed, SW_HIDE);
    editorColumn_ = -1;
    editorDataRow_ = -1;
    editorModified_ = false;
    if (hadFocus) SetFocus(hwnd());
    InvalidateRect(hwnd(), nullptr, FALSE);
}

bool Grid::CommitEdit() {
    if (!activeEditor_ || !source_) return true;
    if (!editorModified_) return true;
    std::string text = EditorText();
    std::string field = FieldOf(editorColumn_);
    try {
        if (source_->CurrentRow() != editorDataRow_) source_->MoveTo(editorDataRow_);
        if (source_->Value(field) != text || source_->State() == RowState::Browse) source_->SetValue(field, text);
        editorModified_ = false;
        return true;
    } catch (const std::exception& e) {
        ShowError(e);
        if (activeEditor_) SetFocus(activeEditor_);
        return false;
    }
}

void Grid::CancelCellEdit() { HideEditor(); }

bool Grid::FocusCell(int displayRow, int column, bool openEditor) {
    if (!source_) return false;
    if (!CommitEdit()) return false;
    int oldColumn = model_.focusColumn();
    int dataRow = model_.DataRow(displayRow);
    if (dataRow >= 0 && dataRow != source_->CurrentRow()) {
        HideEditor();
        try {
            source_->MoveTo(dataRow);
        } catch (const std::exception& e) {
            ShowError(e);
            SyncRows();
            InvalidateRect(hwnd(), nullptr, FALSE);
            return false;
        }
        displayRow = Current();
    }
    if (column != oldColumn) HideEditor();
    model_.SetFocus(displayRow, column);
    model_.ScrollIntoView(model_.focusRow(), model_.focusColumn());
    UpdateScrollBars();
    if (model_.focusColumn() != oldColumn && ChangeColumn) ChangeColumn(model_.focusColumn());
    if (openEditor) ShowEditor();
    PlaceEditor();
    InvalidateRect(hwnd(), nullptr, FALSE);
    return true;
}

bool Grid::MoveBy(Move move, bool keepEditor) {
    GridModel::Target t = model_.Navigate(move);
    return FocusCell(t.row, t.column, keepEditor && HasTextEditor(t.column));
}

bool Grid::AppendRow() {
    if (!source_ || !CommitEdit()) return false;
    // A new row nobody has touched yet is not followed by another.
    if (source_->State() == RowState::Insert && !source_->Modified()) return false;
    return AddRow(&GridDataSource::Append);
}

bool Grid::InsertRow() {
    if (!source_ || !CommitEdit()) return false;
    return AddRow(&GridDataSource::Insert);
}

bool Grid::AddRow(void (GridDataSource::*add)()) {
    HideEditor();
    try {
        (source_->*add)();
    } catch (const std::exception& e) {
        ShowError(e);
        return false;
    }
    SyncRows();
    FocusCell(Current(), model_.focusColumn());
    return true;
}

void Grid::DeleteRow() {
    if (!source_ || model_.RowCount() == 0 || !ConfirmDelete) return;
    if (!ConfirmDelete()) return;
    HideEditor();
    try {
        source_->Delete();
    } catch (const std::exception& e) {
        ShowError(e);
    }
    SyncRows();
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void Grid::ToggleCheck() {
    int col = model_.focusColumn();
    if (!source_ || col < 0 || model_.column(col).kind != ColumnKind::Check || model_.RowCount() == 0) return;
    std::string field = FieldOf(col);
    try {
        source_->SetValue(field, source_->Value(field) == "Y" ? "N" : "Y");
    } catch (const std::exception& e) {
        ShowError(e);
    }
    InvalidateRect(hwnd(), nullptr, FALSE);
}

// ---------------------------------------------------------------- popup

HWND Grid::PopupWindow() const { return popup_ ? popup_->hwnd() : nullptr; }

void Grid::OpenPopup() {
    int col = model_.focusColumn();
    if (!source_ || col < 0 || model_.column(col).kind != ColumnKind::Popup || model_.RowCount() == 0) return;
    auto it = popupControls_.find(col);
    if (it == popupControls_.end() || !IsWindow(it->second) || PopupOpen()) return;
    if (!CommitEdit()) return;
    HideEditor();
    HWND control = it->second;
    if (InitPopup) InitPopup(col);

    RECT cr;
    GetWindowRect(control, &cr);
    popupControlParent_ = GetParent(control);
    popupControlRect_ = cr;
    MapWindowPoints(nullptr, popupControlParent_, reinterpret_cast<POINT*>(&popupControlRect_), 2);
    int cw = cr.right - cr.left, ch = cr.bottom - cr.top;
    RECT frame{0, 0, cw, ch};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(popup_->hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(popup_->hwnd(), GWL_EXSTYLE)));
    int pw = frame.right - frame.left, ph = frame.bottom - frame.top;

    RECT cell = CellRect(model_.focusRow(), col);
    MapWindowPoints(hwnd(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoA(MonitorFromRect(&cell, MONITOR_DEFAULTTONEAREST), &mi)) work = mi.rcWork;
    int x = std::clamp(static_cast<int>(cell.left), static_cast<int>(work.left),
                       std::max(static_cast<int>(work.left), static_cast<int>(work.right) - pw));
    int y = cell.bottom;
    if (y + ph > work.bottom) y = cell.top - ph;  // no room below: above the cell

    SetWindowTextA(popup_->hwnd(), model_.column(col).HeaderText().c_str());
    SetParent(control, popup_->hwnd());
    MoveWindow(control, 0, 0, cw, ch, FALSE);
    ShowWindow(control, SW_SHOW);
    SetWindowSubclass(control, PopupControlProc, kPopupControlSubclass, reinterpret_cast<DWORD_PTR>(this));
    popupColumn_ = col;
    popupDataRow_ = source_->CurrentRow();
    popup_->Open();
    SetWindowPos(popup_->hwnd(), HWND_TOP, x, y, pw, ph, SWP_SHOWWINDOW);
    SetActiveWindow(popup_->hwnd());
    SetFocus(control);
}

void Grid::ClosePopup() {
    if (!PopupOpen()) return;
    popup_->MarkClosed();
    FinishPopup();
}

void Grid::FinishPopup() {
    if (popupColumn_ < 0) return;
    int col = popupColumn_;
    popupColumn_ = -1;
    HWND control = popupControls_[col];
    RemoveWindowSubclass(control, PopupControlProc, kPopupControlSubclass);
    ShowWindow(popup_->hwnd(), SW_HIDE);
    ShowWindow(control, SW_HIDE);
    SetParent(control, popupControlParent_);
    MoveWindow(control, popupControlRect_.left, popupControlRect_.top,
               popupControlRect_.right - popupControlRect_.left, popupControlRect_.bottom - popupControlRect_.top,
               FALSE);
    if (!source_) return;
    std::string field = FieldOf(col);
    std::string text = source_->Value(field);
    std::string before = text;
    bool accept = false;
    if (CloseUp) CloseUp(col, text, accept);
    // The text belongs to the row the popup was opened on.
    if (accept && text != before && source_->CurrentRow() == popupDataRow_) {
        try {
            source_->SetValue(field, text);
        } catch (const std::exception& e) {
            ShowError(e);
        }
    }
    HWND root = GetAncestor(hwnd(), GA_ROOT);
    if (GetForegroundWindow() == root || GetActiveWindow() == root) SetFocus(hwnd());
    InvalidateRect(hwnd(), nullptr, FALSE);
}

LRESULT CALLBACK Grid::PopupControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<Grid*>(ref);
    if (msg == WM_KEYDOWN && (wp == VK_ESCAPE || wp == VK_RETURN)) {
        win::Guarded(hwnd, [&] { self->popup_->RequestClose(); });
        return 0;
    }
    if (msg == WM_GETDLGCODE) return DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// ---------------------------------------------------------------- row drag

void Grid::StartRowDrag() {
    // A pending edit is saved before the row leaves its place.
    if (!CommitEdit()) {
        track_ = Track::None;
        ReleaseCapture();
        return;
    }
    HideEditor();
    if (source_ && source_->State() != RowState::Browse) {
        try {
            source_->Post();
        } catch (const std::exception& e) {
            track_ = Track::None;
            ReleaseCapture();
            ShowError(e);
            return;
        }
    }
    track_ = Track::RowDrag;
    SetTimer(hwnd(), kAutoScrollTimer, 60, nullptr);
}

void Grid::DragOverAt(POINT screen) {
    lastDragPoint_ = screen;
    HWND target = WindowFromPoint(screen);
    bool accept = true;
    if (DragOver) DragOver(target, kTypeName, screen, accept);
    SetCursor(LoadCursor(nullptr, accept ? IDC_ARROW : IDC_NO));
}

void Grid::EndRowDrag() {
    KillTimer(hwnd(), kAutoScrollTimer);
    track_ = Track::None;
}

// ---------------------------------------------------------------- keyboard

bool Grid::KeyDown(WPARAM key, bool fromEditor) {
    bool ctrl = KeyIsDown(VK_CONTROL), shift = KeyIsDown(VK_SHIFT), alt = KeyIsDown(VK_MENU);
    bool keep = fromEditor && EditorVisible();
    int col = model_.focusColumn();
    bool isPopup = col >= 0 && model_.column(col).kind == ColumnKind::Popup;
    switch (key) {
        case VK_TAB: MoveBy(shift ? Move::BackTab : Move::Tab, keep); return true;
        case VK_LEFT: MoveBy(Move::Left, keep); return true;
        case VK_RIGHT: MoveBy(Move::Right, keep); return true;
        case VK_UP:
            if (alt && isPopup) {
                OpenPopup();
                return true;
            }
            MoveBy(Move::Up, keep);
            return true;
        case VK_DOWN:
            if (alt && isPopup) {
                OpenPopup();
                return true;
            }
            if (model_.focusRow() >= model_.RowCount() - 1) {
                // Down past the last row starts a new one.
                AppendRow();
                return true;
            }
            MoveBy(Move::Down, keep);
            return true;
        case VK_PRIOR: MoveBy(Move::PageUp, keep); return true;
        case VK_NEXT: MoveBy(Move::PageDown, keep); return true;
        case VK_HOME: MoveBy(ctrl ? Move::First : Move::Home, keep); return true;
        case VK_END: MoveBy(ctrl ? Move::Last : Move::End, keep); return true;
        case VK_F4:
            if (isPopup) OpenPopup();
            return true;
        case VK_F2: ShowEditor(); return true;
        case VK_RETURN:
            if (EditorVisible()) {
                if (CommitEdit()) HideEditor();
            } else if (col >= 0 && model_.column(col).kind == ColumnKind::Check) {
                ToggleCheck();
            } else if (isPopup && model_.column(col).noTextCursor) {
                OpenPopup();
            } else {
                ShowEditor();
            }
            return true;
        case VK_ESCAPE:
            if (EditorVisible()) {
                HideEditor();
            } else if (source_ && source_->State() != RowState::Browse) {
                try {
                    source_->Cancel();
                } catch (const std::exception& e) {
                    ShowError(e);
                }
                SyncRows();
            }
            InvalidateRect(hwnd(), nullptr, FALSE);
            return true;
        case VK_INSERT:
            if (!ctrl && !shift) InsertRow();
            return true;
        case VK_DELETE:
            if (ctrl) DeleteRow();
            return ctrl;
        case VK_SPACE:
            if (!fromEditor && col >= 0 && model_.column(col).kind == ColumnKind::Check) {
                ToggleCheck();
                return true;
            }
            return false;
        default: return false;
    }
}

LRESULT CALLBACK Grid::EditorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<Grid*>(ref);
    bool handled = false;
    LRESULT result = 0;
    if (!win::Guarded(hwnd, [&] { result = self->OnEditorMessage(hwnd, msg, wp, lp, handled); })) handled = false;
    if (handled) return result;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT Grid::OnEditorMessage(HWND editor, UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    switch (msg) {
        case WM_GETDLGCODE:
            handled = true;
            return DefSubclassProc(editor, msg, wp, lp) | DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTTAB;
        case WM_CHAR:
            if (wp == VK_TAB || wp == VK_RETURN || wp == VK_ESCAPE) {
                handled = true;  // no beep: the key was handled at WM_KEYDOWN
                return 0;
            }
            if (editor == edit_ && !settingEditorText_) editorModified_ = true;
            return 0;
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
            if (editor == edit_) editorModified_ = true;
            return 0;
        case WM_KILLFOCUS: {
            // Focus leaving for another window keeps the typed text as the
            // row's edit value; nothing is posted.
            HWND to = reinterpret_cast<HWND>(wp);
            bool inside = to == hwnd() || (to && (IsChild(hwnd(), to) || to == PopupWindow()));
            if (!inside && editorModified_ && source_) {
                try {
                    source_->SetValue(FieldOf(editorColumn_), EditorText());
                    editorModified_ = false;
                } catch (const std::exception&) {
                    // Not a valid value yet: the text stays in the editor.
                }
            }
            return 0;
        }
        case WM_KEYDOWN: {
            bool comboDropped = editor == combo_ && SendMessageA(combo_, CB_GETDROPPEDSTATE, 0, 0);
            bool ctrl = KeyIsDown(VK_CONTROL);
            switch (wp) {
                case VK_TAB:
                case VK_PRIOR:
                case VK_NEXT:
                    handled = KeyDown(wp, true);
                    return 0;
                case VK_ESCAPE:
                case VK_RETURN:
                    if (comboDropped) return 0;
                    handled = KeyDown(wp, true);
                    return 0;
                case VK_UP:
                case VK_DOWN:
                    if (comboDropped || KeyIsDown(VK_MENU)) {
                        if (editor != combo_) handled = KeyDown(wp, true);
                        return 0;
                    }
                    handled = KeyDown(wp, true);
                    return 0;
                case VK_HOME:
                case VK_END:
                    if (ctrl) handled = KeyDown(wp, true);
                    return 0;
                case VK_F4:
                    if (editor == edit_) handled = KeyDown(wp, true);
                    return 0;
                case VK_LEFT:
                case VK_RIGHT: {
                    if (editor == combo_) {
                        handled = KeyDown(wp, true);
                        return 0;
                    }
                    DWORD start = 0, end = 0;
                    SendMessageA(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
                    DWORD len = static_cast<DWORD>(GetWindowTextLengthA(edit_));
                    bool all = start == 0 && end == len;
                    bool atEdge = wp == VK_LEFT ? (end == 0 || all) : (start == len || all);
                    if (atEdge && !KeyIsDown(VK_SHIFT)) handled = KeyDown(wp, true);
                    return 0;
                }
                case VK_DELETE:
                    if (editor == edit_) editorModified_ = true;
                    return 0;
                default:
                    return 0;
            }
        }
        default:
            return 0;
    }
}

// ---------------------------------------------------------------- painting

void Grid::PaintTo(HDC target) {
    RECT rc;
    GetClientRect(hwnd(), &rc);
    int w = std::max<LONG>(1, rc.right), h = std::max<LONG>(1, rc.bottom);
    if (!backBuffer_ || backWidth_ != w || backHeight_ != h) {
        backBuffer_.reset(CreateCompatibleBitmap(target, w, h));
        backWidth_ = w;
        backHeight_ = h;
    }
    HDC mem = CreateCompatibleDC(target);
    if (!mem) return;
    {
        win::SelectGuard g(mem, backBuffer_.get());
        Draw(mem);
        BitBlt(target, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    }
    DeleteDC(mem);
}

void Grid::Draw(HDC dc) {
    const Metrics& m = model_.metrics();
    RECT all{0, 0, backWidth_, backHeight_};
    FillSolid(dc, all, GetSysColor(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    win::SelectGuard fontGuard(dc, font_);
    COLORREF gridLine = RGB(192, 192, 192);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);

    int rows = model_.RowCount();
    int first = model_.topRow();
    int last = std::min(rows, first + model_.VisibleRowCount() + 1);
    int bandRight = m.indicatorWidth - model_.scrollX() + model_.BandWidth();

    // Rows: cells, preview line, indicator.
    for (int r = first; r < last; ++r) {
        for (int c : model_.VisibleColumns()) DrawCell(dc, r, c);
        Rect pr = model_.PreviewRect(r);
        if (pr.Height() > 0) {
            RECT prc = ToRECT(pr);
            if (source_) {
                std::string text = source_->CellText(model_.DataRow(r), previewField_);
                RECT tr{prc.left + 16, prc.top, prc.right - 2, prc.bottom};
                SetTextColor(dc, RGB(0, 0, 160));
                DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                          DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            }
            if (model_.options().showPreviewGrid) Line(dc, prc.left, prc.bottom - 1, prc.right, prc.bottom - 1, gridLine);
        }
        Rect ir = model_.IndicatorRect(r);
        RECT irc = ToRECT(ir);
        FillSolid(dc, irc, face);
        Line(dc, irc.right - 1, irc.top, irc.right - 1, irc.bottom, shadow);
        Line(dc, irc.left, irc.bottom - 1, irc.right, irc.bottom - 1, shadow);
        if (r == model_.focusRow()) {
            int cy = ir.top + m.rowHeight / 2;
            RowState st = source_ ? source_->State() : RowState::Browse;
            SetTextColor(dc, RGB(0, 0, 0));
            if (st == RowState::Browse) {
                Triangle(dc, ir.left + 6, cy, 4, 2, RGB(0, 0, 0));
            } else {
                const char* mark = st == RowState::Insert ? "*" : "I";
                RECT tr{ir.left, ir.top, ir.right - 1, ir.top + m.rowHeight};
                DrawTextA(dc, mark, 1, &tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
            }
        }
    }

    // Header.
    RECT corner{0, 0, m.indicatorWidth, m.headerHeight};
    FillSolid(dc, corner, face);
    DrawEdge(dc, &corner, BDR_RAISEDINNER, BF_RECT);
    for (int c : model_.VisibleColumns()) {
        RECT hr = ToRECT(model_.HeaderRect(c));
        FillSolid(dc, hr, face);
        DrawEdge(dc, &hr, BDR_RAISEDINNER, BF_RECT);
        const Column& col = model_.column(c);
        RECT tr{hr.left + 3, hr.top, hr.right - 3, hr.bottom};
        if (col.sort != SortMark::None) {
            tr.right -= 12;
            Triangle(dc, hr.right - 9, (hr.top + hr.bottom) / 2, 4, col.sort == SortMark::Up ? 1 : 0, shadow);
        }
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        const std::string& text = col.HeaderText();
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (bandRight < backWidth_) {
        RECT rest{bandRight, 0, backWidth_, m.headerHeight};
        FillSolid(dc, rest, face);
        Line(dc, rest.left, rest.bottom - 1, rest.right, rest.bottom - 1, shadow);
    }
}

void Grid::DrawCell(HDC dc, int row, int column) {
    const Column& col = model_.column(column);
    Rect r = model_.CellRect(row, column);
    RECT rc = ToRECT(r);
    int dataRow = model_.DataRow(row);
    std::string text = source_ ? source_->CellText(dataRow, col.field) : std::string();
    bool focusedCell = row == model_.focusRow() && column == model_.focusColumn();
    bool hasFocus = GetFocus() == hwnd();
    COLORREF bg = GetSysColor(COLOR_WINDOW);
    COLORREF fg = GetSysColor(COLOR_WINDOWTEXT);
    if (row == model_.focusRow()) bg = RGB(232, 238, 250);
    if (focusedCell && hasFocus && !EditorVisible()) {
        bg = GetSysColor(COLOR_HIGHLIGHT);
        fg = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    if (CustomDrawCell) CustomDrawCell(column, dataRow, text, bg, fg);
    FillSolid(dc, rc, bg);
    SetTextColor(dc, fg);

    int buttons = model_.ButtonCount(column);
    RECT tr{rc.left + 3, rc.top, rc.right - 2, rc.bottom};
    if (buttons > 0) tr.right = model_.ButtonRect(row, column, 0).left - 1;
    if (col.kind == ColumnKind::Check) {
        RECT box = ToRECT(model_.CheckRect(row, column));
        DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (text == "Y" ? DFCS_CHECKED : 0));
    } else {
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    for (int b = 0; b < buttons; ++b) {
        RECT br = ToRECT(model_.ButtonRect(row, column, b));
        DrawFrameControl(dc, &br, DFC_BUTTON, DFCS_BUTTONPUSH);
        ButtonGlyph glyph = col.kind == ColumnKind::Button ? col.buttons[static_cast<size_t>(b)] : ButtonGlyph::DownArrow;
        int cx = (br.left + br.right) / 2, cy = (br.top + br.bottom) / 2;
        COLORREF ink = GetSysColor(COLOR_BTNTEXT);
        if (glyph == ButtonGlyph::DownArrow) {
            Triangle(dc, cx, cy, 3, 0, ink);
        } else {
            for (int d = -3; d <= 3; d += 3) {
                RECT dot{cx + d - 1, cy + 2, cx + d + 1, cy + 4};
                FillSolid(dc, dot, ink);
            }
        }
    }
    if (model_.options().showGrid) {
        Line(dc, rc.right - 1, rc.top, rc.right - 1, rc.bottom, RGB(192, 192, 192));
        Line(dc, rc.left, rc.bottom - 1, rc.right, rc.bottom - 1, RGB(224, 224, 224));
    }
}

// ---------------------------------------------------------------- layout

void Grid::ApplyLayout(const GridLayoutDesc& layout) {
    HideEditor();
    model_.ApplyLayout(layout);
    SyncRows();
    Layout();
}

// ---------------------------------------------------------------- messages

LRESULT Grid::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            win::PaintDC pdc(hwnd());
            PaintTo(pdc.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
        case WM_SETFOCUS:
            if (EditorVisible()) SetFocus(activeEditor_);
            InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        case WM_KILLFOCUS: InvalidateRect(hwnd(), nullptr, FALSE); return 0;
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lp) == combo_ && HIWORD(wp) == CBN_SELCHANGE) editorModified_ = true;
            if (reinterpret_cast<HWND>(lp) == edit_ && HIWORD(wp) == EN_CHANGE && !settingEditorText_)
                editorModified_ = true;
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (KeyDown(wp, false)) return 0;
            break;
        case WM_CHAR: {
            int col = model_.focusColumn();
            unsigned char ch = static_cast<unsigned char>(wp);
            if (ch >= 32 && col >= 0 && HasTextEditor(col) && model_.column(col).kind != ColumnKind::PickList &&
                model_.RowCount() > 0) {
                // Typing into a cell starts its editor with what was typed;
                // into an open editor it goes on where the text is.
                bool open = EditorVisible() && editorColumn_ == col;
                ShowEditor();
                if (activeEditor_ == edit_) {
                    if (!open) SetWindowTextA(edit_, "");
                    SetFocus(edit_);
                    SendMessageA(edit_, WM_CHAR, wp, lp);
                }
            } else if (ch >= 32 && model_.RowCount() == 0 && source_) {
                // Typing into an empty grid starts its first row.
                if (AppendRow() && HasTextEditor(model_.focusColumn())) SendMessageA(hwnd(), WM_CHAR, wp, lp);
            }
            return 0;
        }
        case WM_VSCROLL: {
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_ALL;
            GetScrollInfo(hwnd(), SB_VERT, &si);
            int top = model_.topRow();
            switch (LOWORD(wp)) {
                case SB_LINEUP: --top; break;
                case SB_LINEDOWN: ++top; break;
                case SB_PAGEUP: top -= std::max(1, model_.VisibleRowCount()); break;
                case SB_PAGEDOWN: top += std::max(1, model_.VisibleRowCount()); break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: top = si.nTrackPos; break;
                case SB_TOP: top = 0; break;
                case SB_BOTTOM: top = model_.MaxTopRow(); break;
                default: break;
            }
            model_.SetTopRow(top);
            UpdateScrollBars();
            PlaceEditor();
            InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        }
        case WM_HSCROLL: {
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_ALL;
            GetScrollInfo(hwnd(), SB_HORZ, &si);
            int x = model_.scrollX();
            switch (LOWORD(wp)) {
                case SB_LINELEFT: x -= 16; break;
                case SB_LINERIGHT: x += 16; break;
                case SB_PAGELEFT: x -= model_.clientWidth(); break;
                case SB_PAGERIGHT: x += model_.clientWidth(); break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: x = si.nTrackPos; break;
                default: break;
            }
            model_.SetScrollX(x);
            UpdateScrollBars();
            PlaceEditor();
            InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            int delta = GET_WHEEL_DELTA_WPARAM(wp);
            model_.SetTopRow(model_.topRow() - delta / WHEEL_DELTA * 3);
            UpdateScrollBars();
            PlaceEditor();
            InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT) {
                POINT p;
                GetCursorPos(&p);
                ScreenToClient(hwnd(), &p);
                if (track_ == Track::Width || model_.HitTest(p.x, p.y).area == HitArea::HeaderDivider) {
                    SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
                    return TRUE;
                }
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
            if (GetFocus() != hwnd() && !(EditorVisible() && GetFocus() == activeEditor_)) SetFocus(hwnd());
            Hit hit = model_.HitTest(x, y);
            switch (hit.area) {
                case HitArea::HeaderDivider:
                    track_ = Track::Width;
                    trackColumn_ = hit.column;
                    trackStartX_ = x;
                    trackStartWidth_ = model_.column(hit.column).width;
                    SetCapture(hwnd());
                    break;
                case HitArea::Header:
                    track_ = Track::Header;
                    trackColumn_ = hit.column;
                    SetCapture(hwnd());
                    break;
                case HitArea::Indicator:
                case HitArea::Preview:
                    if (FocusCell(hit.row, model_.focusColumn())) {
                        track_ = Track::RowArmed;
                        trackStartX_ = x;
                        trackStartY_ = y;
                        SetCapture(hwnd());
                    }
                    break;
                case HitArea::Cell: {
                    const Column& c = model_.column(hit.column);
                    bool popupNow = c.kind == ColumnKind::Popup && c.noTextCursor;
                    if (!FocusCell(hit.row, hit.column, !popupNow)) break;
                    if (popupNow) {
                        OpenPopup();
                    } else if (activeEditor_ == edit_) {
                        // Put the caret where the click was.
                        POINT p{x, y};
                        MapWindowPoints(hwnd(), edit_, &p, 1);
                        SendMessageA(edit_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
                        SendMessageA(edit_, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
                    } else if (activeEditor_ == combo_) {
                        SendMessageA(combo_, CB_SHOWDROPDOWN, TRUE, 0);
                    }
                    break;
                }
                case HitArea::CellButton: {
                    if (!FocusCell(hit.row, hit.column)) break;
                    const Column& c = model_.column(hit.column);
                    if (c.kind == ColumnKind::Popup) {
                        OpenPopup();
                    } else if (ButtonClick) {
                        ButtonClick(hit.column, hit.button);
                        InvalidateRect(hwnd(), nullptr, FALSE);
                    }
                    break;
                }
                case HitArea::CheckBox:
                    if (FocusCell(hit.row, hit.column)) ToggleCheck();
                    break;
                case HitArea::Nothing: break;
            }
            return 0;
        }
        case WM_MOUSEMOVE: {
            int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
            if (track_ == Track::Width) {
                model_.SetColumnWidth(trackColumn_, trackStartWidth_ + x - trackStartX_);
                UpdateScrollBars();
                PlaceEditor();
                InvalidateRect(hwnd(), nullptr, FALSE);
            } else if (track_ == Track::RowArmed) {
                if (std::abs(x - trackStartX_) > GetSystemMetrics(SM_CXDRAG) ||
                    std::abs(y - trackStartY_) > GetSystemMetrics(SM_CYDRAG))
                    StartRowDrag();
            }
            if (track_ == Track::RowDrag) {
                POINT p{x, y};
                ClientToScreen(hwnd(), &p);
                DragOverAt(p);
            }
            return 0;
        }
        case WM_TIMER:
            if (wp == kAutoScrollTimer && track_ == Track::RowDrag) {
                POINT p = lastDragPoint_;
                ScreenToClient(hwnd(), &p);
                int edge = model_.metrics().rowHeight;
                int top = model_.topRow();
                if (p.y >= 0 && p.y < model_.metrics().headerHeight + edge) model_.SetTopRow(top - 1);
                else if (p.y > model_.clientHeight() - edge && p.y < model_.clientHeight() + edge) model_.SetTopRow(top + 1);
                if (model_.topRow() != top) {
                    UpdateScrollBars();
                    InvalidateRect(hwnd(), nullptr, FALSE);
                }
                return 0;
            }
            break;
        case WM_LBUTTONUP: {
            int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
            Track was = track_;
            int col = trackColumn_;
            track_ = Track::None;
            if (GetCapture() == hwnd()) ReleaseCapture();
            if (was == Track::Header) {
                Hit hit = model_.HitTest(x, y);
                if (hit.area == HitArea::Header && hit.column == col && CommitEdit()) {
                    model_.ToggleSort(col);
                    SyncRows();
                    model_.ScrollIntoView(model_.focusRow(), -1);
                    UpdateScrollBars();
                    PlaceEditor();
                    InvalidateRect(hwnd(), nullptr, FALSE);
                }
            } else if (was == Track::RowDrag) {
                EndRowDrag();
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (track_ == Track::RowDrag) EndRowDrag();
            track_ = Track::None;
            return 0;
        case kMsgResort:
            if (resortPending_) {
                resortPending_ = false;
                SyncRows();
                UpdateScrollBars();
                PlaceEditor();
                InvalidateRect(hwnd(), nullptr, FALSE);
            }
            return 0;
        case kMsgPopupClosed:
            FinishPopup();
            return 0;
        default: break;
    }
    return Default(msg, wp, lp);
}

}  // namespace qv::grid
