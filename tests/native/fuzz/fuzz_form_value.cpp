// The encoding stays within n..3n bytes and only uses its alphabet.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/FormValue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    for (bool plus : {false, true}) {
        const std::string out = EncodeFormValue(in, plus);
        if (out.size() < size || out.size() > 3 * size)
            std::abort();
        for (char c : out) {
            const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                            (c >= 'a' && c <= 'z') || c == '%' || (plus && c == '+');
            if (!ok)
                std::abort();
        }
    }
    return 0;
}
