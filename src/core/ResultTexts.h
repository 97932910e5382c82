#pragma once
// The German message of a result code, as GetExportErrorMsg renders it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Texts.h"

// The most the host's message buffer receives: a short text and the zero.
inline constexpr std::size_t MaxMessageChars = ShortTextMax;

// The text of Code, or nothing when the code has none. The text of -30 is
// composed from the portal's last error number and message.
std::optional<std::string> ResultText(int32_t Code, std::string_view PortalErrorNumber,
                                      std::string_view PortalErrorMessage);
