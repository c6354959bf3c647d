// The job grid's columns in their design order, with headers, widths (at 96
// dpi) and kinds; the preview line under every row shows Pfad. The columns of
// times and date-times name their widest text, which they always hold.
#pragma once

#include <vector>

#include "schema/JobSchema.h"
#include "ui/grid/GridModel.h"

namespace qv::ui {

std::vector<grid::Column> JobGridColumns();
constexpr const char* kJobPreviewField = schema::job::kPfad;

}  // namespace qv::ui
