#pragma once
// ImpApi_tolva_Main: the variant layer of the bank tolva. It registers itself
// with the generic layer at load, renders result codes in German and keeps the
// state that import runs share.
#include <cstdint>
#include <string>

#include "ImpApiVersion.h"

namespace ImpApi_tolva_Main {

inline constexpr const char *InterfaceVersion = IMPAPI_INTERFACE_VERSION;
// The portal's host unless the override file names another.
inline constexpr const char *DefaultServer = "webservice.tolva.de";

// ApiDataDialog copies back at most this many characters of the user id and
// of the password, each with a zero.
inline constexpr std::size_t ApiDataTextChars = 127;

// Shared between runs for as long as the library stays loaded.
struct VariantState {
    bool ContinueFlag = false;
    std::string ContinueToken;
    std::string PortalErrorNumber;
    std::string PortalErrorMessage;
};
VariantState &State();

// The import run behind ExportXML.
int32_t VariantExportXML(const char *TargetDir, const char *AdvisorNo, int32_t Reserved,
                         const double *LastImport, const char *Params);

void Initialize();
void Finalize();

} // namespace ImpApi_tolva_Main
