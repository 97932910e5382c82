// Parameter lookup on arbitrary text: never out of bounds, values come from the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/ParamText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    const auto exact = [](std::string_view a, std::string_view b) { return a == b; };
    for (const char *name : {"UserLogin", "Password", "", "NoMessageBoxes"}) {
        const std::string_view value = ParamValue(in, name, exact);
        if (!value.empty() && in.find(value) == std::string_view::npos)
            std::abort();
        const std::string_view trimmed = TrimControls(value);
        if (!trimmed.empty() && (static_cast<unsigned char>(trimmed.front()) <= 32 ||
                                 static_cast<unsigned char>(trimmed.back()) <= 32))
            std::abort();
        IsTrueSwitch(trimmed);
    }
    return 0;
}
