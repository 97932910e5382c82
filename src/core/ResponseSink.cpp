#include "core/ResponseSink.h"

#include <algorithm>
#include <cstring>
#include <functional>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Texts.h"

namespace {

// Position of the first Needle (not empty) in Text, or NotFound. With SSE2 (every
// x64 build) sixteen positions are tested at a time on the needle's first and
// last byte, which skips an answer's bytes several times faster than
// Boyer-Moore-Horspool on XML full of the tags' letters; elsewhere
// Boyer-Moore-Horspool.
std::size_t Search(std::string_view Text, std::string_view Needle) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const std::size_t n = Needle.size();
    const __m128i first = _mm_set1_epi8(Needle.front()), last = _mm_set1_epi8(Needle.back());
    for (; i + n - 1 + 16 <= Text.size(); i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Text.data() + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Text.data() + i + n - 1));
        for (unsigned mask = static_cast<unsigned>(
                 _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
             mask != 0; mask &= mask - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (std::memcmp(Text.data() + at, Needle.data(), n) == 0)
                return at;
        }
    }
#endif
    const std::string_view rest = Text.substr(i);
    const auto hit = std::search(rest.begin(), rest.end(),
                                 std::boyer_moore_horspool_searcher(Needle.begin(), Needle.end()));
    return hit == rest.end() ? NotFound : i + static_cast<std::size_t>(hit - rest.begin());
}

} // namespace

TResponseSink::TResponseSink(std::size_t BlockSize) : blockSize_(std::max<std::size_t>(BlockSize, 1)) {}

TResponseSink::~TResponseSink() { Clear(); }

void TResponseSink::Append(const void *Data, std::size_t Size) {
    auto *from = static_cast<const char *>(Data);
    while (Size > 0) {
        if (blocks_.empty() || blocks_.back().size == blockSize_)
            blocks_.push_back({std::make_unique_for_overwrite<char[]>(blockSize_), 0, 0});
        Block &block = blocks_.back();
        const std::size_t n = std::min(Size, blockSize_ - block.size);
        std::memcpy(block.data.get() + block.size, from, n);
        block.size += n;
        block.touched = std::max(block.touched, block.size);
        size_ += n;
        from += n;
        Size -= n;
    }
}

char *TResponseSink::Space(std::size_t Size) {
    if (Size > blockSize_)
        return nullptr;
    if (blocks_.empty() || blocks_.back().size == blockSize_)
        blocks_.push_back({std::make_unique_for_overwrite<char[]>(blockSize_), 0, 0});
    Block &block = blocks_.back();
    if (blockSize_ - block.size < Size)
        return nullptr;
    // A reader that fails may have written there without committing: Clear
    // wipes that too.
    block.touched = std::max(block.touched, block.size + Size);
    return block.data.get() + block.size;
}

void TResponseSink::Commit(std::size_t Size) {
    Block &block = blocks_.back();
    block.size += Size;
    size_ += Size;
}

std::size_t TResponseSink::BlockAt(std::size_t Pos, std::size_t &Start) const {
    // Every block but the last is full.
    const std::size_t index = Pos / blockSize_;
    Start = index * blockSize_;
    return index;
}

std::size_t TResponseSink::Find(std::string_view Needle, std::size_t From) const {
    if (From > size_ || Needle.size() > size_ - From)
        return Needle.empty() && From <= size_ ? From : NotFound;
    if (Needle.empty())
        return From;
    std::size_t start;
    for (std::size_t i = BlockAt(From, start); i < blocks_.size(); start += blocks_[i].size, ++i) {
        const std::string_view block(blocks_[i].data.get(), blocks_[i].size);
        const std::size_t offset = std::max(From, start) - start;
        // A match that lies wholly inside this block comes before any that
        // straddles its end.
        const std::size_t hit = Search(block.substr(offset), Needle);
        if (hit != NotFound)
            return start + offset + hit;
        const std::size_t end = start + block.size();
        const std::size_t tail = std::max(start + offset, end - std::min(end - start, Needle.size() - 1));
        const std::string straddle = Substr(tail, end - tail + Needle.size() - 1);
        const std::size_t across = straddle.find(Needle);
        if (across != NotFound && tail + across < end)
            return tail + across;
    }
    return NotFound;
}

bool TResponseSink::StartsWith(std::string_view Prefix) const {
    return Prefix.size() <= size_ && Substr(0, Prefix.size()) == Prefix;
}

std::string TResponseSink::Substr(std::size_t Pos, std::size_t Count) const {
    std::string out;
    if (Pos >= size_)
        return out;
    Count = std::min(Count, size_ - Pos);
    out.reserve(Count);
    std::size_t start;
    for (std::size_t i = BlockAt(Pos, start); out.size() < Count; start += blocks_[i].size, ++i) {
        const std::size_t offset = std::max(Pos, start) - start;
        out.append(blocks_[i].data.get() + offset, std::min(blocks_[i].size - offset, Count - out.size()));
    }
    return out;
}

bool TResponseSink::WriteTo(const std::function<bool(const char *, std::size_t)> &Write) const {
    for (const Block &block : blocks_)
        if (!Write(block.data.get(), block.size))
            return false;
    return true;
}

void TResponseSink::Clear() {
    for (Block &block : blocks_)
        WipeBytes(block.data.get(), block.touched);
    blocks_.clear();
    blocks_.shrink_to_fit();
    size_ = 0;
}
