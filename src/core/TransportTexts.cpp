#include "core/TransportTexts.h"

#include "core/ResultTable.h"

std::string TransportErrorText(int32_t Code) {
    for (const TResultCodeRow &row : ResultCodeRows)
        if (row.Code == Code && row.Transport)
            return std::string(row.Text);
    return {};
}
