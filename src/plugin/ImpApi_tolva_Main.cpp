#include "plugin/ImpApi_tolva_Main.h"

#include <algorithm>
#include <cstring>

#include "ImpApi_tolva.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ResultTexts.h"

namespace ImpApi_tolva_Main {
namespace {
constinit VariantState g_state{};
} // namespace

VariantState &State() { return g_state; }

void Initialize() { ImpApiMain::RegisterVariant(InterfaceVersion, &VariantExportXML); }

// The flag survives an unload by design; only the texts are emptied.
void Finalize() {
    g_state.ContinueToken.clear();
    g_state.PortalErrorNumber.clear();
    g_state.PortalErrorMessage.clear();
}

} // namespace ImpApi_tolva_Main

using namespace ImpApi_tolva_Main;

extern "C" int32_t __stdcall AppVersionCheck(int32_t HostVersion) {
    return HostVersion >= 40343 ? 0 : -1;
}

extern "C" int32_t __stdcall GetExportErrorMsg(int32_t Code, char *Buffer) {
    try {
        const auto text = ResultText(Code, g_state.PortalErrorNumber, g_state.PortalErrorMessage);
        if (!text)
            return -1;
        // The host passes no size: the portal's message is cut so that the
        // text never exceeds the documented 256 bytes.
        const std::size_t length = std::min(text->size(), MaxMessageChars);
        std::memcpy(Buffer, text->data(), length);
        Buffer[length] = '\0';
        return 0;
    } catch (...) {
        return -1;
    }
}
