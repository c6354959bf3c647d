// The editors of three job grid columns: the day-rule popup chkWochentag, the
// start-time popup pnlZeit (Calendar, Label2, edZeit), the action column's
// file dialog and operation list ListBox (opened by Alt+Down or F4 too, and
// worked by the keyboard).
// Under both popups' controls, and in the hint of a Startzeit cell, stand the
// next starts the row's rule gives.
// The main window owns one of these; Bind() hooks it to the grid's events.
// All editors change values of the current row only; none of them posts.
// They take their sizes from the grid's dpi and show the program's font at it.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/DateTime.h"
#include "ui/jobgrid/JobEditorRules.h"
#include "ui/jobgrid/JobGridColumns.h"
#include "ui/grid/CheckList.h"
#include "ui/grid/Grid.h"
#include "ui/grid/GridDataSource.h"
#include "win/Handles.h"
#include "win/Subclass.h"

namespace qv::ui {

class StartsPanel;
class TimePanel;

class JobEditors {
public:
    struct Deps {
        const Clock* clock = nullptr;
        // CalcNextStart for the editor cursor's current row from base.
        std::function<DateTime(DateTime base)> nextStart;
        // A message window with an OK button (the start-time refusal): the
        // window's injected message box, the one way its messages go out.
        std::function<void(HWND owner, const std::string& text)> showMessage;
        // The file dialog: true with the chosen full path, false when cancelled.
        // Left empty, the system's open dialog is used.
        std::function<bool(HWND owner, std::string& path)> openFile;
        // Where the system's open dialog starts until a file has been chosen
        // (the executable's directory); then it starts in that file's folder.
        std::string startFolder;
    };

    // Creates the hidden editor controls as children of mainWindow.
    JobEditors(HWND mainWindow, grid::Grid& grid, grid::GridDataSource& source, Deps deps);
    ~JobEditors();
    JobEditors(const JobEditors&) = delete;
    JobEditors& operator=(const JobEditors&) = delete;

    // Sets the grid's popup controls and its InitPopup, CloseUp, ButtonClick,
    // ChangeColumn and CellHint events.
    void Bind();
    // For the main window's WM_COMMAND: a selection in the operation list.
    bool HandleCommand(WPARAM wp, LPARAM lp);
    // tblTimerBeforeScroll's part: the list never stays open over another row.
    void HideOperationList();

    grid::CheckList& chkWochentag() { return chkWochentag_; }
    // The lists of next starts under each popup's controls.
    HWND dayRuleStarts() const;
    HWND startTimeStarts() const;
    HWND pnlZeit() const;
    HWND Calendar() const;
    HWND Label2() const;
    HWND edZeit() const;
    HWND ListBox() const { return listBox_; }

    // Handlers.
    void dxDBGrid1WochentagInitPopup(int column);
    void chkWochentagChange(int index, bool checked);
    void dxDBGrid1WochentagCloseUp(int column, std::string& text, bool& accept);
    void dxDBGrid1StartzeitInitPopup(int column);
    // False (with errorText) refuses a moment before now.
    bool edZeitValidate(std::string& errorText);
    void dxDBGrid1StartzeitCloseUp(int column, std::string& text, bool& accept);
    void dxDBGrid1PfadButtonClick(int column, int button);
    void ListBoxClick();
    void dxDBGrid1ChangeColumn(int column);

    // The moment Calendar and edZeit show together.
    DateTime PopupMoment() const;
    void SetPopupMoment(DateTime date, TimeOfDay time);

    // The hint of a Startzeit cell: the next starts of that row.
    std::string StartzeitHint(int row) const;

private:
    DayItems CheckedItems() const;
    // Sets the items from code (no toggle rule) and shows their starts.
    void SetCheckedItems(const DayItems& items);
    RowRule CurrentRowRule() const;
    void ShowStarts(StartsPanel& panel, const std::string& text);
    void ShowDayRuleStarts();
    void ShowStartTimeStarts();
    bool DefaultOpenFile(HWND owner, std::string& path);
    int Col(JobColumn role) const { return FindJobColumn(grid_.model(), role); }
    // edZeitValidate with its refusal shown; true when the moment passes.
    bool CheckTimeField();
    LRESULT ListBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    // Hides the operation list; the keyboard it had goes back to the grid.
    void CloseOperationList();

    HWND main_;
    grid::Grid& grid_;
    grid::GridDataSource& source_;
    Deps deps_;
    win::Dpi dpi_;
    win::Font font_;  // before the controls: they use it until they are gone
    std::unique_ptr<StartsPanel> dayPanel_;  // before chkWochentag_, its parent
    grid::CheckList chkWochentag_;
    std::unique_ptr<TimePanel> pnlZeit_;
    HWND listBox_ = nullptr;
    win::Subclass listHook_;
    bool keyMovingList_ = false;
    std::string lastFile_;
};

}  // namespace qv::ui
