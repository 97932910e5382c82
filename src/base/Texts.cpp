#include "base/Texts.h"

std::string TrimControls(std::string_view Value) {
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t begin = 0, end = Value.size();
    while (begin < end && isControl(Value[begin]))
        ++begin;
    while (end > begin && isControl(Value[end - 1]))
        --end;
    return std::string(Value.substr(begin, end - begin));
}

void Wipe(std::string &Text) noexcept {
    Text.resize(Text.capacity());
    // Volatile stores: the compiler may not drop writes to memory it is about
    // to consider dead.
    volatile char *p = Text.data();
    for (std::size_t i = 0; i < Text.size(); ++i)
        p[i] = 0;
    Text.clear();
}

void AssignWiping(std::string &Target, std::string_view Source) {
    if (Target.capacity() < Source.size())
        Wipe(Target);
    Target.assign(Source);
}
