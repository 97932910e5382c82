#pragma once
// ImpApiMain: the generic layer every bank variant shares. It holds the
// variant registration (interface version and run routine) and the host's
// callback, and exports VersionInfo, ImportVersionInfo, ExportXML and
// RegProgrCallback. It knows nothing about the bank.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include <ImpApi_tolva.h>
#include "transport/ImpApiINet.h"

namespace ImpApiMain {

using TExportXMLRoutine = int32_t (*)(const char *TargetDir, const char *AdvisorNo,
                                      int32_t Reserved, const double *LastImport,
                                      const char *Params);

// Filled by the variant at load.
void RegisterVariant(std::string_view Version, TExportXMLRoutine Routine);
const std::string &ApiVersion();

// Reports go to the host only while a callback is registered; the test is
// made anew at every report. What the host raises in its callback ends the
// run: Report throws THostRaised (base/HostBarrier.h), and so does every later
// report of the run, without calling the host again.
void Report(int32_t Kind, int32_t Number, const char *Text);

// The plug-in's windows and its run belong to one thread at a time: an
// ExportXML or ApiDataDialog while another thread's call is in progress is
// refused (Entered() is false), and so is an ExportXML nested in a run on its
// own thread. A call whose thread has ended (ExitThread in the callback) is
// noticed by the next one, which cleans up what it can and goes on.
class TExportGate {
public:
    explicit TExportGate(bool Run);
    ~TExportGate() { Leave(); }
    TExportGate(const TExportGate &) = delete;
    TExportGate &operator=(const TExportGate &) = delete;
    bool Entered() const { return entered_; }
    // Before the host's exception is raised again: on i386 it would leave
    // this frame without its destructor.
    void Leave() noexcept;

private:
    bool run_, entered_ = false;
};
// Whether the host has registered a callback (lines are composed only then).
bool CallbackRegistered();
inline void ReportLog(const std::string &Line) { Report(ckLog, 0, Line.c_str()); }
inline void ReportTiming(const std::string &Line) { Report(ckTiming, 0, Line.c_str()); }
inline void ReportProgress() { Report(ckProgress, 5, ""); }

void Initialize();
void Finalize();

} // namespace ImpApiMain
