// Field objects: the current row's values, converted between the field types.
#include <algorithm>

#include "engine/CursorImpl.h"
#include "engine/Text.h"

namespace qv::engine {

using detail::Fail;
using detail::Value;

std::string detail::FormatValue(FieldType type, const Value& v) {
    if (v.null) return {};
    switch (type) {
        case FieldType::String: return v.s;
        case FieldType::Time: return FormatTime(TimeOfDay{static_cast<int32_t>(v.i)});
        case FieldType::DateTime: return FormatDateTime(DateTime{v.i});
        case FieldType::Integer:
        case FieldType::AutoInc: return std::to_string(v.i);
    }
    return {};
}

namespace {

// A value of a time, date-time or integer field.
Value Number(int64_t n) {
    Value v;
    v.null = false;
    v.i = n;
    return v;
}

[[noreturn]] void NotConvertible(const std::string& what, const std::string& field) {
    Fail(ErrorCode::Conversion, what + " for field '" + field + "'");
}

}  // namespace

const std::string& Field::name() const { return cursor_->impl_->meta.def.fields[static_cast<size_t>(index_)].name; }
FieldType Field::type() const { return cursor_->impl_->meta.def.fields[static_cast<size_t>(index_)].type; }
int Field::size() const { return cursor_->impl_->meta.def.fields[static_cast<size_t>(index_)].size; }
int Field::index() const { return index_; }
bool Field::required() const { return cursor_->impl_->required[static_cast<size_t>(index_)]; }

void Field::SetRequired(bool required) {
    cursor_->impl_->required[static_cast<size_t>(index_)] = required;
    cursor_->impl_->requiredOverride[Lower(name())] = required;
}

bool Field::IsNull() const { return cursor_->impl_->Current(static_cast<size_t>(index_)).null; }

void Field::Clear() {
    cursor_->impl_->Assign(static_cast<size_t>(index_), Value{});
}

std::string Field::AsString() const {
    return detail::FormatValue(type(), cursor_->impl_->Current(static_cast<size_t>(index_)));
}

void Field::SetAsString(const std::string& value) {
    Value v;
    if (!value.empty()) {
        switch (type()) {
            case FieldType::String:
                v.s = value.substr(0, static_cast<size_t>(std::max(size(), 0)));
                v.null = v.s.empty();
                break;
            case FieldType::Time: {
                auto t = ParseTime(value);
                if (!t) NotConvertible("'" + value + "' is not a valid time", name());
                v.null = false;
                v.i = t->ms;
                break;
            }
            case FieldType::DateTime: {
                auto t = ParseDateTime(value);
                if (!t) NotConvertible("'" + value + "' is not a valid date and time", name());
                v.null = false;
                v.i = t->ms;
                break;
            }
            case FieldType::Integer:
            case FieldType::AutoInc:
                if (!ParseInt(value, &v.i)) NotConvertible("'" + value + "' is not a valid integer value", name());
                v.null = false;
                break;
        }
    }
    cursor_->impl_->Assign(static_cast<size_t>(index_), v);
}

DateTime Field::AsDateTime() const {
    const Value& v = cursor_->impl_->Current(static_cast<size_t>(index_));
    if (v.null) return DateTime{};
    switch (type()) {
        case FieldType::Time:
        case FieldType::DateTime: return DateTime{v.i};
        case FieldType::String:
            if (auto t = ParseDateTime(v.s)) return *t;
            NotConvertible("'" + v.s + "' is not a valid date and time", name());
        default: NotConvertible("Integer value is no date and time", name());
    }
}

void Field::SetAsDateTime(DateTime value) {
    switch (type()) {
        case FieldType::DateTime: cursor_->impl_->Assign(static_cast<size_t>(index_), Number(value.ms)); return;
        case FieldType::Time: SetAsTime(TimePart(value)); return;
        case FieldType::String: SetAsString(FormatDateTime(value)); return;
        default: NotConvertible("A date and time cannot be stored as an integer", name());
    }
}

TimeOfDay Field::AsTime() const {
    const Value& v = cursor_->impl_->Current(static_cast<size_t>(index_));
    if (v.null) return TimeOfDay{};
    switch (type()) {
        case FieldType::Time: return TimeOfDay{static_cast<int32_t>(v.i)};
        case FieldType::DateTime: return TimePart(DateTime{v.i});
        case FieldType::String:
            if (auto t = ParseTime(v.s)) return *t;
            NotConvertible("'" + v.s + "' is not a valid time", name());
        default: NotConvertible("Integer value is no time", name());
    }
}

void Field::SetAsTime(TimeOfDay value) {
    switch (type()) {
        case FieldType::Time:
        case FieldType::DateTime: {
            if (type() == FieldType::Time && (value.ms < 0 || value.ms >= kMsPerDay))
                NotConvertible("Time out of range", name());
            cursor_->impl_->Assign(static_cast<size_t>(index_), Number(value.ms));
            return;
        }
        case FieldType::String: SetAsString(FormatTime(value)); return;
        default: NotConvertible("A time cannot be stored as an integer", name());
    }
}

int64_t Field::AsInteger() const {
    const Value& v = cursor_->impl_->Current(static_cast<size_t>(index_));
    if (v.null) return 0;
    switch (type()) {
        case FieldType::Integer:
        case FieldType::AutoInc: return v.i;
        case FieldType::String: {
            int64_t n = 0;
            if (ParseInt(v.s, &n)) return n;
            NotConvertible("'" + v.s + "' is not a valid integer value", name());
        }
        default: NotConvertible("A time is no integer value", name());
    }
}

void Field::SetAsInteger(int64_t value) {
    switch (type()) {
        case FieldType::Integer:
        case FieldType::AutoInc: cursor_->impl_->Assign(static_cast<size_t>(index_), Number(value)); return;
        case FieldType::String: SetAsString(std::to_string(value)); return;
        default: NotConvertible("An integer value cannot be stored as a time", name());
    }
}

}  // namespace qv::engine
