// The field objects of a cursor on the job table or the run log, bound by name
// in one place while the cursor is open; every member is null while it is
// closed.
#pragma once

#include "engine/Table.h"
#include "schema/JobSchema.h"

namespace qv {

struct JobFields {
    engine::Field* ID = nullptr;
    engine::Field* Wochentag = nullptr;
    engine::Field* Uhrzeit = nullptr;
    engine::Field* Aktiv = nullptr;
    engine::Field* Startzeit = nullptr;
    engine::Field* Intervall = nullptr;
    engine::Field* WindowState = nullptr;
    engine::Field* Paramter = nullptr;
    engine::Field* operation = nullptr;
    engine::Field* Pfad = nullptr;
    engine::Field* nacholen = nullptr;

    void Bind(engine::Cursor& cursor);
    // The current row's values; the cursor must be open.
    schema::Job Read() const;
};

struct LogFields {
    engine::Field* ID = nullptr;
    engine::Field* Pfad = nullptr;
    engine::Field* Fehler = nullptr;
    engine::Field* Zeit = nullptr;

    void Bind(engine::Cursor& cursor);
};

}  // namespace qv
