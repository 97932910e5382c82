#include "plugin/ImpApiMain.h"

#include "base/Texts.h"

#include <algorithm>
#include <cstring>

namespace ImpApiMain {
namespace {
constinit std::string g_apiVersion;
constinit TExportXMLRoutine g_apiExportXML = nullptr;
constinit TProgrCallback g_progrCallback = nullptr;
} // namespace

void RegisterVariant(std::string_view Version, TExportXMLRoutine Routine) {
    g_apiVersion = Version;
    g_apiExportXML = Routine;
}

const std::string &ApiVersion() { return g_apiVersion; }

void Report(int32_t Kind, int32_t Number, const char *Text) {
    if (TProgrCallback callback = g_progrCallback)
        callback(Kind, Number, Text ? Text : "");
}

bool CallbackRegistered() { return g_progrCallback != nullptr; }

void Initialize() {}

// The callback and the run routine stay: only the texts are emptied.
void Finalize() { g_apiVersion.clear(); }

} // namespace ImpApiMain

using namespace ImpApiMain;

extern "C" int32_t __stdcall VersionInfo(void) { return 40300; }

extern "C" void __stdcall ImportVersionInfo(unsigned char *Buffer) {
    const std::size_t length = std::min(g_apiVersion.size(), ShortTextMax);
    Buffer[0] = static_cast<unsigned char>(length);
    std::memcpy(Buffer + 1, g_apiVersion.data(), length);
}

extern "C" int32_t __stdcall RegProgrCallback(TProgrCallback Callback) {
    g_progrCallback = Callback;
    return 0;
}

extern "C" int32_t __stdcall ExportXML(const char *TargetDir, const char *AdvisorNo,
                                       int32_t Reserved, const double *LastImport,
                                       const char *Params) {
    // Nothing may reach the host as an exception; the run routine catches its
    // own failures, this is the last line.
    try {
        if (!g_apiExportXML)
            return errInternal;
        return g_apiExportXML(TargetDir, AdvisorNo, Reserved, LastImport, Params);
    } catch (...) {
        return errInternal;
    }
}
