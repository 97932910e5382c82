#pragma once
// The answer body as it arrives, held as a list of fixed-size blocks: growing
// never copies what came before, the peak memory stays close to the body's
// size, and a large body needs no single large free range in a 32-bit address
// space. A reader may also fill the free space at the end in place (Space,
// Commit), so that the bytes are not copied on their way in. Part of the unit
// ImpApiINet.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Texts.h"

class TResponseSink {
public:
    // Sixteen whole reads of the transport (65,535 bytes each) fill a block
    // exactly, so that each read finds room for itself (about 1 MiB).
    static constexpr std::size_t DefaultBlockSize = 16 * 65535;

    explicit TResponseSink(std::size_t BlockSize = DefaultBlockSize);
    ~TResponseSink();
    TResponseSink(const TResponseSink &) = delete;
    TResponseSink &operator=(const TResponseSink &) = delete;

    void Append(const void *Data, std::size_t Size);
    // Room for Size bytes at the end of the body, in one piece: the last
    // block's free space, or a new block when the last one is full; nullptr
    // when Size does not fit there (append through a buffer then).
    char *Space(std::size_t Size);
    // Adds Size bytes written into the room Space gave (Size <= that room).
    void Commit(std::size_t Size);
    std::size_t Size() const { return size_; }

    // Position of the first occurrence of Needle at or after From, also across
    // block boundaries; NotFound if there is none. An empty Needle is found at From
    // (if From <= Size()).
    std::size_t Find(std::string_view Needle, std::size_t From = 0) const;
    bool StartsWith(std::string_view Prefix) const;
    // Up to Count bytes from Pos (fewer at the end; empty from Pos >= Size()).
    std::string Substr(std::size_t Pos, std::size_t Count) const;

    // Hands the body to Write piece by piece, in order; stops and answers false
    // as soon as Write answers false.
    bool WriteTo(const std::function<bool(const char *Data, std::size_t Size)> &Write) const;

    // Overwrites the body with zeros (it may hold personal data) and frees it.
    void Clear();

private:
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t size;
        std::size_t touched; // bytes that may have been written: handed out by Space, or size
    };
    // Index of the block that holds byte Pos (Pos < Size()) and its start.
    std::size_t BlockAt(std::size_t Pos, std::size_t &Start) const;

    std::size_t blockSize_;
    std::size_t size_ = 0;
    std::vector<Block> blocks_;
};
