#include "jobs/Tables.h"

namespace qv {

using engine::FieldDef;
using engine::FieldType;
using engine::TableDef;

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
    def.lookups = {DueLookup()};
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

engine::TimeLookup DueLookup() { return engine::TimeLookup{"Aktiv", "Y", "Startzeit"}; }

// Fields, index, locale and description in one transaction: the table is
// there complete or not at all.
bool CreateTimerTable(const std::string& dir) { return engine::CreateTable(dir + kTimerTableFile, TimerTableDef()); }

bool CreateLogTable(const std::string& dir) { return engine::CreateTable(dir + kLogTableFile, LogTableDef()); }

}  // namespace qv
