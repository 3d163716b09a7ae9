#include "database/send_state.h"

#include <cstdio>

std::string TransportErrorText(unsigned nError) {
    // Windows-1250: 0xB9 a-ogonek, 0xEA e-ogonek, 0x9C s-acute, 0xE6 c-acute,
    // 0xB3 l-stroke, 0xBF z-dot, 0xF3 o-acute, 0xF1 n-acute.
    const char* words = nullptr;
    switch (nError) {
    case 12002: words = "serwer nie odpowiedzia\xB3 w ci\xB9gu 10 s"; break;
    case 12007: words = "nieznana nazwa serwera"; break;
    case 12029: words = "nie mo\xBFna po\xB3\xB9" "czy\xE6 si\xEA z serwerem"; break;
    case 12030: words = "po\xB3\xB9" "czenie zosta\xB3o przerwane"; break;
    case 12152: words = "niezrozumia\xB3" "a odpowied\x9F serwera"; break;
    case 12175: words = "b\xB3\xB9" "d po\xB3\xB9" "czenia szyfrowanego (certyfikat serwera)"; break;
    default: break;
    }
    char text[128];
    if (words != nullptr)
        std::snprintf(text, sizeof text, "%s (b\xB3\xB9" "d WinHTTP %u)", words, nError);
    else
        std::snprintf(text, sizeof text, "b\xB3\xB9" "d WinHTTP %u", nError);
    return text;
}

std::string ShortSendFault(const DbSendState& s) {
    if (!s.bFailing)
        return std::string();
    switch (s.fault) {
    case DbFault::Transport: return "brak po\xB3\xB9" "czenia";
    case DbFault::HttpStatus: return "HTTP " + std::to_string(s.nHttpStatus);
    case DbFault::NotAServer: return "to nie jest InfluxDB";
    case DbFault::SecretUnreadable: return "nieczytelne has\xB3o";
    case DbFault::Credentials: return "niedozwolony znak w logowaniu";
    case DbFault::Internal: return "brak pami\xEA" "ci";
    default: return std::string();
    }
}

std::string DescribeSendState(const DbSendState& s, bool bEnabled) {
    std::string text;
    const std::string fails = "Wysy\xB3" "anie nie dzia\xB3" "a: ";
    const std::string held = "Wysy\xB3" "anie wstrzymane: ";
    if (!bEnabled)
        text = "Wysy\xB3" "anie jest wy\xB3\xB9" "czone.";
    else if (!s.bFailing)
        text = "Wysy\xB3" "anie dzia\xB3" "a.";
    else if (s.fault == DbFault::SecretUnreadable)
        text = held + "zapisanego has\xB3" "a nie mo\xBFna odczyta\xE6, wpisz je ponownie.";
    else if (s.fault == DbFault::Credentials)
        text = held + "nazwa u\xBFytkownika lub has\xB3o zawiera niedozwolony znak.";
    else if (s.fault == DbFault::Internal)
        text = fails + "brak pami\xEA" "ci lub b\xB3\xB9" "d wewn\xEAtrzny.";
    else if (s.fault == DbFault::NotAServer)
        text = fails + "to nie jest InfluxDB ani VictoriaMetrics (odpowied\x9F " + std::to_string(s.nHttpStatus) + ").";
    else if (s.nHttpStatus == 0)
        text = fails + TransportErrorText(s.nTransportError) + ".";
    else
        text = fails + "serwer odpowiedzia\xB3 " + std::to_string(s.nHttpStatus) +
               (s.strServerMessage.empty() ? std::string() : " (" + s.strServerMessage + ")") + ".";
    return text + "\r\nCzeka punkt\xF3w: " + std::to_string(s.nWaiting) + ". Wys\xB3" "ano: " + std::to_string(s.nSent) +
           ". Odrzucone przez serwer: " + std::to_string(s.nRejected) +
           ". Usuni\xEAte z pe\xB3nej kolejki: " + std::to_string(s.nDropped) + ".";
}

std::string DescribePingAnswer(int nStatus, unsigned nTransportError, const std::string& version,
                               const std::string& serverMessage) {
    if (nStatus == 0)
        return "Brak po\xB3\xB9" "czenia: " + TransportErrorText(nTransportError) + ".";
    if (nStatus == 204 || (nStatus >= 200 && nStatus < 300 && !version.empty()))
        return "Serwer odpowiada" + (version.empty() ? std::string() : " (InfluxDB " + version + ")") + ".";
    if (nStatus >= 200 && nStatus < 300)
        return "To nie jest InfluxDB ani VictoriaMetrics (odpowied\x9F " + std::to_string(nStatus) + ").";
    return "Serwer odpowiedzia\xB3 " + std::to_string(nStatus) +
           (serverMessage.empty() ? std::string() : " (" + serverMessage + ")") + ".";
}
