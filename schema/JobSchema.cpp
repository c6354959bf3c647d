#include "schema/JobSchema.h"

namespace qv::schema {

using engine::FieldDef;
using engine::FieldType;
using engine::TableDef;

TableDef TimerTableDef() {
    TableDef def;
    def.fields = {
        FieldDef{job::kWochentag, FieldType::String, 15, true},
        FieldDef{job::kUhrzeit, FieldType::Time, 0, true},
        FieldDef{job::kPfad, FieldType::String, 200, true},
        FieldDef{job::kAktiv, FieldType::String, 1, true},
        FieldDef{job::kStartzeit, FieldType::DateTime, 0, false},
        FieldDef{job::kIntervall, FieldType::String, 1, false},
        FieldDef{job::kWindowState, FieldType::String, 30, false},
        FieldDef{job::kParamter, FieldType::String, 50, false},
        FieldDef{job::kOperation, FieldType::String, 15, false},
        FieldDef{job::kID, FieldType::AutoInc, 0, false},
        FieldDef{job::kNacholen, FieldType::String, 1, false},
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
        FieldDef{runlog::kID, FieldType::AutoInc, 0, true},
        FieldDef{runlog::kPfad, FieldType::String, 250, true},
        FieldDef{runlog::kFehler, FieldType::String, 30, false},
        FieldDef{runlog::kZeit, FieldType::DateTime, 0, false},
    };
    def.indexes = {engine::IndexDef{"", {runlog::kID}, true, true}};
    def.languageId = kTableLanguageId;
    def.sortId = kTableSortId;
    return def;
}

engine::TimeLookup DueLookup() { return engine::TimeLookup{job::kAktiv, kYes, job::kStartzeit}; }

}  // namespace qv::schema
