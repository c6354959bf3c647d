// The job grid's columns in their design order, with their roles, headers,
// widths (at 96 dpi) and kinds; the preview line under every row shows Pfad.
// The columns of times and date-times name their widest text, which they
// always hold. Code finds a column by its role; the names ("dxDBGrid1Pfad")
// are the keys of the stored layout only.
#pragma once

#include <vector>

#include "schema/JobSchema.h"
#include "ui/grid/GridModel.h"

namespace qv::ui {

// The role of a job grid column (its grid::Column::id).
enum class JobColumn { ID, Wochentag, Uhrzeit, Pfad, Parameter, Intervall, Nachholen, Aktiv, Startzeit, WindowState };

std::vector<grid::Column> JobGridColumns();
// The index of the column of that role in model, -1 when it has none.
inline int FindJobColumn(const grid::GridModel& model, JobColumn role) {
    return model.FindColumnById(static_cast<int>(role));
}
constexpr const char* kJobPreviewField = schema::job::kPfad;

}  // namespace qv::ui
