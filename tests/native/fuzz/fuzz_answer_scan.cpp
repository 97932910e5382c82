// Answer scanning and INI integers on arbitrary bytes: results stay inside the input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../StringText.h"
#include "plugin/IniInteger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string in(reinterpret_cast<const char *>(data), size);
    const StringText text{in};
    IsErrorAnswer(text);
    const PortalError error = ReadPortalError(text);
    const Continuation next = ReadContinuation(text);
    for (const std::string *piece : {&error.Number, &error.Message, &next.Token})
        if (piece->size() > size || (!piece->empty() && in.find(*piece) == std::string::npos))
            std::abort();
    if (auto value = ParseIniInteger(in); value && size == 0)
        std::abort();
    return 0;
}
