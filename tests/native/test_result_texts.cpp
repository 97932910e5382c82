#include <gtest/gtest.h>

#include <algorithm>

#include "core/ResultTable.h"
#include "core/ResultTexts.h"
#include "core/TransportTexts.h"

namespace {
const TResultCodeRow *Row(int32_t Code) {
    const auto row = std::find_if(std::begin(ResultCodeRows), std::end(ResultCodeRows),
                                  [Code](const TResultCodeRow &r) { return r.Code == Code; });
    return row == std::end(ResultCodeRows) ? nullptr : row;
}
} // namespace

// The texts reach the binary as CP1252 whatever the compiler's character set:
// pin the bytes of a few umlauts.
TEST(ResultTexts, UmlautsAreSingleCp1252Bytes) {
    EXPECT_EQ(TransportErrorText(-1002), "Internet-Fehler: Session nicht verf\xFC" "gbar");
    EXPECT_EQ(TransportErrorText(-1003), "Internet-Fehler: \xD6" "ffnen der URL fehlgeschlagen");
    EXPECT_EQ(TransportErrorText(-1007), "Internet-Fehler: Datei unvollst\xE4ndig \xFC" "bertragen");
    EXPECT_EQ(TransportErrorText(-1008),
              "Internet-Fehler: Server \xFC" "berlastet. Bitte sp\xE4ter erneut versuchen");
}

// Every number around the table: a transport code's text comes from the
// transport unit, every other code with a text from the run's table, and a
// number outside the table has none.
TEST(ResultTexts, TextsExactlyForTheTablesCodes) {
    const int32_t lowest = std::min_element(std::begin(ResultCodeRows), std::end(ResultCodeRows),
                                            [](auto &a, auto &b) { return a.Code < b.Code; })->Code;
    for (int32_t code = lowest - 20; code <= 20; ++code) {
        const TResultCodeRow *row = Row(code);
        const bool transport = row && row->Transport, hasText = row && !row->Text.empty();
        EXPECT_EQ(TransportErrorText(code), transport ? std::string(row->Text) : "") << code;
        EXPECT_EQ(ResultText(code, "1", "m").has_value(), hasText) << code;
    }
    for (int32_t code : {INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(TransportErrorText(code), "");
        EXPECT_FALSE(ResultText(code, "1", "m"));
    }
}

TEST(ResultTexts, PortalErrorIsComposed) {
    EXPECT_EQ(*ResultText(-30, "", ""),
              "Fehler bei Datenanforderung von tolva (tolva-Errorcode = ):\r\n>> ");
    EXPECT_EQ(*ResultText(-30, "4711", "Kennung gesperrt"),
              "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 4711):\r\n>> Kennung gesperrt");
    // The portal's pieces are inserted as they are, never read as placeholders.
    EXPECT_EQ(*ResultText(-30, "{message}", "{number} {x"),
              "Fehler bei Datenanforderung von tolva (tolva-Errorcode = {message}):\r\n>> {number} {x");
}

TEST(ResultTexts, FixedTextsFitTheMessageBuffer) {
    for (const TResultCodeRow &row : ResultCodeRows)
        if (auto text = ResultText(row.Code, "", "")) {
            EXPECT_LE(text->size(), 128u) << row.Code;
        }
}
