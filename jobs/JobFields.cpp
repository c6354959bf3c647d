#include "jobs/JobFields.h"

#include <initializer_list>
#include <utility>

namespace qv {

namespace {

using Member = std::pair<engine::Field**, const char*>;

void BindByName(engine::Cursor& cursor, std::initializer_list<Member> members) {
    for (const Member& m : members)
        *m.first = cursor.active() ? &cursor.FieldByName(m.second) : nullptr;
}

}  // namespace

void JobFields::Bind(engine::Cursor& cursor) {
    BindByName(cursor, {{&ID, "ID"},
                        {&Wochentag, "Wochentag"},
                        {&Uhrzeit, "Uhrzeit"},
                        {&Aktiv, "Aktiv"},
                        {&Startzeit, "Startzeit"},
                        {&Intervall, "Intervall"},
                        {&WindowState, "WindowState"},
                        {&Paramter, "Paramter"},
                        {&operation, "operation"},
                        {&Pfad, "Pfad"},
                        {&nacholen, "nacholen"}});
}

void LogFields::Bind(engine::Cursor& cursor) {
    BindByName(cursor, {{&ID, "ID"}, {&Pfad, "Pfad"}, {&Fehler, "Fehler"}, {&Zeit, "Zeit"}});
}

}  // namespace qv
