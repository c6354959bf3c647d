#include "ui/jobgrid/JobEditorRules.h"

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

const std::array<const char*, 4>& OperationNames() {
    static const std::array<const char*, 4> names = {"herunterfahren", "herunterfahren hart", "Neustart",
                                                     "Neustart hart"};
    return names;
}

bool IsForcedOperation(const std::string& text) { return text == "herunterfahren hart" || text == "Neustart hart"; }

}  // namespace qv::ui
