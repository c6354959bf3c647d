#include "tests/engine/EngineTestSupport.h"

#include <atomic>
#include <chrono>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qv::engine::test {

namespace fs = std::filesystem;

namespace {
long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
}
}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "qv-engine-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++) +
                       (info ? std::string("-") + info->name() : std::string());
    fs::path p = fs::temp_directory_path() / name;
    fs::remove_all(p);
    fs::create_directories(p);
    path_ = p.string();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string& name) const {
    return (fs::path(path_) / name).string();
}

int64_t AppendJob(Cursor& c, const std::string& pfad, const std::string& wochentag) {
    c.Append();
    c.FieldByName("Wochentag").SetAsString(wochentag);
    c.FieldByName("Uhrzeit").SetAsTime(MakeTime(8, 0));
    c.FieldByName("Pfad").SetAsString(pfad);
    c.FieldByName("Aktiv").SetAsString("Y");
    c.Post();
    return c.FieldByName("ID").AsInteger();
}

std::string ExecutableDir() {
#ifdef _WIN32
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
#else
    std::string p = fs::read_symlink("/proc/self/exe").string();
#endif
    size_t slash = p.find_last_of("/\\");
    return p.substr(0, slash + 1);
}

#ifdef _WIN32

LockHolder::LockHolder(const std::vector<std::string>& args) {
    std::string cmd = "\"" + ExecutableDir() + "engine_lock_holder.exe\"";
    for (const auto& a : args) cmd += " \"" + a + "\"";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite;
    if (!CreatePipe(&inRead, &inWrite, &sa, 0) || !CreatePipe(&outRead, &outWrite, &sa, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return;
    }
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    if (!ok) {
        ADD_FAILURE() << "cannot start " << cmd << " (error " << GetLastError() << ")";
        CloseHandle(inWrite);
        CloseHandle(outRead);
        return;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    input_ = inWrite;
    char ch;
    DWORD got = 0;
    while (ReadFile(outRead, &ch, 1, &got, nullptr) && got == 1 && ch != '\n')
        if (ch != '\r') firstLine_ += ch;
    CloseHandle(outRead);
}

void LockHolder::Release() {
    if (input_) CloseHandle(static_cast<HANDLE>(input_));
    input_ = nullptr;
    if (process_) {
        WaitForSingleObject(static_cast<HANDLE>(process_), 30000);
        CloseHandle(static_cast<HANDLE>(process_));
    }
    process_ = nullptr;
}

void LockHolder::Kill() {
    if (process_) {
        TerminateProcess(static_cast<HANDLE>(process_), 9);
        WaitForSingleObject(static_cast<HANDLE>(process_), 30000);
    }
    Release();
}

LockHolder::~LockHolder() { Kill(); }

#else

LockHolder::LockHolder(const std::vector<std::string>& args) {
    const std::string exe = ExecutableDir() + "engine_lock_holder";
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    pid_ = pid;
    input_ = in[1];
    char ch;
    while (read(out[0], &ch, 1) == 1 && ch != '\n') firstLine_ += ch;
    close(out[0]);
}

void LockHolder::Release() {
    if (input_ >= 0) close(input_);
    input_ = -1;
    if (pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

void LockHolder::Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
    Release();
}

LockHolder::~LockHolder() { Kill(); }

#endif

}  // namespace qv::engine::test
