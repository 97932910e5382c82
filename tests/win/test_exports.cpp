// The exports as a host calls them, through LoadLibrary and GetProcAddress.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "TestSupport.h"

TEST(Exports, VersionAnswers) {
    Plugin plugin;
    EXPECT_EQ(plugin.VersionInfo(), 40300);

    unsigned char buffer[256];
    std::memset(buffer, 0xFF, sizeof buffer);
    plugin.ImportVersionInfo(buffer);
    EXPECT_EQ(0, std::memcmp(buffer, "\x05" "2.1.3", 6));
    for (int i = 6; i < 256; ++i)
        ASSERT_EQ(buffer[i], 0xFF) << "byte " << i;
}

TEST(Exports, AppVersionCheckBounds) {
    Plugin plugin;
    EXPECT_EQ(plugin.AppVersionCheck(40342), -1);
    EXPECT_EQ(plugin.AppVersionCheck(40343), 0);
    EXPECT_EQ(plugin.AppVersionCheck(INT_MAX), 0);
    EXPECT_EQ(plugin.AppVersionCheck(0), -1);
    EXPECT_EQ(plugin.AppVersionCheck(-1), -1);
    EXPECT_EQ(plugin.AppVersionCheck(INT_MIN), -1);
}

TEST(Exports, RegProgrCallbackAlwaysAnswersZero) {
    Plugin plugin;
    EXPECT_EQ(plugin.RegProgrCallback(&ReportRecorder::Callback), 0);
    EXPECT_EQ(plugin.RegProgrCallback(nullptr), 0);
}

TEST(Exports, MessagesOfEveryCode) {
    Plugin plugin;
    struct Row {
        int32_t code;
        const char *text;
    };
    const Row rows[] = {
        {-11, "Keine Zugangsdaten erfasst.\r\nErfassen Sie bitte die Zugangsdaten in der Beraterverwaltung."},
        {-12, "Die Benutzerkennung des Vermittlers fehlt in den Zugangsdaten.\r\nErfassen Sie bitte die "
              "Benutzerkennung in der Beraterverwaltung."},
        {-15, "Fehlendes Zugangs-Passwort; Abbruch durch Benutzer."},
        {-16, "Eingabe der tolva-Depotnummer: Abbruch durch Benutzer."},
        {-20, "Fehler beim Speichern der Importdatei tolva.xml."},
        {-21, "Interner Fehler im Import-Modul."},
        {-30, "Fehler bei Datenanforderung von tolva (tolva-Errorcode = ):\r\n>> "},
        {-1001, "Unbestimmter Fehler bei Internet-Zugriff"},
        {-1002, "Internet-Fehler: Session nicht verf\xFC" "gbar"},
        {-1003, "Internet-Fehler: \xD6" "ffnen der URL fehlgeschlagen"},
        {-1004, "Internet-Fehler: Zugriff auf Seite verweigert"},
        {-1005, "Internet-Fehler: Seite nicht gefunden"},
        {-1006, "Internet-Fehler: Zugriff auf URL fehlgeschlagen"},
        {-1007, "Internet-Fehler: Datei unvollst\xE4ndig \xFC" "bertragen"},
        {-1008, "Internet-Fehler: Server \xFC" "berlastet. Bitte sp\xE4ter erneut versuchen"},
        {-1009, "Proxy-Fehler: Authentifizierung erforderlich"},
        {-1011, "Internet-Fehler: Verbindungsaufbau fehlgeschlagen"},
        {-1013, "Internet-Fehler: Zugriff auf Webservice fehlgeschlagen"},
        {-1014, "Internet-Fehler: Datenanforderung fehlgeschlagen"},
        {-1015, "Download durch Benutzer abgebrochen"},
    };
    for (const Row &row : rows) {
        char buffer[256];
        std::memset(buffer, 0x55, sizeof buffer);
        ASSERT_EQ(plugin.GetExportErrorMsg(row.code, buffer), 0) << row.code;
        EXPECT_STREQ(buffer, row.text) << row.code;
        const size_t end = std::strlen(row.text) + 1;
        for (size_t i = end; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], 0x55) << row.code << " wrote past its zero at " << i;
    }
}

TEST(Exports, CodesWithoutTextLeaveTheBufferAlone) {
    Plugin plugin;
    for (int32_t code : {0, -201, -1010, -1012, -1016, -1000, -31, -1, 1, 40300, INT_MIN, INT_MAX}) {
        char buffer[64];
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(plugin.GetExportErrorMsg(code, buffer), -1) << code;
        for (char c : buffer)
            ASSERT_EQ(c, 0x55) << code;
    }
}

TEST(Exports, UnloadAndReloadKeepTheRegistration) {
    Plugin plugin;
    plugin.Reload();
    unsigned char buffer[256] = {};
    plugin.ImportVersionInfo(buffer);
    EXPECT_EQ(0, std::memcmp(buffer, "\x05" "2.1.3", 6));
}
