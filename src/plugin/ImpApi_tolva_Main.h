#pragma once
// ImpApi_tolva_Main: the variant layer of the bank tolva. It registers itself
// with the generic layer at load, renders result codes in German and keeps the
// state that import runs share.
#include <windows.h>

#include <cstdint>
#include <string>

#include "plugin/ImpApiVersion.h"

namespace ImpApi_tolva_Main {

inline constexpr const char *InterfaceVersion = IMPAPI_INTERFACE_VERSION;

// ApiDataDialog copies back at most this many characters of the user id and
// of the password, each with a zero.
inline constexpr std::size_t ApiDataTextChars = 127;

// Shared between runs for as long as the library stays loaded.
struct VariantState {
    bool ContinueFlag = false;
    std::string ContinueToken;
    // The login and advisor whose answer handed out the token: only their
    // next run sends it.
    std::string ContinueLogin;
    std::string ContinueAdvisor;
    std::string PortalErrorNumber;
    std::string PortalErrorMessage;
};
VariantState &State();

// Replaces the portal's last error. GetExportErrorMsg, which a host may call
// from another thread meanwhile, sees the old error or the new one, never a
// half-replaced text.
void PublishPortalError(std::string Number, std::string Message);

// The import run behind ExportXML.
int32_t VariantExportXML(const char *TargetDir, const char *AdvisorNo, int32_t Reserved,
                         const double *LastImport, const char *Params);

void Initialize();
void Finalize();

} // namespace ImpApi_tolva_Main
