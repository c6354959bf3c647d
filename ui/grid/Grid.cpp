#include "ui/grid/Grid.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "ui/grid/GridInternal.h"
#include "win/Desktop.h"

namespace qv::grid {

namespace {

constexpr int kEditorId = 1;
constexpr int kComboId = 2;

}  // namespace

Grid::Grid(win::Dpi dpi) : dpi_(dpi) {}

Grid::~Grid() {
    if (source_) source_->SetListener(nullptr);
    if (popupColumn_ >= 0) {
        auto it = popupControls_.find(popupColumn_);
        if (it != popupControls_.end() && IsWindow(it->second)) {
            popupControlHook_.Remove();
            ShowWindow(it->second, SW_HIDE);
            SetParent(it->second, popupControlParent_);
        }
    }
    // The editors' hooks point at members that go before the base class
    // destroys the window: unhook them and destroy the window while they live.
    editHook_.Remove();
    comboHook_.Remove();
    activeEditor_ = nullptr;
    if (hwnd()) DestroyWindow(hwnd());
}

HWND Grid::Create(HWND parent, int id, int x, int y, int width, int height) {
    // No scroll bars at first: setting the ranges shows each bar the rows or
    // columns need, instead of making both and taking back the unneeded.
    HWND h = CreateWin(kClassName, WS_EX_CLIENTEDGE,
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                       "", x, y,
                       width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), 0,
                       nullptr);
    if (!h) throw std::runtime_error("Gitter kann nicht erzeugt werden");
    SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    return h;
}

// The in-place editors and the popup window come when first needed: a grid
// that is only looked at shows sooner.
void Grid::CreateEditors() {
    if (edit_ || !hwnd()) return;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL | ES_LEFT, 0, 0, 10, 10, hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditorId)), inst, nullptr);
    combo_ = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 10, 100, hwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)), inst, nullptr);
    auto editorProc = [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return EditorProc(w, m, wp, lp); };
    editHook_.Install(edit_, editorProc);
    comboHook_.Install(combo_, editorProc);
    SetFont(font_);
}

void Grid::CreatePopupWindow() {
    if (popup_ || !hwnd()) return;
    popup_ = std::make_unique<class PopupWindow>(this);
    popup_->Create(win::TopLevelOf(hwnd()));
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
    m.rowHeight = std::max(fontHeight + 4, dpi_.Scale(16));
    m.headerHeight = fontHeight + 6;
    m.previewHeight = previewField_.empty() ? 0 : fontHeight + 2;
    m.buttonWidth = std::max(dpi_.Scale(16), fontHeight + 3);
    m.checkSize = std::min(dpi_.Scale(13), m.rowHeight - 2);
    m.indicatorWidth = dpi_.Scale(12);
    m.dividerSlop = dpi_.Scale(3);
    model_.SetMetrics(m);
    {
        win::WindowDC dc(hwnd());
        win::SelectGuard g(dc.get(), font_);
        FitColumnsToText(dc.get(), m);
    }
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
    Invalidate();
}

// A column that names its widest text is never narrower than that text with
// the cell's margins and buttons, whatever width was designed, stored or
// dragged: a date or time is never cut.
void Grid::FitColumnsToText(HDC dc, const Metrics& m) {
    for (int c = 0; c < model_.ColumnCount(); ++c) {
        Column& col = model_.column(c);
        if (col.widestText.empty()) continue;
        RECT r{};
        DrawTextA(dc, col.widestText.c_str(), static_cast<int>(col.widestText.size()), &r,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        const int need = (r.right - r.left) + dpi_.Scale(3) + 3 + model_.ButtonCount(c) * m.buttonWidth;
        col.minWidth = std::max(col.minWidth, need);
        if (col.width < col.minWidth) model_.SetColumnWidth(c, col.minWidth);
    }
}

void Grid::Invalidate() {
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void Grid::Reload() {
    SyncRows();
    Layout();
}

void Grid::ApplyLayout(const GridLayoutDesc& layout) {
    HideEditor();
    model_.ApplyLayout(layout);
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

// The editor and the popup stay with their row when rereading moves it (a
// tick posts a new row, which then takes its place in row order), and the row
// stays focused and in view; another row made current ends the editor.
void Grid::SyncCurrent() {
    int row = Current();
    if (row >= 0) model_.SetFocus(row, model_.focusColumn());
    if (EditorVisible()) {
        if (source_ && source_->IsCurrentRow(editorRowKey_))
            editorDataRow_ = source_->CurrentRow();
        else
            HideEditor();
    }
    model_.ScrollIntoView(model_.focusRow(), -1);
    if (PopupOpen() && source_ && source_->IsCurrentRow(popupRowKey_)) PlacePopup(SWP_NOACTIVATE);
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
            break;
        case SourceChange::Current:
            SyncCurrent();
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
    Refresh();
}

void Grid::ShowError(const std::exception& e) { win::ShowGeneralError(hwnd(), e.what()); }

bool Grid::Attempt(const std::function<void()>& change) {
    try {
        change();
        return true;
    } catch (const std::exception& e) {
        ShowError(e);
        return false;
    }
}

// ---------------------------------------------------------------- messages

LRESULT Grid::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK) TrackHint(msg, wp, lp);
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: OnPaint(); return 0;
        case WM_PRINTCLIENT: PaintTo(reinterpret_cast<HDC>(wp)); return 0;
        case WM_SIZE: Layout(); return 0;
        // A read-only grid has nothing to go to with Tab: the dialog
        // navigation takes it on to the next control.
        case WM_GETDLGCODE:
            return readOnly_ ? DLGC_WANTARROWS | DLGC_WANTCHARS
                             : DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
        case WM_SETFOCUS: OnSetFocus(); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
        case WM_KILLFOCUS: Invalidate(); return 0;
        case WM_COMMAND: OnCommand(wp, lp); return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (KeyDown(wp, false)) {
                TellSystemOfKey(hwnd(), msg, wp, lp);
                return 0;
            }
            break;
        case WM_CHAR: OnChar(wp, lp); return 0;
        case WM_VSCROLL: OnScroll(SB_VERT, LOWORD(wp)); return 0;
        case WM_HSCROLL: OnScroll(SB_HORZ, LOWORD(wp)); return 0;
        case WM_MOUSEWHEEL: OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wp)); return 0;
        case WM_SETCURSOR:
            if (OnSetCursor(LOWORD(lp))) return TRUE;
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: OnLButtonDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
        case WM_MOUSEMOVE: OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
        case WM_LBUTTONUP: OnLButtonUp(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
        case WM_TIMER:
            if (OnTimer(wp)) return 0;
            break;
        case WM_CAPTURECHANGED: OnCaptureChanged(); return 0;
        case kMsgResort: OnResort(); return 0;
        case kMsgPopupClosed: FinishPopup(wp != 0); return 0;
        default: break;
    }
    return Default(msg, wp, lp);
}

void Grid::OnSetFocus() {
    if (EditorVisible()) SetFocus(activeEditor_);
    Invalidate();
}

// Notifications of the in-place editors.
void Grid::OnCommand(WPARAM wp, LPARAM lp) {
    HWND from = reinterpret_cast<HWND>(lp);
    if (from == combo_ && HIWORD(wp) == CBN_SELCHANGE) editorModified_ = true;
    if (from == edit_ && HIWORD(wp) == EN_CHANGE && !settingEditorText_) editorModified_ = true;
}

// The rows changed while sorted: sorted again once the source's call is over.
void Grid::OnResort() {
    if (!resortPending_) return;
    resortPending_ = false;
    SyncRows();
    Refresh();
}

}  // namespace qv::grid
