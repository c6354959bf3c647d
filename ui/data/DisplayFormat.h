// The texts the windows show for table values: times as "hh:mm:ss", date-times
// as "dd.mm.yyyy hh:mm:ss", anything else as the field's own text and a null
// value as the empty text. The grid, its start-time popup and the log viewer
// all show date-times through here, so they always read alike.
#pragma once

#include <string>

#include "engine/DateTime.h"
#include "engine/Table.h"

namespace qv::ui {

std::string FormatDisplayDateTime(DateTime dt);
std::string FormatDisplayTime(TimeOfDay t);
// Reads a date-time typed in the display form back (also "d.m.yyyy h:mm" and
// the storage form); false when the text is no valid moment.
bool ParseDisplayDateTime(const std::string& text, DateTime& out);

// The display text of a field's current value.
std::string FieldDisplayText(engine::Field& field);

}  // namespace qv::ui
