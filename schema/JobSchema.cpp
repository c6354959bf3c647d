#include "schema/JobSchema.h"

#include <utility>
#include <vector>

namespace qv::schema {

using engine::FieldDef;
using engine::FieldType;
using engine::TableDef;

namespace {

// A table of these fields in the German locale.
TableDef German(std::vector<FieldDef> fields) {
    TableDef def;
    def.fields = std::move(fields);
    def.languageId = kTableLanguageId;
    def.sortId = kTableSortId;
    return def;
}

}  // namespace

TableDef TimerTableDef() {
    using namespace job;
    TableDef def = German({{kWochentag, FieldType::String, 15, true},
                           {kUhrzeit, FieldType::Time, 0, true},
                           {kPfad, FieldType::String, 200, true},
                           {kAktiv, FieldType::String, 1, true},
                           {kStartzeit, FieldType::DateTime, 0, false},
                           {kIntervall, FieldType::String, 1, false},
                           {kWindowState, FieldType::String, 30, false},
                           {kParamter, FieldType::String, 50, false},
                           {kOperation, FieldType::String, 15, false},
                           {kID, FieldType::AutoInc, 0, false},
                           {kNacholen, FieldType::String, 1, false}});
    def.description = "timer";
    def.lookups = {DueLookup()};
    return def;
}

TableDef LogTableDef() {
    using namespace runlog;
    TableDef def = German({{kID, FieldType::AutoInc, 0, true}, {kPfad, FieldType::String, 250, true},
                           {kFehler, FieldType::String, 30, false}, {kZeit, FieldType::DateTime, 0, false}});
    def.indexes = {engine::IndexDef{"", {kID}, true, true}};
    return def;
}

engine::TimeLookup DueLookup() { return engine::TimeLookup{job::kAktiv, kYes, job::kStartzeit}; }

}  // namespace qv::schema
