// The log viewer: a non-modal window listing the main window's run log cursor
// in a read-only grid (a click on a header sorts, each row shows its Pfad in
// a preview line, Delete removes a row after the navigator's question), with a
// navigator and "Alle löschen". Created once; closing it only hides it. It
// refreshes the cursor once a second from its creation on. Tab goes from the
// grid to the navigator and the button; the window opens inside the work area.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <memory>

#include "engine/Table.h"
#include "ui/data/CursorGridSource.h"
#include "ui/grid/Grid.h"
#include "win/Focus.h"
#include "win/Handles.h"
#include "win/MessageBox.h"
#include "win/Navigator.h"
#include "win/Window.h"

namespace qv::ui {

class TfrmLog : public win::Window {
public:
    static constexpr const char* kClassName = "TfrmLog";
    static constexpr int kGridId = 100;
    static constexpr int kNavigatorId = 101;
    static constexpr int kButton1Id = 102;
    static constexpr UINT_PTR kTimer1Id = 1;

    TfrmLog(HWND owner, engine::Cursor& tblLog, win::MessageBoxFn messageBox, int dpi);
    ~TfrmLog() override;

    // Shows the window, or brings it to the front when shown.
    void ShowAndRaise();
    void Timer1Timer();
    void Button1Click();  // "Alle löschen"

    grid::Grid& grid() { return grid_; }
    CursorGridSource& source() { return *source_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Layout();

    engine::Cursor& tblLog_;
    win::MessageBoxFn messageBox_;
    int dpi_;
    win::Font font_;
    std::unique_ptr<CursorGridSource> source_;
    grid::Grid grid_;
    win::Navigator DBNavigator1_;
    HWND panel_ = nullptr;
    HWND Button1_ = nullptr;
    win::FocusKeeper focus_;
};

}  // namespace qv::ui
