// The rules of the job row editors, free of any window: the day-rule check
// list (items from a stored rule, the toggle rule, the rule built at closing),
// the start-time popup (initial values, the moment chosen and the refusal of
// a past one with its message), and the cells drawn as forced operations.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "engine/DateTime.h"
#include "rules/DayRule.h"

namespace qv::ui {

// chkWochentag: 0 "Montag" ... 6 "Sonntag", 7 "Jeden Tag", 8 "Monatlich".
constexpr int kDayItemCount = 9;
constexpr int kEveryDayItem = 7;
constexpr int kMonthlyItem = 8;
using DayItems = std::array<bool, kDayItemCount>;
const std::array<const char*, kDayItemCount>& DayItemTexts();

// The items ticked when the popup opens on a stored rule.
DayItems DayItemsFromRule(const std::string& rule);
// After the user set item k to items[k]: "Jeden Tag" and "Monatlich" exclude
// everything else and stay ticked; a weekday clears both.
void ApplyDayToggle(DayItems& items, int k);
// The rule the popup produces at closing.
std::string DayRuleFromItems(const DayItems& items);

// What the start-time popup shows when it opens: today and the current time
// when the stored start has passed (an empty start reads as 0), otherwise the
// stored start's date and time of day.
struct StartPopupValues {
    DateTime date;  // midnight of the day to select
    TimeOfDay time;
};
StartPopupValues StartPopupOpen(DateTime now, DateTime stored);

// The moment chosen in the popup, cut to whole seconds.
DateTime ChosenMoment(DateTime date, TimeOfDay time);

// edZeitValidate: a moment strictly before now is refused with this text.
extern const char* const kPastMomentText;
bool MomentAllowed(DateTime now, DateTime chosen);

// dxDBGrid1StartzeitCloseUp: the text to put into the cell, always accepted.
// A past moment shows message (five pieces) and is replaced by nextStart(now).
struct StartCloseResult {
    std::string text;
    bool accept = true;
    std::string message;  // empty when nothing is to be shown
};
StartCloseResult StartPopupClose(DateTime now, DateTime date, TimeOfDay time,
                                 const std::function<DateTime(DateTime base)>& nextStart);

// The next starts of a row's rule, as both popups and the Startzeit hint list
// them: a heading, then one line each ("Mi 15.05.2024 10:00"), every line
// with its seconds when a start has any (a rule's time of 09:07:34). A rule that
// gives no later start says so in words instead, and a list that stops early
// (an interval of 00:00) ends with those words; so does a row without a time.
constexpr int kListedStarts = 5;
// Wochentag, Uhrzeit and Intervall as the grid shows them.
struct RowRule {
    std::string wochentag, uhrzeit, intervall;
};
// "Mi 15.05.2024 10:00", with the seconds ("09:07:34") when asked.
std::string FormatListedStart(DateTime dt, bool seconds = false);
// The starts the rule gives from now.
std::string NextStartsText(const RowRule& row, DateTime now);
// The starts when the job's next start is set to next: next itself, then the
// ones the rule gives after it. A next start that has passed is due at once,
// and the starts after it count from now.
std::string NextStartsTextFrom(const RowRule& row, DateTime now, DateTime next);

// The operation names of the action column's list, in list order.
const std::array<const char*, 4>& OperationNames();
// Cells of the action column drawn white on red: the two forced operations.
bool IsForcedOperation(const std::string& text);

}  // namespace qv::ui
