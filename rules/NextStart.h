// The next start of the job at a cursor's current row, and storing it.
#pragma once

#include <string>

#include "engine/DateTime.h"
#include "engine/Table.h"
#include "engine/TimeZone.h"
#include "rules/DayRule.h"

namespace qv {

// The next start of the cursor's current job counted from base. Reads
// Wochentag, Uhrzeit and Intervall of the current row by field name, nothing
// else, and changes nothing.
DateTime CalcNextStart(engine::Cursor& job, DateTime base);
// The same in the zone of a clock reading (DayRule.h): what the scheduler and
// a post store.
DateTime CalcNextStart(engine::Cursor& job, DateTime base, const ClockReading& now);

// The base a rescheduled job counts from: its stored Startzeit when it catches
// up missed starts (nacholen "Y") and a start has been stored before, the
// current time otherwise. A catch-up job without a stored start (a new row)
// counts from now; counting from the empty date-time would replay every day
// since 1899.
DateTime NextStartBase(engine::Cursor& job, const ClockReading& now);

// Sets Startzeit of the current row (in edit or insert state) to the next
// start counted from base. Returns true when the job was switched inactive.
//
// A rule that cannot move the start forward (no weekday in the rule, or an
// interval of 00:00:00) gives base back. Stored as is, such a job would be due
// again at every tick for ever. So when the new start is neither later than
// base nor later than now, the job is also switched inactive (Aktiv "N"): it
// runs at most once more, for the start that was due, and then waits for the
// user to fix its rule and switch it on again. A start that merely lies in the
// past (catch-up) but moved forward is stored unchanged, as is one equal to a
// base that still lies in the future.
bool StoreNextStart(engine::Cursor& job, DateTime base, const ClockReading& now);

// StoreNextStart from NextStartBase: what the scheduler does with a due job and
// what a post does with a job whose start has passed.
bool RescheduleJob(engine::Cursor& job, const ClockReading& now);

// Why the current job's rule cannot move its start on, in a few words that fit
// the run log ("kein Wochentag", "Intervall 00:00").
std::string StuckRuleReason(engine::Cursor& job);
// The same for the user who has just posted such a job: names the rule and
// says that the job was switched off and will not run again.
std::string StuckRuleNotice(engine::Cursor& job);

}  // namespace qv
