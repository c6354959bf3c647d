// The settings file as anyone may have left it: the options of [App] read and
// written back as at start-up, and the job grid's layout sections applied to
// the grid, saved at exit and read again at the next start.
#include "fuzz/FuzzSupport.h"
#include "ui/jobgrid/JobGridColumns.h"
#include "ui/settings/GridLayout.h"
#include "ui/settings/Settings.h"

using namespace qv;

namespace {

// What start-up shows in the controls.
struct ShownControls : SettingsControls {
    SettingsValues shown;
    void SetMinimized(bool c) override { shown.minimized = c; }
    void SetAktiviert(bool c) override { shown.aktiviert = c; }
    void SetMail(bool c) override { shown.mail = c; }
    void SetMailAddress(const std::string& t) override { shown.mailadresse = t; }
};

// One start's reading of the settings; false when a write-back was refused.
bool Start(Settings& settings, SettingsValues& shown) {
    ShownControls controls;
    const bool written = settings.ReadIntoControls(controls).empty();
    shown = controls.shown;
    return written;
}

bool SameLayout(const grid::GridLayoutDesc& a, const grid::GridLayoutDesc& b) {
    const auto& x = a.options;
    const auto& y = b.options;
    if (x.showGrid != y.showGrid || x.showPreviewGrid != y.showPreviewGrid || x.bandRowCount != y.bandRowCount ||
        x.defaultRowHeight != y.defaultRowHeight || x.headerPanelRowCount != y.headerPanelRowCount ||
        x.showGroupPanel != y.showGroupPanel || x.showNewItemRow != y.showNewItemRow ||
        x.showRowFooter != y.showRowFooter || x.showSummaryFooter != y.showSummaryFooter ||
        a.bands.size() != b.bands.size() || a.columns.size() != b.columns.size())
        return false;
    for (size_t i = 0; i < a.bands.size(); ++i) {
        const auto &p = a.bands[i], &q = b.bands[i];
        if (p.id != q.id || p.visible != q.visible || p.index != q.index || p.width != q.width) return false;
    }
    for (size_t i = 0; i < a.columns.size(); ++i) {
        const auto &p = a.columns[i], &q = b.columns[i];
        if (p.name != q.name || p.visible != q.visible || p.index != q.index || p.width != q.width ||
            p.sorted != q.sorted || p.sortedOrder != q.sortedOrder)
            return false;
    }
    return true;
}

// What the main window does with a stored layout, and where a click then lands.
grid::GridModel ApplyStored(const std::string& path, int maxWidth) {
    grid::GridModel model;
    model.SetColumns(ui::JobGridColumns());
    model.SetClientSize(800, 400);
    model.SetRowCount(5);
    model.ApplyLayout(LoadGridLayout(path, "Gitter", model.SaveLayout(), maxWidth));
    for (int c = 0; c < model.ColumnCount(); ++c) model.HitTest(model.ColumnLeft(c) + 1, 30);
    model.ScrollIntoView(4, model.ColumnCount() - 1);
    return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir dir("settings");
    const std::string path = SettingsFilePath(dir.path());
    dir.Clear();
    fuzz::WriteBytes(path, data, size);

    IniFileProfile profile(path);
    Settings settings(profile);
    SettingsValues before, after;
    fuzz::Check(Start(settings, before), "start-up could not write the settings back");
    // The next start shows what this one showed.
    fuzz::Check(Start(settings, after), "start-up could not write the settings back");
    fuzz::Check(after.minimized == before.minimized && after.aktiviert == before.aktiviert &&
                    after.mail == before.mail,
                "start-up changed an option");

    const int maxWidth = 4 * 1024;
    grid::GridModel model = ApplyStored(path, maxWidth);
    const grid::GridLayoutDesc saved = model.SaveLayout();
    std::string error;
    fuzz::Check(SaveGridLayout(path, "Gitter", saved, &error), "layout not saved", error);
    fuzz::Check(SameLayout(ApplyStored(path, maxWidth).SaveLayout(), saved), "saved layout came back otherwise");
    SettingsValues last;
    Start(settings, last);
    fuzz::Check(last.minimized == after.minimized && last.aktiviert == after.aktiviert && last.mail == after.mail &&
                    last.mailadresse == after.mailadresse,
                "saving the layout changed an option");
    return 0;
}
