// Mask functions on arbitrary masks. With n the kept length (at most 255), T
// the position count and "occupying" the literal, locale-literal, required
// and optional positions:
// - MaskToTextOffset rises by one exactly at occupying positions, from 0 to T;
// - TextToMaskOffset(t) for 0 <= t < T is the occupying m with
//   MaskToTextOffset(m) = t + 1, so TextToMaskOffset(MaskToTextOffset(m) - 1)
//   = m for every occupying m; T gives n, beyond T gives -1, below 0 as 0;
// - literal positions fit to their shown character, positions that take no
//   text fit nothing, editable ones only what their character accepts.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/MaskFunctions.h"

namespace {
class AsciiLetters final : public TAnsiLetters {
public:
    bool IsLetter(char c) const override { return std::isalpha(static_cast<unsigned char>(c)); }
    bool IsLetterOrDigit(char c) const override { return std::isalnum(static_cast<unsigned char>(c)); }
    char ToUpper(char c) const override { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
    char ToLower(char c) const override { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
};

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool Occupies(TMaskCharKind k) {
    return k == mkLiteral || k == mkLocaleLiteral || k == mkRequired || k == mkOptional;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view mask(reinterpret_cast<const char *>(data), size);
    const std::string_view kept = mask.substr(0, size < 255 ? size : 255);
    const int n = static_cast<int>(kept.size());
    const AsciiLetters letters;
    const TMaskSeparators seps{'.', '-'};
    const int count = MaskToTextOffset(mask, n);
    Check(count >= 0 && count <= n);
    Check(MaskToTextOffset(mask, n + 1000) == count && MaskToTextOffset(kept, n) == count);

    int previous = 0;
    for (int m = -1; m <= n + 1; ++m) {
        const TMaskCharKind kind = MaskCharKind(mask, m);
        Check(kind <= mkField && (kind == mkNone) == (m < 1 || m > n));
        const int offset = MaskToTextOffset(mask, m);
        Check(offset == previous + (m >= 1 && Occupies(kind)));
        previous = offset;
        if (Occupies(kind))
            Check(TextToMaskOffset(mask, offset - 1) == m);

        const TMaskDirectives d = MaskCaseAt(mask, m);
        Check(!(d.UpperCase && d.LowerCase) && d.Literal == (kind == mkLiteral));

        const char key = size ? mask[static_cast<std::size_t>(m + 1) % size] : 'x';
        const auto fitted = MaskFitChar(mask, m, key, seps, letters);
        const auto literal = MaskLiteralAt(mask, m, seps);
        if (kind == mkLiteral || kind == mkLocaleLiteral) {
            Check(literal && fitted == literal);
            Check(kind == mkLocaleLiteral || *literal == kept[static_cast<std::size_t>(m - 1)]);
        } else if (kind == mkRequired || kind == mkOptional) {
            Check(!literal);
            const char maskChar = kept[static_cast<std::size_t>(m - 1)];
            Check(fitted.has_value() == MaskCharAccepts(maskChar, key, letters));
            Check(!fitted || *fitted == key || *fitted == letters.ToUpper(key) || *fitted == letters.ToLower(key));
        } else {
            Check(!literal && !fitted);
        }
    }

    for (int t = 0; t < count; ++t) {
        const int m = TextToMaskOffset(mask, t);
        Check(m >= 1 && m <= n && Occupies(MaskCharKind(mask, m)) && MaskToTextOffset(mask, m) == t + 1);
        Check(IsLiteralPosition(mask, t) == MaskLiteralAt(mask, m, seps).has_value());
    }
    Check(TextToMaskOffset(mask, count) == n);
    Check(TextToMaskOffset(mask, count + 1) == -1 && !IsLiteralPosition(mask, count + 1));
    Check(TextToMaskOffset(mask, -1) == TextToMaskOffset(mask, 0));
    Check(TextToMaskOffset(mask, INT32_MIN) == TextToMaskOffset(mask, 0));
    Check(TextToMaskOffset(mask, INT32_MAX) == -1 && MaskToTextOffset(mask, INT32_MIN) == 0);
    return 0;
}
