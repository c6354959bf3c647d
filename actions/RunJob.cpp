#include "actions/RunJob.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "rules/ActionTables.h"
#include "win/Shell.h"

namespace qv::actions {

namespace {

// A zero-terminated copy in a buffer of at least minSize bytes. The job table's
// field widths keep Pfad and Paramter inside 255 and 55 bytes; a longer text
// from elsewhere gets a larger buffer rather than being cut to another file.
std::vector<char> ZeroTerminated(const std::string& s, std::size_t minSize) {
    std::vector<char> buf(s.size() + 1 > minSize ? s.size() + 1 : minSize, '\0');
    std::memcpy(buf.data(), s.data(), s.size());
    return buf;
}

}  // namespace

std::string RunJobAction(HWND owner, const schema::Job& job) {
    const std::string& pfad = job.pfad;
    const std::string& paramter = job.paramter;
    // Rows put in by other tools can hold more than the field widths allow.
    const std::string refused = RefusedShellInput(pfad, paramter);
    if (!refused.empty()) return refused;
    const int show = ShowCommandForWindowState(job.windowState);
    std::int32_t answer;
    {
        std::vector<char> file = ZeroTerminated(pfad, 255);
        std::vector<char> params = ZeroTerminated(paramter, 55);
        HINSTANCE h = win::OpenWithShell(owner, "open", file.data(), params.data(), "", show);
        // The shell's answer is an int squeezed into a handle.
        answer = static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(h));
    }  // both buffers released before the answer is mapped
    return ShellResultText(answer);
}

}  // namespace qv::actions
