#include "jobs/Tables.h"

namespace qv {

using engine::FieldDef;
using engine::FieldType;
using engine::TableDef;

namespace {

// Create the file with the bare fields and index, then restructure it at once
// with the full definition (locale and description included).
bool CreateAndRestructure(const std::string& path, const TableDef& def) {
    TableDef bare;
    bare.fields = def.fields;
    bare.indexes = def.indexes;
    if (!engine::CreateTable(path, bare)) return false;
    engine::RestructureTable(path, def);
    return true;
}

}  // namespace

TableDef TimerTableDef() {
    TableDef def;
    def.fields = {
        FieldDef{"Wochentag", FieldType::String, 15, true},
        FieldDef{"Uhrzeit", FieldType::Time, 0, true},
        FieldDef{"Pfad", FieldType::String, 200, true},
        FieldDef{"Aktiv", FieldType::String, 1, true},
        FieldDef{"Startzeit", FieldType::DateTime, 0, false},
        FieldDef{"Intervall", FieldType::String, 1, false},
        FieldDef{"WindowState", FieldType::String, 30, false},
        FieldDef{"Paramter", FieldType::String, 50, false},
        FieldDef{"operation", FieldType::String, 15, false},
        FieldDef{"ID", FieldType::AutoInc, 0, false},
        FieldDef{"nacholen", FieldType::String, 1, false},
    };
    def.languageId = kTableLanguageId;
    def.sortId = kTableSortId;
    def.description = "timer";
    return def;
}

TableDef LogTableDef() {
    TableDef def;
    def.fields = {
        FieldDef{"ID", FieldType::AutoInc, 0, true},
        FieldDef{"Pfad", FieldType::String, 250, true},
        FieldDef{"Fehler", FieldType::String, 30, false},
        FieldDef{"Zeit", FieldType::DateTime, 0, false},
    };
    def.indexes = {engine::IndexDef{"", {"ID"}, true, true}};
    def.languageId = kTableLanguageId;
    def.sortId = kTableSortId;
    return def;
}

bool CreateTimerTable(const std::string& dir) {
    return CreateAndRestructure(dir + kTimerTableFile, TimerTableDef());
}

bool CreateLogTable(const std::string& dir) {
    return CreateAndRestructure(dir + kLogTableFile, LogTableDef());
}

}  // namespace qv
