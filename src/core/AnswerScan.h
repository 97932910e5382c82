#pragma once
// Reading the portal's answer: the error answer's elements and the
// continuation block. Pure and generic over the answer's storage: Text needs
// Size(), StartsWith(prefix), Find(needle, from) (NotFound when absent) and
// Substr(pos, count).
#include <cstddef>
#include <string>
#include <string_view>

#include "core/Texts.h"

// Only an answer whose first seven characters are "<error>" is an error answer.
template <class Text> bool IsErrorAnswer(const Text &Answer) {
    return Answer.StartsWith("<error>");
}

// The text between the first Open and the first Close inside [Begin, End),
// at most its first Limit characters: empty when either is missing or Close
// does not lie after the end of Open.
template <class Text>
std::string TextBetween(const Text &Answer, std::string_view Open, std::string_view Close,
                        std::size_t Begin = 0, std::size_t End = NotFound, std::size_t Limit = NotFound) {
    if (End == NotFound)
        End = Answer.Size();
    auto findInside = [&](std::string_view tag) {
        const std::size_t pos = Answer.Find(tag, Begin);
        return pos != NotFound && pos + tag.size() <= End ? pos : NotFound;
    };
    const std::size_t open = findInside(Open);
    const std::size_t close = findInside(Close);
    if (open == NotFound || close == NotFound || close < open + Open.size())
        return {};
    const std::size_t length = close - open - Open.size();
    return Answer.Substr(open + Open.size(), length < Limit ? length : Limit);
}

struct PortalError {
    std::string Number, Message;
};

// The most of the portal's error number and of its message a run keeps: four
// times what the text of -30 can show of them (255 characters with its
// prefix), and still a message box that fits the screen and a protocol line a
// host can show. A longer text is cut to its start; nothing else is copied.
inline constexpr std::size_t PortalTextLimit = 1024;

template <class Text> PortalError ReadPortalError(const Text &Answer) {
    return {TextBetween(Answer, "<number>", "</number>", 0, NotFound, PortalTextLimit),
            TextBetween(Answer, "<message>", "</message>", 0, NotFound, PortalTextLimit)};
}

struct Continuation {
    bool Requested = false; // the block carries the ContinueImport marker
    std::string Token;
};

// The continuation block is the text between the first "<AfterImport>" and the
// first "</AfterImport>"; its marker and token are searched inside it only.
template <class Text> Continuation ReadContinuation(const Text &Answer) {
    static constexpr std::string_view Open = "<AfterImport>", Close = "</AfterImport>";
    static constexpr std::string_view Marker = "<ActionType>ContinueImport</ActionType>";
    // Both tags end in Name: one pass finds the first of either. A closing tag
    // first means no block (the first closing tag lies before the opening
    // one); after an opening tag, the first closing tag is the first of all,
    // as none can begin inside the opening tag.
    static constexpr std::string_view Name = Open.substr(1);
    std::size_t open = NotFound;
    for (std::size_t from = 0; open == NotFound; ) {
        const std::size_t hit = Answer.Find(Name, from);
        if (hit == NotFound || (hit >= 2 && Answer.Substr(hit - 2, 2) == "</"))
            return {};
        if (hit >= 1 && Answer.Substr(hit - 1, 1) == "<")
            open = hit - 1;
        from = hit + 1;
    }
    const std::size_t begin = open + Open.size();
    const std::size_t end = Answer.Find(Close, begin);
    if (end == NotFound)
        return {};
    const std::size_t marker = Answer.Find(Marker, begin);
    if (marker == NotFound || marker + Marker.size() > end)
        return {};
    return {true, TextBetween(Answer, "<I_Token>", "</I_Token>", begin, end)};
}
