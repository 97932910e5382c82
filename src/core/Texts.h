#pragma once
// Small text helpers without Windows types.
#include <memory>
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

// Value without the characters with codes 0 to 32 at both ends (bytes above
// 127 are no blanks): a part of Value, valid as long as Value is.
std::string_view TrimControls(std::string_view Value);

// Overwrites Size bytes with zeros, even when the memory is freed next.
void WipeBytes(void *Data, std::size_t Size) noexcept;

// Wipes every block before it goes back to the heap. A string of it leaves
// no copy of its text behind when it grows, shrinks or ends, however it was
// built: no reserve to size in advance.
template <class T> struct WipingAllocator {
    using value_type = T;
    WipingAllocator() noexcept = default;
    template <class U> WipingAllocator(const WipingAllocator<U> &) noexcept {}
    T *allocate(std::size_t Count) { return std::allocator<T>().allocate(Count); }
    void deallocate(T *Block, std::size_t Count) noexcept {
        WipeBytes(Block, Count * sizeof(T));
        std::allocator<T>().deallocate(Block, Count);
    }
    template <class U> bool operator==(const WipingAllocator<U> &) const noexcept { return true; }
};
// A text that may hold a password, such as the request body. A short text
// lives inside the string object, which no allocator sees: its owner wipes it.
using WipingString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// Overwrites the string's whole buffer before emptying it (passwords).
template <class String> void Wipe(String &Text) noexcept {
    Text.resize(Text.capacity());
    WipeBytes(Text.data(), Text.size());
    Text.clear();
}

// The one owner of a text that may be a password. The text lives in a
// WipingString, so every buffer it lets go of as it grows, shrinks or ends is
// wiped by its allocator, however the text was changed; what stays inside the
// object (a short text) it wipes itself when it is assigned, moved from or
// ends. What it takes over from a std::string is wiped where it came from, so
// a parameter taken by value leaves no copy.
class SecretText {
public:
    SecretText() = default;
    explicit SecretText(std::string_view Text) : text_(Text) {}
    SecretText(std::string &&Text) : text_(Text) { Wipe(Text); }
    SecretText(SecretText &&Other) noexcept : text_(std::move(Other.text_)) { Wipe(Other.text_); }
    SecretText &operator=(SecretText &&Other) noexcept {
        Wipe(text_);
        text_.swap(Other.text_);
        Wipe(Other.text_); // a swap of in-object texts copies only up to the end
        return *this;
    }
    SecretText(const SecretText &) = delete;
    SecretText &operator=(const SecretText &) = delete;
    ~SecretText() { Wipe(text_); }

    WipingString &operator*() noexcept { return text_; }
    const WipingString &operator*() const noexcept { return text_; }
    WipingString *operator->() noexcept { return &text_; }
    const WipingString *operator->() const noexcept { return &text_; }
    // A copy for the controls' std::string texts, which wrap it again.
    std::string Copy() const { return std::string(text_.data(), text_.size()); }
    void Clear() noexcept { Wipe(text_); }

private:
    WipingString text_;
};
