#pragma once
// Edit-mask functions of the unit UserEdit: what each mask character is, how
// mask positions (1-based) and text positions (0-based) map onto each other,
// and which characters a position takes. Pure: the locale's separators and the
// system's ANSI letter tests are passed in.
//
// A mask is a short text: only its first MaxMaskLength characters count; the
// rest is cut off, as a short-text assignment would, so every function sees
// the same mask the control stores.
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/Texts.h"

inline constexpr std::size_t MaxMaskLength = ShortTextMax;

enum TMaskCharKind : uint8_t {
    mkNone,           // beyond the mask
    mkLiteral,        // shown as it stands (also any escaped character)
    mkLocaleLiteral,  // "/" and ":", shown as the locale's separators
    mkDirective,      // "!", "<", ">", "\": no text position
    mkRequired,       // "0", "A", "C", "L"
    mkOptional,       // "#", "9", "a", "c", "l"
    mkFieldSeparator, // ";" among the last four characters
    mkField,          // the character after such a ";"
};

// Which kinds take a text position: the editable ones take a typed
// character, the literal ones show a fixed one; directives, field separators
// and fields take none.
constexpr bool IsEditableKind(TMaskCharKind Kind) { return Kind == mkRequired || Kind == mkOptional; }
constexpr bool IsLiteralKind(TMaskCharKind Kind) { return Kind == mkLiteral || Kind == mkLocaleLiteral; }
constexpr bool OccupiesText(TMaskCharKind Kind) { return IsEditableKind(Kind) || IsLiteralKind(Kind); }

// Directives in force at a mask position. Only UpperCase and LowerCase change
// anything; the other two are reported for completeness.
struct TMaskDirectives {
    bool Reverse = false;   // "!" somewhere in the mask
    bool UpperCase = false;
    bool LowerCase = false;
    bool Literal = false;   // the position itself is a literal
    bool operator==(const TMaskDirectives &) const = default;
};

struct TMaskSeparators {
    char Date = '/';
    char Time = ':';
};

// The system's letter tests and case conversion for the ANSI code page.
class TAnsiLetters {
public:
    virtual bool IsLetter(char c) const = 0;
    virtual bool IsLetterOrDigit(char c) const = 0;
    virtual char ToUpper(char c) const = 0;
    virtual char ToLower(char c) const = 0;

protected:
    ~TAnsiLetters() = default;
};

// Kind of the character at mask position P; mkNone outside 1..length.
TMaskCharKind MaskCharKind(std::string_view Mask, int P);

// Directives in force at mask position P: "<" and ">" count only before P
// ("<>" ends any conversion), "!" counts anywhere.
TMaskDirectives MaskCaseAt(std::string_view Mask, int P);

// What a literal mask character shows: the locale's date separator for "/",
// its time separator for ":", any other character itself.
char LiteralDisplayChar(char MaskChar, TMaskSeparators Separators);

// Number of text positions that mask positions 1..M occupy (M is limited to
// 0..length). MaskToTextOffset(Mask, length) is the mask's position count.
int MaskToTextOffset(std::string_view Mask, int M);

// Mask position of text position T; -1 when T exceeds the position count. T
// equal to the position count (just behind the text) gives the mask's length;
// a negative T gives the position of text position 0 (a search from before the
// text starts at the first position).
int TextToMaskOffset(std::string_view Mask, int T);

// Whether text position T shows a literal.
bool IsLiteralPosition(std::string_view Mask, int T);

// What the literal at mask position P shows, or nothing if P holds no
// literal. An escaped "/" or ":" shows itself, not the separator.
std::optional<char> MaskLiteralAt(std::string_view Mask, int P, TMaskSeparators Separators);

// Whether the editable mask character MaskChar ("0", "9", "#", "L", "l", "A",
// "a", "C", "c") accepts c. Any other mask character accepts nothing.
bool MaskCharAccepts(char MaskChar, char c, const TAnsiLetters &Letters);

// The character that typing Key at mask position P puts there: the shown
// literal at a literal position; at an editable position Key itself, letters
// converted as the directives say (upper case wins); nothing where Key is not
// accepted or the position takes no character.
std::optional<char> MaskFitChar(std::string_view Mask, int P, char Key, TMaskSeparators Separators,
                                const TAnsiLetters &Letters);
