#pragma once
// ImpApiMain: the generic layer every bank variant shares. It holds the
// variant registration (interface version and run routine) and the host's
// callback, and exports VersionInfo, ImportVersionInfo, ExportXML and
// RegProgrCallback. It knows nothing about the bank.
#include <cstdint>
#include <string>
#include <string_view>

#include <ImpApi_tolva.h>

namespace ImpApiMain {

using TExportXMLRoutine = int32_t (*)(const char *TargetDir, const char *AdvisorNo,
                                      int32_t Reserved, const double *LastImport,
                                      const char *Params);

// Filled by the variant at load.
void RegisterVariant(std::string_view Version, TExportXMLRoutine Routine);
const std::string &ApiVersion();

// Reports go to the host only while a callback is registered; the test is
// made anew at every report.
void Report(int32_t Kind, int32_t Number, const char *Text);
// Whether the host has registered a callback (lines are composed only then).
bool CallbackRegistered();
inline void ReportLog(const std::string &Line) { Report(ckLog, 0, Line.c_str()); }
inline void ReportTiming(const std::string &Line) { Report(ckTiming, 0, Line.c_str()); }
inline void ReportProgress() { Report(ckProgress, 5, ""); }

void Initialize();
void Finalize();

} // namespace ImpApiMain
