#include "ui/data/DisplayFormat.h"

#include <cstdio>

namespace qv::ui {

std::string FormatDisplayDateTime(DateTime dt) {
    const CivilDateTime c = ToCivil(dt);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour, c.minute,
                  c.second);
    return buf;
}

std::string FormatDisplayTime(TimeOfDay t) {
    const int sec = static_cast<int>(t.ms / kMsPerSecond);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", sec / 3600, sec / 60 % 60, sec % 60);
    return buf;
}

bool ParseDisplayDateTime(const std::string& text, DateTime& out) {
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

std::string FieldDisplayText(engine::Field& field) {
    if (field.IsNull()) return {};
    switch (field.type()) {
        case engine::FieldType::Time: return FormatDisplayTime(field.AsTime());
        case engine::FieldType::DateTime: return FormatDisplayDateTime(field.AsDateTime());
        default: return field.AsString();
    }
}

}  // namespace qv::ui
