#include "core/ResultTexts.h"

#include "core/ResultTable.h"
#include "core/TransportTexts.h"

namespace {
// The text with its {number} and {message} filled in; the pieces are
// inserted, never searched, so a portal text cannot fill a placeholder.
std::string Compose(std::string_view Text, std::string_view Number, std::string_view Message) {
    std::string text;
    for (std::size_t open, close; (open = Text.find('{')) != Text.npos &&
                                  (close = Text.find('}', open)) != Text.npos;) {
        const std::string_view name = Text.substr(open, close + 1 - open);
        text += Text.substr(0, open);
        text += name == "{number}" ? Number : name == "{message}" ? Message : name;
        Text.remove_prefix(close + 1);
    }
    return text += Text;
}
} // namespace

std::optional<std::string> ResultText(int32_t Code, std::string_view PortalErrorNumber,
                                      std::string_view PortalErrorMessage) {
    if (std::string text = TransportErrorText(Code); !text.empty())
        return text;
    for (const TResultCodeRow &row : ResultCodeRows)
        if (row.Code == Code && !row.Transport && !row.Text.empty())
            return Compose(row.Text, PortalErrorNumber, PortalErrorMessage);
    return std::nullopt;
}
