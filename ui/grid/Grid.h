// The data grid: rows of a GridDataSource in columns, edited in place like a
// spreadsheet. Text, time, check-box, pick-list, popup and button columns; one
// preview line under every row; header sorting; column width dragging; row
// dragging; popups hosting a control of the owner's, below the cell.
//
// Keyboard as in Windows dialogs: Tab goes from cell to cell and leaves the
// grid at its last cell (Shift+Tab at its first), Ctrl+Tab leaves it at once;
// Alt+Down and F4 open a cell's popup or drop-down, Ctrl+Enter presses the
// first button of a button cell. The popups take the keyboard too: Tab between
// their controls (with the owner's loop calling PreTranslate), Enter takes the
// choice, Escape leaves the cell as it was.
//
// Painting goes through an off-screen bitmap, so scrolling and resizing never
// flicker. Knows nothing of the application: the data arrives through the
// data-source interface, and the owner hooks in through the events below.
//
// The class is spread over files by concern, as its private part lists them.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/grid/GridDataSource.h"
#include "ui/grid/GridModel.h"
#include "win/Dpi.h"
#include "win/Handles.h"
#include "win/Subclass.h"
#include "win/Window.h"

namespace qv::grid {

class PopupWindow;

class Grid : public win::Window {
public:
    // The type name a row drag reports to drag-over handlers.
    static constexpr const char* kTypeName = "TQvDataGrid";
    static constexpr const char* kClassName = "QvDataGrid";

    // Fixed sizes (indicator, check boxes, buttons, glyphs) follow dpi;
    // text sizes follow the font.
    explicit Grid(win::Dpi dpi = win::Dpi());
    ~Grid() override;

    HWND Create(HWND parent, int id, int x, int y, int width, int height);
    void SetColumns(std::vector<Column> columns);
    void SetPreviewField(std::string field);
    void SetDataSource(GridDataSource* source);  // not owned; nullptr unbinds
    void SetFont(HFONT font);                    // not owned
    // The control shown in the popup of a Popup column: a hidden child window
    // of the owner's. While the popup is open it is moved into the popup.
    void SetPopupControl(int column, HWND control);
    // A read-only grid shows, sorts and deletes rows (Delete asks
    // ConfirmDelete) but opens no editor and adds no row.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    win::Dpi dpi() const { return dpi_; }
    GridModel& model() { return model_; }
    const GridModel& model() const { return model_; }
    int FocusedColumn() const { return model_.focusColumn(); }
    int FocusedRow() const { return model_.focusRow(); }  // display row
    // Client rectangle of a cell (display row) in grid coordinates.
    RECT CellRect(int displayRow, int column) const;

    // Moves the focus to a cell; moving to another row applies the dataset
    // rules. Returns false when the move was refused (an error was shown).
    bool FocusCell(int displayRow, int column, bool openEditor = false);
    // Writes the in-place editor's text into the current row as its edit
    // value (the row goes into editing; nothing is posted). False when the
    // text was refused; the error has been shown and the editor stays.
    bool CommitEdit();
    void ShowEditor();
    void CancelCellEdit();
    bool EditorVisible() const;
    HWND EditorWindow() const;
    std::string EditorText() const;

    void OpenPopup();
    void ClosePopup();  // closes as the user would: accept arrives false
    // Closes the popup once the current message is done: taking the choice
    // (CloseUp decides, as on every closing) or, cancelled, keeping the cell.
    void RequestPopupClose(bool cancel);
    bool PopupOpen() const { return popupColumn_ >= 0; }
    HWND PopupWindow() const;
    // For the owner's message loop, before TranslateMessage: the open popup's
    // keyboard navigation (Tab between its controls, Enter, Escape).
    bool PreTranslate(MSG* msg);

    // The open popup takes the popup control's present size (the control grew).
    void FitPopup();

    // Hints of single cells: asked through CellHint when the mouse comes to
    // rest on a new cell, shown in a tooltip made at the first hint.
    void SetHintTime(int ms);
    HWND HintWindow() const { return hint_.get(); }

    GridLayoutDesc SaveLayout() const { return model_.SaveLayout(); }
    void ApplyLayout(const GridLayoutDesc& layout);
    // Rereads row count, order and values from the data source.
    void Reload();

    // Events for the owner.
    std::function<void(int column)> InitPopup;
    std::function<void(int column, std::string& text, bool& accept)> CloseUp;
    std::function<void(int column, int button)> ButtonClick;
    std::function<void(int column, int dataRow, const std::string& text, COLORREF& background,
                       COLORREF& textColor)>
        CustomDrawCell;
    std::function<void(int column)> ChangeColumn;
    // While a row is dragged: the window under the mouse, the drag source's
    // type name; accept starts true.
    std::function<void(HWND target, const std::string& sourceType, POINT screen, bool& accept)> DragOver;
    // The hint of a cell (display text may span lines); empty for none.
    std::function<std::string(int column, int dataRow)> CellHint;
    // Ctrl+Delete (Delete alone in a read-only grid) asks here; without a
    // handler rows are not deleted by key.
    std::function<bool()> ConfirmDelete;

    // Paints the whole grid into dc (what WM_PAINT and WM_PRINTCLIENT show).
    void PaintTo(HDC dc);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend class PopupWindow;

