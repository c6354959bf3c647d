// Program entry: builds the main window, runs its creation handler, shows it
// as the process was asked to, and runs the message loop.
#include <windows.h>

#include <string>

#include "app/Autostart.h"
#include "app/SingleInstance.h"
#include "ui/main/VistorelIds.h"
#include "ui/main/FrmVistorel.h"
#include "ui/help/hh_funcs.h"
#include "win/MessageBox.h"
#include "win/Window.h"

namespace {

std::string ExePath() {
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int StartShowCommand(int fromWinMain) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    return (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : fromWinMain;
}

int Run(int showCommand) {
    namespace ids = qv::ui::ids;
    qv::win::SetAppIdentity({ids::kAppTitle, ids::kUnknownError, ids::kAppIcon});

    const std::string exePath = ExePath();
    // A second copy in the same folder says so and ends before anything of
    // it runs; the first one shows its window.
    const qv::app::SingleInstance instance(DirectoryOf(exePath));
    if (!instance.first()) {
        qv::win::MessageBoxRequest r;
        r.text = instance.AlreadyRunningText();
        r.caption = qv::win::AppTitle();
        r.type = MB_OK | MB_ICONINFORMATION;
        qv::win::SystemMessageBox(nullptr, r);
        instance.ShowFirst();
        return 0;
    }
    const qv::SystemClock clock;
    qv::ui::VistorelEnv env;
    env.exePath = exePath;
    env.exeDir = DirectoryOf(exePath);
    env.isShowRequest = [&instance](UINT msg, WPARAM wp, LPARAM lp) { return instance.IsShowRequest(msg, wp, lp); };
    env.clock = &clock;
    env.dpi = qv::win::ScreenDpi();
    env.messageBox = qv::win::SystemMessageBox;
    env.exitWindows = qv::actions::SystemExitWindows;
    // The general error box goes through the same message box function.
    qv::win::SetErrorSink([box = env.messageBox](HWND owner, const std::string& text) {
        qv::win::MessageBoxRequest r;
        r.text = qv::win::ErrorBoxText(text);
        r.caption = qv::win::AppTitle();
        r.type = MB_OK | MB_ICONERROR;
        box(owner, r);
    });
    // The help viewer is looked up once, before the main window is built.
    const qv::help::HtmlHelpViewer viewer;
    env.helpViewer = &viewer;
    env.readAutostart = [] { return qv::app::ReadAutostartEntry(qv::app::kAutostartValueName); };
    env.writeAutostart = [](const std::string& path, bool write) {
        return qv::app::SetAutostartEntry(path, qv::app::kAutostartValueName, write);
    };

    qv::ui::TfrmVistorel frmVistorel(std::move(env));
    frmVistorel.FormCreate();
    frmVistorel.ShowAtStart(showCommand);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (frmVistorel.PreTranslate(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    try {
        return Run(StartShowCommand(show));
    } catch (const std::exception& e) {
        qv::win::ShowGeneralError(nullptr, e.what());
    } catch (...) {
        qv::win::ShowGeneralError(nullptr, "Unbekannter Fehler");
    }
    return 1;
}
