// The job row editors' rules: day-rule popup items, toggles and closing
// forms; the start-time popup's opening values, refusal of past moments and
// its message; forced operations.
#include <gtest/gtest.h>

#include "ui/jobgrid/JobEditorRules.h"

using namespace qv;
using namespace qv::ui;

namespace {

std::string Ticked(const DayItems& items) {
    std::string s;
    for (int i = 0; i < kDayItemCount; ++i) s += items[static_cast<size_t>(i)] ? '1' : '0';
    return s;
}

}  // namespace

TEST(DayRulePopup, OpeningTicksTheItemsTheRuleNames) {
    struct Case {
        const char* rule;
        const char* ticked;  // items 0..8
    } cases[] = {
        {"MoMiFr", "101010000"},
        {"Monatlich", "000000001"},
        {"MoMonatlich", "000000001"},  // "Monatlich" wins alone
        {"Jeden Tag", "000000010"},
        {"Mo-Fr", "100010000"},
        {"Sa+So", "000001100"},
        {"Dienstag", "010000000"},
        {"", "000000000"},
        {"mo", "000000000"},          // case counts
        {"SoSaFrDoMiDiMo", "111111100"},
        {"Intervall", "000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(Ticked(DayItemsFromRule(c.rule)), c.ticked) << c.rule;
}

TEST(DayRulePopup, ClosingBuildsTheRuleInThePopupsOwnForm) {
    struct Case {
        const char* stored;
        const char* closed;
    } cases[] = {
        {"Mo-Fr", "MoFr"},
        {"Sa+So", "SaSo"},
        {"Dienstag", "Di"},
        {"MoMiFr", "MoMiFr"},
        {"SoMo", "MoSo"},
        {"Jeden Tag", "Jeden Tag"},
        {"Monatlich", "Monatlich"},
        {"", ""},
        {"MoDiMiDoFrSaSo", "MoDiMiDoFrSaSo"},
    };
    for (const auto& c : cases) EXPECT_EQ(DayRuleFromItems(DayItemsFromRule(c.stored)), c.closed) << c.stored;
    // Every day and monthly outrank weekdays when both are ticked.
    DayItems items{};
    items[0] = items[kEveryDayItem] = true;
    EXPECT_EQ(DayRuleFromItems(items), "Jeden Tag");
    items[kMonthlyItem] = true;
    EXPECT_EQ(DayRuleFromItems(items), "Monatlich");
}

TEST(DayRulePopup, ToggleRule) {
    // From "MoMiFr", ticking "Jeden Tag" leaves only it.
    DayItems items = DayItemsFromRule("MoMiFr");
    items[kEveryDayItem] = true;
    ApplyDayToggle(items, kEveryDayItem);
    EXPECT_EQ(Ticked(items), "000000010");
    EXPECT_EQ(DayRuleFromItems(items), "Jeden Tag");

    // Clicking a ticked "Jeden Tag" (the click cleared it) leaves it ticked.
    items[kEveryDayItem] = false;
    ApplyDayToggle(items, kEveryDayItem);
    EXPECT_EQ(Ticked(items), "000000010");

    // From "Monatlich", ticking Dienstag clears "Monatlich".
    items = DayItemsFromRule("Monatlich");
    items[1] = true;
    ApplyDayToggle(items, 1);
    EXPECT_EQ(DayRuleFromItems(items), "Di");

    // "Monatlich" clears everything else, weekdays and "Jeden Tag".
    items = DayItemsFromRule("MoDi");
    items[kMonthlyItem] = true;
    ApplyDayToggle(items, kMonthlyItem);
    EXPECT_EQ(Ticked(items), "000000001");

    // Clearing a weekday keeps the user's state; clearing all gives "".
    items = DayItemsFromRule("Sa");
    items[5] = false;
    ApplyDayToggle(items, 5);
    EXPECT_EQ(DayRuleFromItems(items), "");
}

TEST(StartTimePopup, OpensAtNowForAPastStartAndAtTheStartOtherwise) {
    DateTime now = MakeDateTime(2026, 12, 9, 13, 14, 15, 250);
    StartPopupValues past = StartPopupOpen(now, DateTime{0});
    EXPECT_EQ(past.date, MakeDateTime(2026, 12, 9));
    EXPECT_EQ(past.time, MakeTime(13, 14, 15, 250));
    DateTime future = MakeDateTime(2027, 1, 2, 8, 0, 0, 700);
    StartPopupValues fut = StartPopupOpen(now, future);
    EXPECT_EQ(fut.date, MakeDateTime(2027, 1, 2));
    EXPECT_EQ(fut.time, MakeTime(8, 0, 0, 700));
    // Closed unchanged, the milliseconds are dropped.
    StartCloseResult r = StartPopupClose(now, fut.date, fut.time, [](DateTime) -> DateTime {
        ADD_FAILURE() << "no next start for a future moment";
        return {};
    });
    EXPECT_TRUE(r.accept);
    EXPECT_EQ(r.text, "02.01.2027 08:00:00");
    EXPECT_TRUE(r.message.empty());
}

TEST(StartTimePopup, APastMomentIsRefusedWithTheMessageAndReplacedByTheNextStart) {
    DateTime now = MakeDateTime(2026, 12, 9, 13, 14, 15, 250);
    // Opening on an empty start and closing unchanged: cut to whole seconds
    // the moment already lies before now.
    StartPopupValues v = StartPopupOpen(now, DateTime{0});
    DateTime base{};
    StartCloseResult r = StartPopupClose(now, v.date, v.time, [&](DateTime b) {
        base = b;
        return MakeDateTime(2026, 12, 10, 8, 0, 0, 900);
    });
    EXPECT_EQ(base, now);
    EXPECT_TRUE(r.accept);
    EXPECT_EQ(r.text, "10.12.2026 08:00:00");
    EXPECT_EQ(r.message,
              "Termin darf nicht in der Vergangenheit liegen\n\r"
              "Aktuelle Uhzeit: 09.12.2026 13:14:15\n\r"
              "Eingestellte Startzeit: 09.12.2026 13:14:15");

    // Equal to now (whole seconds) passes.
    DateTime exact = MakeDateTime(2026, 12, 9, 13, 14, 15);
    StartCloseResult same = StartPopupClose(exact, MakeDateTime(2026, 12, 9), MakeTime(13, 14, 15),
                                            [](DateTime) { return DateTime{}; });
    EXPECT_TRUE(same.message.empty());
    EXPECT_EQ(same.text, "09.12.2026 13:14:15");

    EXPECT_FALSE(MomentAllowed(now, MakeDateTime(2026, 12, 9, 13, 14, 15)));
    EXPECT_TRUE(MomentAllowed(now, MakeDateTime(2026, 12, 9, 13, 14, 15, 250)));
    EXPECT_TRUE(MomentAllowed(now, MakeDateTime(2026, 12, 10, 8, 0)));
}

TEST(ActionColumn, OnlyTheTwoForcedOperationsExactly) {
    EXPECT_TRUE(IsForcedOperation("herunterfahren hart"));
    EXPECT_TRUE(IsForcedOperation("Neustart hart"));
    for (const char* s : {"neustart hart", "Neustart", "herunterfahren", "Neustart hart ", "", "c:\\a.exe"})
        EXPECT_FALSE(IsForcedOperation(s)) << s;
    EXPECT_STREQ(OperationNames()[1], "herunterfahren hart");
}
