#include "core/TransportTexts.h"

#include <ImpApi_tolva.h>

std::string TransportErrorText(int32_t Code) {
    switch (Code) {
    case errInetUnspecified: return "Unbestimmter Fehler bei Internet-Zugriff";
    case errInetSession: return "Internet-Fehler: Session nicht verfügbar";
    case errInetOpenUrl: return "Internet-Fehler: Öffnen der URL fehlgeschlagen";
    case errInetAccessDenied: return "Internet-Fehler: Zugriff auf Seite verweigert";
    case errInetNotFound: return "Internet-Fehler: Seite nicht gefunden";
    case errInetUrlAccess: return "Internet-Fehler: Zugriff auf URL fehlgeschlagen";
    case errInetIncomplete: return "Internet-Fehler: Datei unvollständig übertragen";
    case errInetServerBusy: return "Internet-Fehler: Server überlastet. Bitte später erneut versuchen";
    case errProxyAuth: return "Proxy-Fehler: Authentifizierung erforderlich";
    case errInetConnect: return "Internet-Fehler: Verbindungsaufbau fehlgeschlagen";
    case errInetService: return "Internet-Fehler: Zugriff auf Webservice fehlgeschlagen";
    case errInetRequest: return "Internet-Fehler: Datenanforderung fehlgeschlagen";
    case errDownloadCancelled: return "Download durch Benutzer abgebrochen";
    default: return {};
    }
}
