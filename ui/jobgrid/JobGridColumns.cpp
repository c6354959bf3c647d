#include "ui/jobgrid/JobGridColumns.h"

#include "schema/JobSchema.h"

namespace qv::ui {

std::vector<grid::Column> JobGridColumns() {
    using grid::ColumnKind;
    namespace f = schema::job;
    auto make = [](const char* name, const char* field, const char* caption, int width, ColumnKind kind) {
        grid::Column c;
        c.name = name;
        c.field = field;
        c.caption = caption;
        c.width = width;
        c.kind = kind;
        return c;
    };
    std::vector<grid::Column> cols;
    grid::Column id = make("dxDBGrid1ID", f::kID, "", 58, ColumnKind::Text);
    id.visible = false;
    cols.push_back(id);
    cols.push_back(make("dxDBGrid1Wochentag", f::kWochentag, "Wochentag", 94, ColumnKind::Popup));
    grid::Column time = make("dxDBGrid1Uhrzeit", f::kUhrzeit, "Zeit/Intervall", 68, ColumnKind::Time);
    time.widestText = "20:58:58";
    cols.push_back(time);
    grid::Column action = make("dxDBGrid1Pfad", f::kPfad, "Aktion", 190, ColumnKind::Button);
    action.buttons = {grid::ButtonGlyph::Ellipsis, grid::ButtonGlyph::DownArrow};
    cols.push_back(action);
    cols.push_back(make("dxDBGrid1Parameter", f::kParamter, "Parameter", 56, ColumnKind::Text));
    cols.push_back(make("dxDBGrid1Intervall", f::kIntervall, "Intervall", 43, ColumnKind::Check));
    cols.push_back(make("dxDBGrid1Nachholen", f::kNacholen, "Nachholen", 41, ColumnKind::Check));
    grid::Column aktiv = make("dxDBGrid1Aktiv", f::kAktiv, "Aktiv", 30, ColumnKind::Check);
    aktiv.minWidth = 20;
    cols.push_back(aktiv);
    grid::Column start = make("dxDBGrid1Startzeit", f::kStartzeit, "Startzeit", 119, ColumnKind::Popup);
    start.noTextCursor = true;
    start.widestText = "28.08.2028 20:58:58";
    cols.push_back(start);
    grid::Column ws = make("dxDBGrid1WindowState", f::kWindowState, "WindowState", 85, ColumnKind::PickList);
    ws.pickItems.assign(schema::kWindowStates.begin(), schema::kWindowStates.end());
    cols.push_back(ws);
    return cols;
}

}  // namespace qv::ui
