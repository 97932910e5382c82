#include <gtest/gtest.h>

#include "ImpApi_tolva.h"
#include "core/ResultTexts.h"
#include "core/TransportTexts.h"

// The texts are compiled as CP1252: pin the bytes of a few umlauts.
TEST(ResultTexts, UmlautsAreSingleCp1252Bytes) {
    EXPECT_EQ(TransportErrorText(-1002), "Internet-Fehler: Session nicht verf\xFC" "gbar");
    EXPECT_EQ(TransportErrorText(-1003), "Internet-Fehler: \xD6" "ffnen der URL fehlgeschlagen");
    EXPECT_EQ(TransportErrorText(-1007), "Internet-Fehler: Datei unvollst\xE4ndig \xFC" "bertragen");
    EXPECT_EQ(TransportErrorText(-1008),
              "Internet-Fehler: Server \xFC" "berlastet. Bitte sp\xE4ter erneut versuchen");
}

TEST(ResultTexts, TransportRangeHasTextsOnlyForItsCodes) {
    for (int32_t code = -1020; code <= -990; ++code) {
        const bool hasText = code >= -1015 && code <= -1001 && code != -1010 && code != -1012;
        EXPECT_EQ(!TransportErrorText(code).empty(), hasText) << code;
    }
    EXPECT_EQ(TransportErrorText(INT32_MIN), "");
    EXPECT_EQ(TransportErrorText(0), "");
}

TEST(ResultTexts, CodesWithoutText) {
    for (int32_t code : {0, -201, -1010, -1012, -1016, -31, -1, 1, -13, -14, -17, INT32_MAX, INT32_MIN})
        EXPECT_FALSE(ResultText(code, "1", "m").has_value()) << code;
}

TEST(ResultTexts, RunCodes) {
    EXPECT_EQ(*ResultText(-11, "", ""), "Keine Zugangsdaten erfasst.\r\nErfassen Sie bitte die "
                                        "Zugangsdaten in der Beraterverwaltung.");
    const std::string t12 = *ResultText(-12, "", "");
    EXPECT_EQ(t12.size(), 128u);
    EXPECT_EQ(t12.find("\r\n"), t12.find("Zugangsdaten.") + 13);
    EXPECT_EQ(t12.find("\r\n"), t12.rfind("\r\n"));
    EXPECT_EQ(*ResultText(-15, "", ""), "Fehlendes Zugangs-Passwort; Abbruch durch Benutzer.");
    EXPECT_EQ(*ResultText(-16, "", ""), "Eingabe der tolva-Depotnummer: Abbruch durch Benutzer.");
    EXPECT_EQ(*ResultText(-20, "", ""), "Fehler beim Speichern der Importdatei tolva.xml.");
    EXPECT_EQ(*ResultText(-21, "", ""), "Interner Fehler im Import-Modul.");
}

TEST(ResultTexts, PortalErrorIsComposed) {
    EXPECT_EQ(*ResultText(-30, "", ""),
              "Fehler bei Datenanforderung von tolva (tolva-Errorcode = ):\r\n>> ");
    EXPECT_EQ(*ResultText(-30, "4711", "Kennung gesperrt"),
              "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 4711):\r\n>> Kennung gesperrt");
}

TEST(ResultTexts, FixedTextsFitTheMessageBuffer) {
    for (int32_t code = -1100; code <= 0; ++code)
        if (auto text = ResultText(code, "", "")) {
            EXPECT_LE(text->size(), 128u) << code;
        }
}
