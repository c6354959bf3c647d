#include "ui/main/DropJobs.h"

#include "schema/JobSchema.h"

namespace qv::ui {

int AddDroppedFileJobs(engine::Cursor& tblTimer, const std::vector<std::string>& paths,
                       const IsFileFn& isFile) {
    namespace f = schema::job;
    int added = 0;
    for (const auto& path : paths) {
        if (!isFile(path)) continue;
        tblTimer.Append();
        tblTimer.FieldByName(f::kPfad).SetAsString(path.substr(0, kDroppedPathMax));
        tblTimer.FieldByName(f::kWochentag).SetAsString("Jeden Tag");
        tblTimer.FieldByName(f::kUhrzeit).SetAsTime(TimeOfDay{0});
        tblTimer.FieldByName(f::kAktiv).SetAsString(schema::kNo);
        // A start in the past: the post computes the next start from now.
        tblTimer.FieldByName(f::kStartzeit).SetAsDateTime(DateTime{0});
        tblTimer.Post();
        ++added;
    }
    return added;
}

}  // namespace qv::ui
