#pragma once
// Small text helpers without Windows types.
#include <string>
#include <string_view>

// Short texts (the host's strings with a length byte, the edit controls'
// values, masks, messages, the target folder) hold at most this many characters.
inline constexpr std::size_t ShortTextMax = 255;

// The position of a search that found nothing, in every search of the code:
// the same value as std::string_view::npos, so a view's and the answer's
// results compare alike.
inline constexpr std::size_t NotFound = std::string_view::npos;

inline std::string CutShort(std::string_view Text, std::size_t Max = ShortTextMax) {
    return std::string(Text.substr(0, Max));
}

// Removes the characters with codes 0 to 32 at both ends (bytes above 127
// are no blanks).
std::string TrimControls(std::string_view Value);

// Overwrites Size bytes with zeros, even when the memory is freed next.
void WipeBytes(void *Data, std::size_t Size) noexcept;
// Overwrites the string's whole buffer before emptying it (passwords).
void Wipe(std::string &Text) noexcept;
// Target := Source; a buffer that Target gives up is wiped first.
void AssignWiping(std::string &Target, std::string_view Source);

// Wipes a text when the scope ends, however it ends.
class WipeOnExit {
public:
    explicit WipeOnExit(std::string &Text) : text_(Text) {}
    ~WipeOnExit() { Wipe(text_); }
    WipeOnExit(const WipeOnExit &) = delete;
    WipeOnExit &operator=(const WipeOnExit &) = delete;

private:
    std::string &text_;
};
