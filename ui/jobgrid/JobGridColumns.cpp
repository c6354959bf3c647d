#include "ui/jobgrid/JobGridColumns.h"

#include "schema/JobSchema.h"

namespace qv::ui {

std::vector<grid::Column> JobGridColumns() {
    using K = grid::ColumnKind;
    using R = JobColumn;
    namespace f = schema::job;
    auto make = [](R role, const char* name, const char* field, const char* caption, int width,
                   K kind) {
        grid::Column c;
        c.id = static_cast<int>(role);
        c.name = name;
        c.field = field;
        c.caption = caption;
        c.width = width;
        c.kind = kind;
        if (kind == K::Check) {
            c.checkedValue = schema::kYes;
            c.uncheckedValue = schema::kNo;
        }
        return c;
    };
    std::vector<grid::Column> cols;
    grid::Column id = make(R::ID, "dxDBGrid1ID", f::kID, "", 58, K::Text);
    id.visible = false;
    cols.push_back(id);
    cols.push_back(make(R::Wochentag, "dxDBGrid1Wochentag", f::kWochentag, "Wochentag", 94, K::Popup));
    grid::Column time = make(R::Uhrzeit, "dxDBGrid1Uhrzeit", f::kUhrzeit, "Zeit/Intervall", 68, K::Time);
    time.widestText = "20:58:58";
    cols.push_back(time);
    grid::Column action = make(R::Pfad, "dxDBGrid1Pfad", f::kPfad, "Aktion", 190, K::Button);
    action.buttons = {grid::ButtonGlyph::Ellipsis, grid::ButtonGlyph::DownArrow};
    cols.push_back(action);
    cols.push_back(make(R::Parameter, "dxDBGrid1Parameter", f::kParamter, "Parameter", 56, K::Text));
    cols.push_back(make(R::Intervall, "dxDBGrid1Intervall", f::kIntervall, "Intervall", 43, K::Check));
    cols.push_back(make(R::Nachholen, "dxDBGrid1Nachholen", f::kNacholen, "Nachholen", 41, K::Check));
    grid::Column aktiv = make(R::Aktiv, "dxDBGrid1Aktiv", f::kAktiv, "Aktiv", 30, K::Check);
    aktiv.minWidth = 20;
    cols.push_back(aktiv);
    grid::Column start = make(R::Startzeit, "dxDBGrid1Startzeit", f::kStartzeit, "Startzeit", 119, K::Popup);
    start.noTextCursor = true;
    start.widestText = "28.08.2028 20:58:58";
    cols.push_back(start);
    grid::Column ws = make(R::WindowState, "dxDBGrid1WindowState", f::kWindowState, "WindowState", 85, K::PickList);
    ws.pickItems.assign(schema::kWindowStates.begin(), schema::kWindowStates.end());
    cols.push_back(ws);
    return cols;
}

}  // namespace qv::ui
