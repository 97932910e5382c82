#pragma once
// Shared by the Windows tests: the plug-in loaded as the host loads it.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ImpApi_tolva.h"

// The DLL under test, loaded with LoadLibrary; unloading and loading again
// gives a fresh module state.
class Plugin {
public:
    Plugin();
    ~Plugin();
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;

    void Reload();
    FARPROC Proc(const char *name) const;

    TVersionInfo VersionInfo;
    TImportVersionInfo ImportVersionInfo;
    TAppVersionCheck AppVersionCheck;
    TRegProgrCallback RegProgrCallback;
    TExportXML ExportXML;
    TGetExportErrorMsg GetExportErrorMsg;
    TApiDataDialog ApiDataDialog;

private:
    void Load();
    HMODULE module_ = nullptr;
};

// A host callback that records every report.
struct Report {
    int32_t kind, number;
    std::string text;
};
struct ReportRecorder {
    static std::vector<Report> reports;
    static void __stdcall Callback(int32_t kind, int32_t number, const char *text);
};

// The texts of the recorded reports of one kind, in order.
std::vector<std::string> ReportLines(int32_t Kind = ckLog);

// The value of one field of a form-encoded request body, as sent (encoded);
// "<missing>" when the body has no such field.
std::string FormField(const std::string &Body, const std::string &Name);

// A registry root (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT) redirected, for this
// process and as long as this lives, into a scratch key of its own under
// HKCU\Software\ImpApiTest: what a test writes there never reaches the
// machine's registry, and the scratch key is deleted at the end.
class RegistryRootOverride {
public:
    explicit RegistryRootOverride(HKEY Root);
    ~RegistryRootOverride();
    RegistryRootOverride(const RegistryRootOverride &) = delete;
    RegistryRootOverride &operator=(const RegistryRootOverride &) = delete;

private:
    HKEY root_;
    HKEY scratch_ = nullptr;
    std::string name_;
};

// This test program's own disabled test Name ("Suite.DISABLED_Case") started
// as a second process, its output joined to this test's. Returns its process,
// or null when it did not start.
HANDLE StartChildTest(const std::string &Name);
// The child's exit code once it has ended, or STILL_ACTIVE when it did not
// end within Millis (it is then killed); the handle is closed either way.
DWORD FinishChildTest(HANDLE Process, DWORD Millis);

// The handles the process holds open (Wine answers 0 to GetProcessHandleCount:
// there they are counted by probing).
DWORD OpenHandleCount();
// The process's committed private memory, summed region by region (Wine
// answers 0 in the process memory counters).
SIZE_T CommittedPrivateBytes();
// Calls Visit for every region of the address space, in order; stops where
// the end of a 32-bit address space wraps round to 0.
void ForEachRegion(const std::function<void(const MEMORY_BASIC_INFORMATION &)> &Visit);
