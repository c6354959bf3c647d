#include "ui/jobgrid/JobEditorRules.h"

#include <cstdio>

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

std::string FormatStartText(DateTime dt) {
    CivilDateTime c = ToCivil(dt);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour, c.minute,
                  c.second);
    return buf;
}

bool ParseStartText(const std::string& text, DateTime& out) {
    int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    int n = std::sscanf(text.c_str(), "%d.%d.%d %d:%d:%d%c", &d, &mo, &y, &h, &mi, &s, &tail);
    if (n == 5 || n == 6) {
        if (!IsValidDate(y, mo, d) || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return false;
        out = MakeDateTime(y, mo, d, h, mi, n == 6 ? s : 0);
        return true;
    }
    if (auto parsed = ParseDateTime(text)) {
        out = *parsed;
        return true;
    }
    return false;
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
    r.text = FormatStartText(chosen);
    if (!(now > chosen)) return r;
    r.message = std::string(kPastMomentText) + "\n\r" + "Aktuelle Uhzeit: " + FormatStartText(now) + "\n\r" +
                "Eingestellte Startzeit: " + r.text;
    DateTime next = nextStart(now);
    next.ms -= next.ms % kMsPerSecond;
    r.text = FormatStartText(next);
    return r;
}

const std::array<const char*, 4>& OperationNames() {
    static const std::array<const char*, 4> names = {"herunterfahren", "herunterfahren hart", "Neustart",
                                                     "Neustart hart"};
    return names;
}

bool IsForcedOperation(const std::string& text) { return text == "herunterfahren hart" || text == "Neustart hart"; }

}  // namespace qv::ui
