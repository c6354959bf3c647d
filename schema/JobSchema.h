// The job table's and the run log's schema, in one place: field names and
// structure, the values a new job starts with, the flag values, and the names
// of the window states and of the four shutdown operations. Whatever names a
// field or one of these values takes it from here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/DateTime.h"
#include "engine/Table.h"

namespace qv::schema {

// The job table's fields, in field order. The spellings are the stored ones
// ("Paramter", "nacholen").
namespace job {
inline constexpr char kWochentag[] = "Wochentag", kUhrzeit[] = "Uhrzeit", kPfad[] = "Pfad", kAktiv[] = "Aktiv",
                      kStartzeit[] = "Startzeit", kIntervall[] = "Intervall", kWindowState[] = "WindowState",
                      kParamter[] = "Paramter", kOperation[] = "operation", kID[] = "ID", kNacholen[] = "nacholen";
}  // namespace job

// The run log's fields, in field order.
namespace runlog {
inline constexpr char kID[] = "ID", kPfad[] = "Pfad", kFehler[] = "Fehler", kZeit[] = "Zeit";
}  // namespace runlog

// The values of the flag fields (Aktiv, Intervall, nacholen).
inline constexpr char kYes[] = "Y", kNo[] = "N";

// Window states a job's program is started in, in the order the column
// offers them.
inline constexpr char kStandard[] = "Standard", kMaximiert[] = "maximiert", kMinimiert[] = "minimiert",
                      kVersteckt[] = "versteckt";
inline constexpr std::array<const char*, 4> kWindowStates = {kStandard, kMaximiert, kMinimiert, kVersteckt};

// The operations a job's Pfad can name instead of a file, in the order the
// action column's list offers them; compared exactly.
inline constexpr char kHerunterfahren[] = "herunterfahren", kHerunterfahrenHart[] = "herunterfahren hart",
                      kNeustart[] = "Neustart", kNeustartHart[] = "Neustart hart";
inline constexpr std::array<const char*, 4> kOperations = {kHerunterfahren, kHerunterfahrenHart, kNeustart,
                                                           kNeustartHart};

// What a new job holds before it is edited.
struct FieldValue {
    const char* field;
    const char* value;
};
inline constexpr std::array<FieldValue, 3> kNewJobValues = {
    {{job::kAktiv, kYes}, {job::kIntervall, kNo}, {job::kWindowState, kStandard}}};

// One job as its row holds it; an empty field reads as "" (or zero).
struct Job {
    std::string wochentag;
    TimeOfDay uhrzeit;
    std::string pfad, aktiv;
    DateTime startzeit;
    std::string intervall, windowState, paramter, operation;
    int64_t id = 0;
    std::string nacholen;
};

// The job table: eleven fields, no index, German locale, description "timer",
// and the lookup of active jobs by their next start.
engine::TableDef TimerTableDef();
// Active jobs (Aktiv exactly kYes) by Startzeit.
engine::TimeLookup DueLookup();
// The run log: four fields, a unique primary index on ID, German locale.
engine::TableDef LogTableDef();

inline constexpr int kTableLanguageId = 1031;  // German
inline constexpr int kTableSortId = 0;

}  // namespace qv::schema
