// Answer scanning on arbitrary bytes, as the run does it: over the block list
// of the response sink, with block and piece sizes the input chooses. Every
// result must equal that of the same scan over one contiguous string, and
// every piece found must come from the answer.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../StringText.h"
#include "core/ResponseSink.h"

namespace {
void Check(bool ok) {
    if (!ok)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const std::size_t blockSize = 1 + data[0] % 64, pieceSize = 1 + data[1] % 97;
    // At most 64 blocks: every Find walks them all, and more of them only
    // slows the search down without reaching anything new.
    const std::string in(reinterpret_cast<const char *>(data) + 2, std::min(size - 2, 64 * blockSize));
    const StringText text{in};
    TResponseSink sink(blockSize);
    for (std::size_t pos = 0; pos < in.size(); pos += pieceSize)
        sink.Append(in.data() + pos, std::min(pieceSize, in.size() - pos));
    Check(sink.Size() == in.size() && sink.Substr(0, in.size()) == in);

    Check(IsErrorAnswer(text) == IsErrorAnswer(sink));
    const PortalError error = ReadPortalError(text), sinkError = ReadPortalError(sink);
    Check(error.Number == sinkError.Number && error.Message == sinkError.Message);
    const Continuation next = ReadContinuation(text), sinkNext = ReadContinuation(sink);
    Check(next.Requested == sinkNext.Requested && next.Token == sinkNext.Token);
    for (const std::string *piece : {&error.Number, &error.Message, &next.Token})
        Check(piece->size() <= in.size() && (piece->empty() || in.find(*piece) != std::string::npos));

    // Find itself, for tags and a needle taken from the answer, from starts
    // spread over the answer (every start near the block boundaries would
    // cost more runs than it finds).
    const std::size_t step = 1 + in.size() / 8;
    for (const char *tag : {"<error>", "</number>", "<AfterImport>", "<I_Token>", "a", ""})
        for (std::size_t from = 0; from <= in.size() + 1; from += step)
            Check(text.Find(tag, from) == sink.Find(tag, from));
    if (in.size() >= 4) {
        const std::string needle = in.substr(data[0] % (in.size() - 3), 1 + data[1] % 3);
        for (std::size_t from = data[1] % step; from <= in.size(); from += step)
            Check(text.Find(needle, from) == sink.Find(needle, from));
    }
    return 0;
}
