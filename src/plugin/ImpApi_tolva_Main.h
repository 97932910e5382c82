#pragma once
// ImpApi_tolva_Main: the variant layer of the bank tolva. It registers itself
// with the generic layer at load, renders result codes in German and keeps the
// state that import runs share.
#include <string>

namespace ImpApi_tolva_Main {

inline constexpr const char *InterfaceVersion = "2.1.3";

// Shared between runs for as long as the library stays loaded.
struct VariantState {
    bool ContinueFlag = false;
    std::string ContinueToken;
    std::string PortalErrorNumber;
    std::string PortalErrorMessage;
};
VariantState &State();

void Initialize();
void Finalize();

} // namespace ImpApi_tolva_Main
