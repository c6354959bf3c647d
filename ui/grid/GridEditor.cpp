// The grid's in-place editing: the edit field or pick list over the focused
// cell, moving the focus between cells and rows, and the row operations
// (append, insert, delete, check-box toggle) through the data source.
#include "ui/grid/Grid.h"

#include <algorithm>
#include <string>

#include "ui/grid/GridInternal.h"

namespace qv::grid {

namespace {

std::string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(hwnd, s.data(), n + 1);
    s.resize(static_cast<size_t>(std::max(0, n)));
    return s;
}

}  // namespace

bool Grid::HasTextEditor(int column) const {
    if (column < 0 || readOnly_) return false;
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
    editorRowKey_ = source_->CurrentRowKey();
    editorModified_ = false;
    CreateEditors();
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
    Invalidate();
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
        // Inside the focus frame the cell keeps around it.
        const int f = FocusFrame();
        MoveWindow(edit_, r.left + f, r.top + f, std::max(1, r.Width() - 2 * f),
                   std::max(1, r.Height() - 2 * f), TRUE);
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
    Invalidate();
}

bool Grid::CommitEdit() {
    if (!activeEditor_ || !source_) return true;
    if (!editorModified_) return true;
    std::string text = EditorText();
    std::string field = FieldOf(editorColumn_);
    bool written = Attempt([&] {
        if (source_->CurrentRow() != editorDataRow_) source_->MoveTo(editorDataRow_);
        if (source_->Value(field) != text || source_->State() == RowState::Browse) source_->SetValue(field, text);
    });
    if (written) {
        editorModified_ = false;
        return true;
    }
    if (activeEditor_) SetFocus(activeEditor_);
    return false;
}

void Grid::CancelCellEdit() { HideEditor(); }

bool Grid::FocusCell(int displayRow, int column, bool openEditor) {
    if (!source_) return false;
    if (!CommitEdit()) return false;
    int oldColumn = model_.focusColumn();
    int dataRow = model_.DataRow(displayRow);
    if (dataRow >= 0 && dataRow != source_->CurrentRow()) {
        HideEditor();
        if (!Attempt([&] { source_->MoveTo(dataRow); })) {
            SyncRows();
            Invalidate();
            return false;
        }
        displayRow = Current();
    }
    if (column != oldColumn) HideEditor();
    model_.SetFocus(displayRow, column);
    model_.ScrollIntoView(model_.focusRow(), model_.focusColumn());
    if (model_.focusColumn() != oldColumn && ChangeColumn) ChangeColumn(model_.focusColumn());
    if (openEditor) ShowEditor();
    Refresh();
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
    if (readOnly_) return false;
    HideEditor();
    if (!Attempt([&] { (source_->*add)(); })) return false;
    SyncRows();
    FocusCell(Current(), model_.focusColumn());
    return true;
}

void Grid::DeleteRow() {
    if (!source_ || model_.RowCount() == 0 || !ConfirmDelete) return;
    if (!ConfirmDelete()) return;
    HideEditor();
    Attempt([&] { source_->Delete(); });
    SyncRows();
    Invalidate();
}

void Grid::ToggleCheck() {
    int col = model_.focusColumn();
    if (!source_ || readOnly_ || col < 0 || model_.column(col).kind != ColumnKind::Check ||
        model_.RowCount() == 0)
        return;
    const Column& c = model_.column(col);
    const std::string field = FieldOf(col);
    Attempt([&] {
        source_->SetValue(field, source_->Value(field) == c.checkedValue ? c.uncheckedValue : c.checkedValue);
    });
    Invalidate();
}

LRESULT Grid::EditorProc(HWND editor, UINT msg, WPARAM wp, LPARAM lp) {
    bool handled = false;
    LRESULT result = 0;
    if (!win::Guarded(editor, [&] { result = OnEditorMessage(editor, msg, wp, lp, handled); })) handled = false;
    if (handled) return result;
    return EditorDefault(editor, msg, wp, lp);
}

LRESULT Grid::EditorDefault(HWND editor, UINT msg, WPARAM wp, LPARAM lp) const {
    return (editor == edit_ ? editHook_ : comboHook_).CallOriginal(editor, msg, wp, lp);
}

LRESULT Grid::OnEditorMessage(HWND editor, UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    switch (msg) {
        case WM_GETDLGCODE:
            handled = true;
            return EditorDefault(editor, msg, wp, lp) | DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTTAB;
        case WM_CHAR:
            // No beep: the key was handled at WM_KEYDOWN (Ctrl+A is 1).
            if (wp == VK_TAB || wp == VK_RETURN || wp == VK_ESCAPE || wp == 1) {
                handled = true;
                return 0;
            }
            if (editor == edit_ && !settingEditorText_) editorModified_ = true;
            return 0;
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
            if (editor == edit_) editorModified_ = true;
            return 0;
        case WM_SETFOCUS:
            Invalidate();  // the cell's focus frame
            return 0;
        case WM_KILLFOCUS: {
            Invalidate();
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
        case WM_SYSKEYDOWN:
            // Alt+Down in a text editor opens the cell's popup or list; a pick
            // list drops itself down.
            if ((wp == VK_DOWN || wp == VK_UP) && editor == edit_) {
                handled = KeyDown(wp, true);
            } else if ((wp == VK_DOWN || wp == VK_UP) && editor == combo_) {
                handled = true;
                const LRESULT r = EditorDefault(editor, msg, wp, lp);
                TellSystemOfKey(editor, msg, wp, lp);
                return r;
            }
            if (handled) TellSystemOfKey(editor, msg, wp, lp);
            return 0;
        case WM_KEYDOWN: {
            bool comboDropped = editor == combo_ && SendMessageA(combo_, CB_GETDROPPEDSTATE, 0, 0);
            bool ctrl = KeyIsDown(VK_CONTROL);
            if (ctrl && wp == 'A' && editor == edit_) {
                SendMessageA(edit_, EM_SETSEL, 0, -1);
                handled = true;
                return 0;
            }
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

}  // namespace qv::grid
