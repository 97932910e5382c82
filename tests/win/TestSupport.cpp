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

SIZE_T CommittedPrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (char *p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info; p += info.RegionSize)
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
    return total;
}
