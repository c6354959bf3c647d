// Date-time and time-of-day texts as the tables store them and as the start
// time is typed: whatever reads as a moment is one the table can store and read
// back unchanged.
#include "engine/DateTime.h"
#include "fuzz/FuzzSupport.h"
#include "ui/data/DisplayFormat.h"

using namespace qv;

namespace {

void CheckStorable(DateTime dt, const std::string& text) {
    const std::string stored = FormatDateTime(dt);
    const auto back = ParseDateTime(stored);
    fuzz::Check(back && *back == dt, "date-time does not read back", text + " -> " + stored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    if (const auto dt = ParseDateTime(text)) {
        CheckStorable(*dt, text);
        fuzz::Check(FormatDateTime(*dt).size() == 23, "stored date-time of another length", text);
    }
    if (const auto t = ParseTime(text)) {
        fuzz::Check(t->ms >= 0 && t->ms < kMsPerDay, "time of day out of range", text);
        const auto back = ParseTime(FormatTime(*t));
        fuzz::Check(back && *back == *t, "time does not read back", text);
        fuzz::Check(ui::FormatDisplayTime(*t).size() == 8, "shown time of another length", text);
    }
    DateTime typed;
    if (ui::ParseDisplayDateTime(text, typed)) {
        CheckStorable(typed, text);
        DateTime shown;
        fuzz::Check(ui::ParseDisplayDateTime(ui::FormatDisplayDateTime(typed), shown) &&
                        ui::FormatDisplayDateTime(shown) == ui::FormatDisplayDateTime(typed),
                    "shown date-time does not read back", text);
    }
    return 0;
}
