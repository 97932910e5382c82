#include "plugin/ImpApi_tolva_Settings.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "base/Handles.h"
#include "base/Locale.h"
#include "core/IntegerText.h"
#include "plugin/ImpApiMain.h"

namespace ImpApi_tolva_Settings {
namespace {

// The registry names the variant; anything but a readable text means "tolva".
std::string ReadVariantName() {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvane\\VEKT\\ImportAPI\\tolva", 0, KEY_READ, &raw) !=
        ERROR_SUCCESS)
        return "tolva";
    UniqueRegKey key(raw);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(raw, "API_Variante", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return "tolva";
    std::string value(size, '\0');
    if (size > 0 && RegQueryValueExA(raw, "API_Variante", nullptr, &type, reinterpret_cast<BYTE *>(value.data()),
                                     &size) != ERROR_SUCCESS)
        return "tolva";
    value.resize(strnlen(value.data(), std::min<std::size_t>(size, value.size())));
    return value;
}

std::string ReadIniText(const std::string &path, const char *key, const std::string &current) {
    char buffer[2048];
    GetPrivateProfileStringA("Global", key, current.c_str(), buffer, sizeof buffer, path.c_str());
    return buffer;
}

int32_t ReadIniInteger(const std::string &path, const char *key, int32_t current) {
    return ParseIniInteger(ReadIniText(path, key, "")).value_or(current);
}

} // namespace

bool DepotNumberVariant() { return EqualsInLocale(ReadVariantName(), "lintessar"); }

bool ApplyOverrideFile(const std::string &targetDir, Settings &settings) {
    bool active = false;
    try {
        const std::string path = targetDir + "\\..\\tolva\\tolva.ini";
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
        active = true;
        ImpApiMain::ReportLog("Konfigurationsdatei aktiv: " + path);
        // The profile functions look for relative names in the Windows folder:
        // read the very file that was found.
        char full[MAX_PATH];
        const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
        const std::string file = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
        settings.Secure = ReadIniInteger(file, "Https", settings.Secure ? 1 : 0) != 0;
        settings.Server = ReadIniText(file, "Server", settings.Server);
        settings.Service = ReadIniText(file, "Service", settings.Service);
        settings.Accept = ReadIniText(file, "Accept", settings.Accept);
        settings.Headers = ReadIniText(file, "Headers", settings.Headers);
        settings.TimeoutSec = ReadIniInteger(file, "Timeout", settings.TimeoutSec);
    } catch (const ImpApiMain::THostRaised &) {
        // The host's exception is no failure of the file: it ends the run.
        throw;
    } catch (...) {
        // What was read before the failure stays in force.
    }
    return active;
}

} // namespace ImpApi_tolva_Settings
