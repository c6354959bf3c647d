#include "ui/jobgrid/JobEditorRules.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "schema/JobSchema.h"
#include "ui/data/DisplayFormat.h"

namespace qv::ui {

const std::array<const char*, kDayItemCount>& DayItemTexts() {
    static const std::array<const char*, kDayItemCount> texts = {
        "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag", "Jeden Tag", "Monatlich"};
    return texts;
}

DayItems DayItemsFromRule(const std::string& rule) {
    DayItems items{};
    if (rule.find("Monatlich") != std::string::npos) {
        items[kMonthlyItem] = true;
        return items;
    }
    if (rule.find("Jeden Tag") != std::string::npos) items[kEveryDayItem] = true;
    for (int d = 0; d < 7; ++d) {
        std::string abbr(DayItemTexts()[static_cast<size_t>(d)], 2);
        if (rule.find(abbr) != std::string::npos) items[static_cast<size_t>(d)] = true;
    }
    return items;
}

void ApplyDayToggle(DayItems& items, int k) {
    if (k == kEveryDayItem || k == kMonthlyItem) {
        items.fill(false);
        items[static_cast<size_t>(k)] = true;
    } else if (k >= 0 && k < 7) {
        items[kEveryDayItem] = false;
        items[kMonthlyItem] = false;
    }
}

std::string DayRuleFromItems(const DayItems& items) {
    std::string text;
    for (int d = 0; d < 7; ++d)
        if (items[static_cast<size_t>(d)]) text.append(DayItemTexts()[static_cast<size_t>(d)], 2);
    if (items[kEveryDayItem]) text = "Jeden Tag";
    if (items[kMonthlyItem]) text = "Monatlich";
    return text;
}

StartPopupValues StartPopupOpen(DateTime now, DateTime stored) {
    DateTime from = now > stored ? now : stored;
    return {DatePart(from), TimePart(from)};
}

DateTime ChosenMoment(DateTime date, TimeOfDay time) {
    DateTime m = DatePart(date) + time;
    m.ms -= m.ms % kMsPerSecond;
    return m;
}

const char* const kPastMomentText = "Termin darf nicht in der Vergangenheit liegen";

bool MomentAllowed(DateTime now, DateTime chosen) { return !(chosen < now); }

StartCloseResult StartPopupClose(DateTime now, DateTime date, TimeOfDay time,
                                 const std::function<DateTime(DateTime)>& nextStart) {
    StartCloseResult r;
    DateTime chosen = ChosenMoment(date, time);
    r.text = FormatDisplayDateTime(chosen);
    if (!(now > chosen)) return r;
    r.message = std::string(kPastMomentText) + "\n\r" + "Aktuelle Uhzeit: " + FormatDisplayDateTime(now) + "\n\r" +
                "Eingestellte Startzeit: " + r.text;
    DateTime next = nextStart(now);
    next.ms -= next.ms % kMsPerSecond;
    r.text = FormatDisplayDateTime(next);
    return r;
}

std::string FormatListedStart(DateTime dt, bool seconds) {
    static const char* const kDays[] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    const CivilDateTime c = ToCivil(dt);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s %02d.%02d.%04d %02d:%02d", kDays[DayOfWeek(dt) - 1], c.day, c.month, c.year,
                  c.hour, c.minute);
    std::string text = buf;
    if (seconds) {
        std::snprintf(buf, sizeof buf, ":%02d", c.second);
        text += buf;
    }
    return text;
}

namespace {

// first (when given) and the starts after it that lie each later than the one
// before; words close a list that cannot go on.
std::string StartsText(const RowRule& row, DateTime from, const DateTime* first) {
    std::string text = "N\xe4" "chste Starts:";
    const std::optional<TimeOfDay> time = ParseTime(row.uhrzeit);
    if (!time) return text + "\r\nkeine Zeit eingetragen";
    std::vector<DateTime> starts;
    if (first) starts.push_back(*first);
    const StartMode mode = IsYes(row.intervall) ? StartMode::Interval : StartMode::Fixed;
    DateTime last = from;
    for (DateTime at : NextStarts(row.wochentag, *time, mode, from, kListedStarts - static_cast<int>(starts.size()))) {
        if (!(at > last)) break;
        starts.push_back(at);
        last = at;
    }
    const bool seconds = std::any_of(starts.begin(), starts.end(),
                                     [](DateTime at) { return at.ms / kMsPerSecond % 60 != 0; });
    for (DateTime at : starts) text += "\r\n" + FormatListedStart(at, seconds);
    if (static_cast<int>(starts.size()) == kListedStarts) return text;
    const std::string why = std::string(" (") + NoLaterStartReason(row.wochentag) + ")";
    return text + (starts.empty() ? "\r\nkein sp\xe4terer Start" : "\r\ndanach keiner mehr") + why;
}

}  // namespace

std::string NextStartsText(const RowRule& row, DateTime now) { return StartsText(row, now, nullptr); }

std::string NextStartsTextFrom(const RowRule& row, DateTime now, DateTime next) {
    if (!(next > now)) return NextStartsText(row, now);
    return StartsText(row, next, &next);
}

const std::array<const char*, 4>& OperationNames() { return schema::kOperations; }

bool IsForcedOperation(const std::string& text) {
    return text == schema::kHerunterfahrenHart || text == schema::kNeustartHart;
}

}  // namespace qv::ui