    // Grid.cpp: the data source, layout, message dispatch.
    void OnSourceChange(SourceChange change);
    void SyncRows();
    void SyncCurrent();
    void CreateEditors();
    void CreatePopupWindow();
    void Layout();
    void Invalidate();
    void OnSetFocus();
    void OnCommand(WPARAM wp, LPARAM lp);
    // The least widths of columns that name a widest text, in the font.
    void FitColumnsToText(HDC dc, const Metrics& m);
    void OnResort();
    void ShowError(const std::exception& e);
    // Runs a change of the data source; a refused one shows its error and
    // gives false.
    bool Attempt(const std::function<void()>& change);
    int Current() const;  // display row of the source's current row
    std::string FieldOf(int column) const { return model_.column(column).field; }

    // GridScroll.cpp.
    void UpdateScrollBars();
    // Shows a change of scrolling, focus or widths: scroll bars, editor
    // position, a repaint.
    void Refresh();
    void OnScroll(int bar, int request);
    // Where a scroll-bar request (SB_LINEUP ...) takes a scroll position.
    int ScrollTarget(int bar, int request, int pos, int line, int page, int last) const;
    void OnMouseWheel(int delta);
    bool OnTimer(UINT_PTR id);
    void AutoScroll();

    // GridInput.cpp.
    bool KeyDown(WPARAM key, bool fromEditor);
    // Alt+Down, Alt+Up and F4: the focused cell's popup, pick list or list
    // button. False when the cell has none.
    bool DropDown();
    // Ctrl+Enter: the first button of a button cell.
    bool PressFirstButton();
    // Tab at the grid's last cell, Shift+Tab at its first, Ctrl+Tab anywhere:
    // the focus goes on to the window's next (previous) control.
    void LeaveGrid(bool backward);
    void OnChar(WPARAM wp, LPARAM lp);
    bool OnSetCursor(int hitTest);
    void OnLButtonDown(int x, int y);
    void ClickCell(const Hit& hit, int x, int y);
    void ClickButton(const Hit& hit);
    void OnMouseMove(int x, int y);
    void OnLButtonUp(int x, int y);
    void OnCaptureChanged();
    void StartRowDrag();
    void EndRowDrag();
    void DragOverAt(POINT screen);

    // GridEditor.cpp.
    LRESULT EditorProc(HWND editor, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT EditorDefault(HWND editor, UINT msg, WPARAM wp, LPARAM lp) const;
    LRESULT OnEditorMessage(HWND editor, UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    void PlaceEditor();
    void HideEditor();
    bool HasTextEditor(int column) const;
    bool MoveBy(Move move, bool keepEditor);
    bool AppendRow();
    bool InsertRow();
    // Adds a row through the source (Append or Insert) and focuses it.
    bool AddRow(void (GridDataSource::*add)());
    void DeleteRow();
    void ToggleCheck();

    // GridPopup.cpp.
    LRESULT PopupControlProc(HWND control, UINT msg, WPARAM wp, LPARAM lp);
    void PlacePopup(UINT flags);
    void FinishPopup(bool cancelled);

    // GridHint.cpp.
    void TrackHint(UINT msg, WPARAM wp, LPARAM lp);
    void PauseHint(bool paused);
    void SetHintTool(const RECT& rect);
    bool EnsureHintWindow();

    // GridPaint.cpp.
    // The frame drawn around the cell of the open editor, the keyboard's
    // place when the editor's text shows no selection.
    int FocusFrame() const { return dpi_.Scale(2); }
    void OnPaint();
    void Draw(HDC dc);
    void DrawCell(HDC dc, int row, int column);

    win::Dpi dpi_;
    GridModel model_;
    GridDataSource* source_ = nullptr;
    std::string previewField_;
    HFONT font_ = nullptr;
    bool readOnly_ = false;
    std::map<int, HWND> popupControls_;

    // Off-screen painting.
    win::Bitmap backBuffer_;
    int backWidth_ = 0, backHeight_ = 0;

    // In-place editor: an edit field or, for pick lists, a drop-down list.
    HWND edit_ = nullptr;
    HWND combo_ = nullptr;
    win::Subclass editHook_, comboHook_;
    HWND activeEditor_ = nullptr;
    int editorColumn_ = -1;
    int editorDataRow_ = -1;  // follows the row while rereading moves it
    long long editorRowKey_ = 0;
    bool editorModified_ = false;
    bool settingEditorText_ = false;

    // Popup.
    std::unique_ptr<class PopupWindow> popup_;
    int popupColumn_ = -1;
    long long popupRowKey_ = 0;
    HWND popupControlParent_ = nullptr;
    win::Subclass popupControlHook_;
    RECT popupControlRect_{};

    // Cell hints.
    win::WindowHandle hint_;
    int hintRow_ = -1, hintColumn_ = -1;
    std::string hintText_;
    int hintTime_ = 0;  // 0: the tooltip's own

    // Mouse tracking.
    enum class Track { None, Width, Header, RowArmed, RowDrag };
    Track track_ = Track::None;
    int trackColumn_ = -1;
    int trackStartX_ = 0, trackStartY_ = 0, trackStartWidth_ = 0;
    POINT lastDragPoint_{};
    bool layingOut_ = false;
    bool resortPending_ = false;
};

}  // namespace qv::grid
