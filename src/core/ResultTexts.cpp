#include "core/ResultTexts.h"

#include <ImpApi_tolva.h>
#include "core/TransportTexts.h"

std::optional<std::string> ResultText(int32_t Code, std::string_view PortalErrorNumber,
                                      std::string_view PortalErrorMessage) {
    if (std::string text = TransportErrorText(Code); !text.empty())
        return text;
    switch (Code) {
    case errNoAccessData:
        return "Keine Zugangsdaten erfasst.\r\nErfassen Sie bitte die Zugangsdaten in der "
               "Beraterverwaltung.";
    case errNoUserLogin:
        return "Die Benutzerkennung des Vermittlers fehlt in den Zugangsdaten.\r\nErfassen Sie "
               "bitte die Benutzerkennung in der Beraterverwaltung.";
    case errPasswordCancelled: return "Fehlendes Zugangs-Passwort; Abbruch durch Benutzer.";
    case errDepotNrCancelled: return "Eingabe der tolva-Depotnummer: Abbruch durch Benutzer.";
    case errAnswerFile: return "Fehler beim Speichern der Importdatei tolva.xml.";
    case errInternal: return "Interner Fehler im Import-Modul.";
    case errPortalError: {
        std::string text = "Fehler bei Datenanforderung von tolva (tolva-Errorcode = ";
        text += PortalErrorNumber;
        text += "):\r\n>> ";
        text += PortalErrorMessage;
        return text;
    }
    default: return std::nullopt;
    }
}
