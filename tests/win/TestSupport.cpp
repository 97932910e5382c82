#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
template <class F> F ProcAs(FARPROC proc) { return reinterpret_cast<F>(reinterpret_cast<void *>(proc)); }
} // namespace

Plugin::Plugin() { Load(); }
Plugin::~Plugin() {
    if (module_)
        FreeLibrary(module_);
}

void Plugin::Load() {
    module_ = LoadLibraryA(IMPAPI_DLL_PATH);
    if (!module_)
        throw std::runtime_error("cannot load " IMPAPI_DLL_PATH);
    VersionInfo = ProcAs<TVersionInfo>(Proc("VersionInfo"));
    ImportVersionInfo = ProcAs<TImportVersionInfo>(Proc("ImportVersionInfo"));
    AppVersionCheck = ProcAs<TAppVersionCheck>(Proc("AppVersionCheck"));
    RegProgrCallback = ProcAs<TRegProgrCallback>(Proc("RegProgrCallback"));
    ExportXML = ProcAs<TExportXML>(Proc("ExportXML"));
    GetExportErrorMsg = ProcAs<TGetExportErrorMsg>(Proc("GetExportErrorMsg"));
    ApiDataDialog = ProcAs<TApiDataDialog>(Proc("ApiDataDialog"));
}

void Plugin::Reload() {
    FreeLibrary(module_);
    module_ = nullptr;
    Load();
}

FARPROC Plugin::Proc(const char *name) const {
    FARPROC proc = GetProcAddress(module_, name);
    if (!proc)
        throw std::runtime_error(std::string("missing export ") + name);
    return proc;
}

std::vector<Report> ReportRecorder::reports;
void __stdcall ReportRecorder::Callback(int32_t kind, int32_t number, const char *text) {
    reports.push_back({kind, number, text});
}

void ForEachRegion(const std::function<void(const MEMORY_BASIC_INFORMATION &)> &Visit) {
    MEMORY_BASIC_INFORMATION info;
    for (char *p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;) {
        Visit(info);
        char *next = static_cast<char *>(info.BaseAddress) + info.RegionSize;
        if (next <= p)
            break;
        p = next;
    }
}

SIZE_T CommittedPrivateBytes() {
    SIZE_T total = 0;
    ForEachRegion([&](const MEMORY_BASIC_INFORMATION &info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
    });
    return total;
}

DWORD OpenHandleCount() {
    DWORD count = 0, flags;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    if (count == 0) // Wine answers 0: probe every handle value a process is likely to hold
        for (ULONG_PTR h = 4; h < 0x10000; h += 4)
            count += GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags) ? 1 : 0;
    return count;
}

RegistryRootOverride::RegistryRootOverride(HKEY Root) : root_(Root) {
    name_ = "Software\\ImpApiTest\\Root" + std::to_string(reinterpret_cast<ULONG_PTR>(Root) & 0xFF) + "-" +
            std::to_string(GetCurrentProcessId());
    if (RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_,
                        nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(root_, scratch_) != ERROR_SUCCESS)
        throw std::runtime_error("cannot redirect a registry root");
}

RegistryRootOverride::~RegistryRootOverride() {
    RegOverridePredefKey(root_, nullptr);
    RegCloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, name_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\ImpApiTest"); // only when no other test has one
}

std::vector<std::string> ReportLines(int32_t Kind) {
    std::vector<std::string> lines;
    for (const Report &r : ReportRecorder::reports)
        if (r.kind == Kind)
            lines.push_back(r.text);
    return lines;
}

std::string FormField(const std::string &Body, const std::string &Name) {
    for (std::size_t start = 0; start <= Body.size();) {
        std::size_t end = Body.find('&', start);
        if (end == std::string::npos)
            end = Body.size();
        if (Body.compare(start, Name.size() + 1, Name + "=") == 0)
            return Body.substr(start + Name.size() + 1, end - start - Name.size() - 1);
        start = end + 1;
    }
    return "<missing>";
}

HANDLE StartChildTest(const std::string &Name) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_also_run_disabled_tests --gtest_filter=" + Name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // its failures show in this test's output
    startup.hStdOutput = startup.hStdError = GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child))
        return nullptr;
    CloseHandle(child.hThread);
    return child.hProcess;
}

DWORD FinishChildTest(HANDLE Process, DWORD Millis) {
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(Process, Millis) == WAIT_OBJECT_0)
        GetExitCodeProcess(Process, &exitCode);
    else
        TerminateProcess(Process, 1);
    CloseHandle(Process);
    return exitCode;
}
