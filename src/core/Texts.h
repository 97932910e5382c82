#pragma once
// Small text helpers without Windows types.
#include <string>
#include <string_view>
#include <utility>

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

// The one owner of a text that may be a password: every buffer it lets go of,
// when it is assigned, moved from or ends, is wiped first. What it takes over
// is wiped where it came from, so a parameter taken by value leaves no copy.
class SecretText {
public:
    SecretText() = default;
    SecretText(std::string &&Text) noexcept : text_(std::move(Text)) { Wipe(Text); }
    SecretText(SecretText &&Other) noexcept : SecretText(std::move(Other.text_)) {}
    SecretText &operator=(SecretText &&Other) noexcept {
        Wipe(text_);
        text_.swap(Other.text_);
        Wipe(Other.text_); // a swap of in-object texts copies only up to the end
        return *this;
    }
    SecretText(const SecretText &) = delete;
    SecretText &operator=(const SecretText &) = delete;
    ~SecretText() { Wipe(text_); }

    std::string &operator*() noexcept { return text_; }
    const std::string &operator*() const noexcept { return text_; }
    std::string *operator->() noexcept { return &text_; }
    const std::string *operator->() const noexcept { return &text_; }
    void Clear() noexcept { Wipe(text_); }

private:
    std::string text_;
};
