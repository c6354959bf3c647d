// The grid's keyboard and mouse: keys on the grid and in its editors, clicks
// on headers, cells, buttons and check boxes, column width dragging, header
// sorting and row dragging.
#include "ui/grid/Grid.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "ui/grid/GridInternal.h"
#include "win/Desktop.h"

namespace qv::grid {

// ---------------------------------------------------------------- keyboard

bool Grid::KeyDown(WPARAM key, bool fromEditor) {
    bool ctrl = KeyIsDown(VK_CONTROL), shift = KeyIsDown(VK_SHIFT), alt = KeyIsDown(VK_MENU);
    bool keep = fromEditor && EditorVisible();
    int col = model_.focusColumn();
    bool isPopup = col >= 0 && model_.column(col).kind == ColumnKind::Popup;
    // With Alt only the drop-downs: the rest (Alt+F4, the mnemonics) is the
    // system's and the window's.
    if (alt) return (key == VK_DOWN || key == VK_UP) && DropDown();
    switch (key) {
        case VK_TAB: {
            const Move move = shift ? Move::BackTab : Move::Tab;
            const GridModel::Target t = model_.Navigate(move);
            const bool atEnd = t.row == model_.focusRow() && t.column == model_.focusColumn();
            if (ctrl || readOnly_ || atEnd || model_.RowCount() == 0)
                LeaveGrid(shift);
            else
                MoveBy(move, keep);
            return true;
        }
        case VK_LEFT: MoveBy(Move::Left, keep); return true;
        case VK_RIGHT: MoveBy(Move::Right, keep); return true;
        case VK_UP: MoveBy(Move::Up, keep); return true;
        case VK_DOWN:
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
        case VK_F4: DropDown(); return true;
        case VK_F2: ShowEditor(); return true;
        case VK_RETURN:
            if (ctrl && PressFirstButton()) return true;
            // Enter opens the focused cell's editor; a check box has none (the
            // space bar and a click change it).
            if (EditorVisible()) {
                if (CommitEdit()) HideEditor();
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
                Attempt([&] { source_->Cancel(); });
                SyncRows();
            }
            Invalidate();
            return true;
        case VK_INSERT:
            if (!ctrl && !shift) InsertRow();
            return true;
        case VK_DELETE:
            if (ctrl || readOnly_) DeleteRow();
            return ctrl || readOnly_;
        case VK_SPACE:
            if (!fromEditor && col >= 0 && model_.column(col).kind == ColumnKind::Check) {
                ToggleCheck();
                return true;
            }
            return false;
        default: return false;
    }
}

bool Grid::DropDown() {
    const int col = model_.focusColumn();
    if (col < 0 || !source_ || readOnly_ || model_.RowCount() == 0) return false;
    const Column& c = model_.column(col);
    switch (c.kind) {
        case ColumnKind::Popup:
            OpenPopup();
            return true;
        case ColumnKind::PickList:
            ShowEditor();
            if (activeEditor_ != combo_) return false;
            SetFocus(combo_);
            SendMessageA(combo_, CB_SHOWDROPDOWN, TRUE, 0);
            return true;
        case ColumnKind::Button:
            for (size_t b = 0; b < c.buttons.size(); ++b) {
                if (c.buttons[b] != ButtonGlyph::DownArrow) continue;
                if (!CommitEdit()) return true;
                if (ButtonClick) ButtonClick(col, static_cast<int>(b));
                Invalidate();
                return true;
            }
            return false;
        default:
            return false;
    }
}

bool Grid::PressFirstButton() {
    const int col = model_.focusColumn();
    if (col < 0 || !source_ || readOnly_ || model_.RowCount() == 0) return false;
    const Column& c = model_.column(col);
    if (c.kind != ColumnKind::Button || c.buttons.empty()) return false;
    if (!CommitEdit()) return true;
    HideEditor();
    if (ButtonClick) ButtonClick(col, 0);
    Invalidate();
    return true;
}

// The text typed reaches the row first; a text the row refuses keeps the
// focus in the editor with the error said.
void Grid::LeaveGrid(bool backward) {
    if (!CommitEdit()) return;
    HideEditor();
    const HWND root = win::TopLevelOf(hwnd());
    const HWND next = GetNextDlgTabItem(root, hwnd(), backward ? TRUE : FALSE);
    if (next && next != hwnd()) SetFocus(next);
    Invalidate();
}

// Typing into a cell starts its editor with what was typed; into an open
// editor it goes on where the text is. Typing into an empty grid starts its
// first row.
void Grid::OnChar(WPARAM wp, LPARAM lp) {
    int col = model_.focusColumn();
    unsigned char ch = static_cast<unsigned char>(wp);
    if (ch < 32) return;
    if (col >= 0 && HasTextEditor(col) && model_.column(col).kind != ColumnKind::PickList && model_.RowCount() > 0) {
        bool open = EditorVisible() && editorColumn_ == col;
        ShowEditor();
        if (activeEditor_ == edit_) {
            if (!open) SetWindowTextA(edit_, "");
            SetFocus(edit_);
            SendMessageA(edit_, WM_CHAR, wp, lp);
        }
    } else if (model_.RowCount() == 0 && source_) {
        if (AppendRow() && HasTextEditor(model_.focusColumn())) SendMessageA(hwnd(), WM_CHAR, wp, lp);
    }
}

// ---------------------------------------------------------------- mouse

// The sizing cursor over a header edge and while a width is dragged.
bool Grid::OnSetCursor(int hitTest) {
    if (hitTest != HTCLIENT) return false;
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(hwnd(), &p);
    if (track_ != Track::Width && model_.HitTest(p.x, p.y).area != HitArea::HeaderDivider) return false;
    SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
    return true;
}

void Grid::OnLButtonDown(int x, int y) {
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
        case HitArea::Cell: ClickCell(hit, x, y); break;
        case HitArea::CellButton: ClickButton(hit); break;
        case HitArea::CheckBox:
            if (FocusCell(hit.row, hit.column)) ToggleCheck();
            break;
        case HitArea::Nothing: break;
    }
}

// A click into a cell opens its editor with the cell's text selected, so
// that typing replaces it, as in the grids of Windows (a click into the open
// editor puts the caret there); it drops a pick list down, or opens a popup
// that has no text cursor.
void Grid::ClickCell(const Hit& hit, int, int) {
    const Column& c = model_.column(hit.column);
    bool popupNow = c.kind == ColumnKind::Popup && c.noTextCursor;
    if (!FocusCell(hit.row, hit.column, !popupNow)) return;
    if (popupNow) {
        OpenPopup();
    } else if (activeEditor_ == combo_) {
        SendMessageA(combo_, CB_SHOWDROPDOWN, TRUE, 0);
    }
}

void Grid::ClickButton(const Hit& hit) {
    if (!FocusCell(hit.row, hit.column)) return;
    if (model_.column(hit.column).kind == ColumnKind::Popup) {
        OpenPopup();
    } else if (ButtonClick) {
        ButtonClick(hit.column, hit.button);
        Invalidate();
    }
}

void Grid::OnMouseMove(int x, int y) {
    if (track_ == Track::Width) {
        model_.SetColumnWidth(trackColumn_, trackStartWidth_ + x - trackStartX_);
        Refresh();
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
}

// A press and release on the same header sorts by that column.
void Grid::OnLButtonUp(int x, int y) {
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
            Refresh();
        }
    } else if (was == Track::RowDrag) {
        EndRowDrag();
    }
}

void Grid::OnCaptureChanged() {
    if (track_ == Track::RowDrag) EndRowDrag();
    track_ = Track::None;
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

}  // namespace qv::grid
