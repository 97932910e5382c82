#pragma once
// ImpApi_tolva_Settings: what a run reads besides the host's parameters: the
// variant named in the registry, and the connection settings, which the
// override file beside the target folder may change.
#include <cstdint>
#include <string>

namespace ImpApi_tolva_Settings {

// The portal's host unless the override file names another.
inline constexpr const char *DefaultServer = "webservice.tolva.de";

// Connection settings of one run; the override file may change each.
struct Settings {
    bool Secure = true;
    std::string Server = DefaultServer;
    std::string Service = "/Webservice/vekt.aspx";
    std::string Accept = "text/plain";
    std::string Headers;
    int32_t TimeoutSec = 180;
};

// Whether the registry names the variant that asks for a depot number in
// every run ("lintessar", in any case).
bool DepotNumberVariant();

// Reads the override file "<TargetDir>\..\tolva\tolva.ini" into Current and
// reports that it is active. True when the file exists (the run then times
// its download). Every failure is ignored; what was read before it stays.
bool ApplyOverrideFile(const std::string &TargetDir, Settings &Current);

} // namespace ImpApi_tolva_Settings
