#include "plugin/ImpApi_tolva_Main.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <ImpApi_tolva.h>
#include "base/HostBarrier.h"
#include "dialogs/ImpApi_tolva_Dlg.h"
#include "plugin/ImpApiMain.h"
#include "core/ResultTexts.h"

namespace ImpApi_tolva_Main {
namespace {
constinit VariantState g_state{};
// Guards the portal's error in g_state: written by the run, read by
// GetExportErrorMsg from any thread.
constinit SRWLOCK g_portalErrorLock = SRWLOCK_INIT;

class PortalErrorLock {
public:
    explicit PortalErrorLock(bool Exclusive) : exclusive_(Exclusive) {
        exclusive_ ? AcquireSRWLockExclusive(&g_portalErrorLock) : AcquireSRWLockShared(&g_portalErrorLock);
    }
    ~PortalErrorLock() {
        exclusive_ ? ReleaseSRWLockExclusive(&g_portalErrorLock) : ReleaseSRWLockShared(&g_portalErrorLock);
    }
    PortalErrorLock(const PortalErrorLock &) = delete;
    PortalErrorLock &operator=(const PortalErrorLock &) = delete;

private:
    bool exclusive_;
};
} // namespace

VariantState &State() { return g_state; }

// The old texts are let go after the lock is released.
void PublishPortalError(std::string Number, std::string Message) {
    {
        const PortalErrorLock lock(true);
        g_state.PortalErrorNumber.swap(Number);
        g_state.PortalErrorMessage.swap(Message);
    }
}

void Initialize() { ImpApiMain::RegisterVariant(InterfaceVersion, &VariantExportXML); }

// The flag survives an unload by design; only the texts are emptied.
void Finalize() {
    g_state.ContinueToken.clear();
    g_state.ContinueLogin.clear();
    g_state.ContinueAdvisor.clear();
    PublishPortalError({}, {});
}

} // namespace ImpApi_tolva_Main

using namespace ImpApi_tolva_Main;

extern "C" int32_t __stdcall AppVersionCheck(int32_t HostVersion) {
    return HostVersion >= IMPAPI_TOLVA_MIN_HOST_VERSION ? 0 : -1;
}

extern "C" int32_t __stdcall GetExportErrorMsg(int32_t Code, char *Buffer) {
    if (!Buffer)
        return -1;
    try {
        const auto text = [Code] {
            const PortalErrorLock lock(false);
            return ResultText(Code, g_state.PortalErrorNumber, g_state.PortalErrorMessage);
        }();
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

namespace {
// Copies at most Limit characters and a zero; nothing beyond is touched.
void CopyBack(char *Buffer, std::string_view Text, std::size_t Limit) {
    if (!Buffer)
        return;
    const std::size_t length = std::min(Text.size(), Limit);
    std::memcpy(Buffer, Text.data(), length);
    Buffer[length] = '\0';
}

// The host's buffers are written only after OK; ExtraData never (see the
// dialog). A failure inside counts as Cancel, with the buffers untouched: the
// texts are copied back last, when nothing can fail any more.
int32_t ShowAccessData(char *UserText, char *PasswordText, char *ExtraData) {
    try {
        auto dialog = std::make_unique<TdlgProviderDataEdit>();
        // Through the export, so the label shows exactly what a host reads.
        unsigned char version[IMPAPI_VERSION_BUFFER_SIZE];
        ImportVersionInfo(version);
        dialog->VersionText.assign(reinterpret_cast<const char *>(version + 1), version[0]);
        dialog->UserText = UserText ? UserText : "";
        *dialog->PasswordText = PasswordText ? PasswordText : "";
        dialog->ExtraData = ExtraData ? ExtraData : "";
        const int result = dialog->ShowModal();
        // Destroyed once the host's message loop next runs, so its texts stay
        // readable until this call returns.
        TdlgProviderDataEdit *released = dialog.get();
        released->Release();
        dialog.release();
        if (result != mrOk)
            return mrCancel;
        CopyBack(UserText, released->UserText, ApiDataTextChars);
        CopyBack(PasswordText, *released->PasswordText, ApiDataTextChars);
        return mrOk;
    } catch (...) {
        return mrCancel;
    }
}
} // namespace

// While another thread's call is in progress: 2 at once, nothing written.
// What the host raises while the dialog is open closes it (Cancel, nothing
// written) and goes back to the host.
extern "C" int32_t __stdcall ApiDataDialog(char *UserText, char *PasswordText, char *ExtraData) {
    EXCEPTION_RECORD exception;
    {
        ImpApiMain::TExportGate gate(false);
        if (!gate.Entered())
            return mrCancel;
        HostBarrier::Reset();
        const int32_t result = ShowAccessData(UserText, PasswordText, ExtraData);
        if (!HostBarrier::Take(exception))
            return result;
    }
    HostBarrier::RaiseAgain(exception);
    return mrCancel;
}
