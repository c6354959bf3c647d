#include "ui/main/DropJobs.h"

namespace qv::ui {

int AddDroppedFileJobs(engine::Cursor& tblTimer, const std::vector<std::string>& paths,
                       const IsFileFn& isFile) {
    int added = 0;
    for (const auto& path : paths) {
        if (!isFile(path)) continue;
        tblTimer.Append();
        tblTimer.FieldByName("Pfad").SetAsString(path.substr(0, kDroppedPathMax));
        tblTimer.FieldByName("Wochentag").SetAsString("Jeden Tag");
        tblTimer.FieldByName("Uhrzeit").SetAsTime(TimeOfDay{0});
        tblTimer.FieldByName("Aktiv").SetAsString("N");
        // A start in the past: the post computes the next start from now.
        tblTimer.FieldByName("Startzeit").SetAsDateTime(DateTime{0});
        tblTimer.Post();
        ++added;
    }
    return added;
}

}  // namespace qv::ui
