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
    namespace f = schema::job;
    BindByName(cursor, {{&ID, f::kID},
                        {&Wochentag, f::kWochentag},
                        {&Uhrzeit, f::kUhrzeit},
                        {&Aktiv, f::kAktiv},
                        {&Startzeit, f::kStartzeit},
                        {&Intervall, f::kIntervall},
                        {&WindowState, f::kWindowState},
                        {&Paramter, f::kParamter},
                        {&operation, f::kOperation},
                        {&Pfad, f::kPfad},
                        {&nacholen, f::kNacholen}});
}

schema::Job JobFields::Read() const {
    schema::Job job;
    job.wochentag = Wochentag->AsString();
    job.uhrzeit = Uhrzeit->AsTime();
    job.pfad = Pfad->AsString();
    job.aktiv = Aktiv->AsString();
    job.startzeit = Startzeit->AsDateTime();
    job.intervall = Intervall->AsString();
    job.windowState = WindowState->AsString();
    job.paramter = Paramter->AsString();
    job.operation = operation->AsString();
    job.id = ID->AsInteger();
    job.nacholen = nacholen->AsString();
    return job;
}

void LogFields::Bind(engine::Cursor& cursor) {
    namespace f = schema::runlog;
    BindByName(cursor, {{&ID, f::kID}, {&Pfad, f::kPfad}, {&Fehler, f::kFehler}, {&Zeit, f::kZeit}});
}

}  // namespace qv
