#pragma once
// Shared by the Windows tests: the plug-in loaded as the host loads it.
#include <windows.h>

#include <string>
#include <vector>

#ifndef IMPAPI_TOLVA_SHORT_NAMES
#define IMPAPI_TOLVA_SHORT_NAMES
#endif
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

// The process's committed private memory, summed region by region (Wine
// answers 0 in the process memory counters).
SIZE_T CommittedPrivateBytes();
