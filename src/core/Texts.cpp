#include "core/Texts.h"

#include <cstring>

std::string_view TrimControls(std::string_view Value) {
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t begin = 0, end = Value.size();
    while (begin < end && isControl(Value[begin]))
        ++begin;
    while (end > begin && isControl(Value[end - 1]))
        --end;
    return Value.substr(begin, end - begin);
}

void WipeBytes(void *Data, std::size_t Size) noexcept {
    std::memset(Data, 0, Size);
    // Keeps the compiler from dropping the stores to memory about to be freed.
    __asm__ __volatile__("" : : "r"(Data) : "memory");
}

