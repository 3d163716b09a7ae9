#include "notify/notify_texts.h"

#include "alarms/channel_alarm.h"
#include "common/civil_time.h"
#include "config/cp1250.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The fixed texts are written as the program's Windows-1250 bytes and go
// out as UTF-8; what the caller gives (the PC's name, the profile) is UTF-8
// already and is not converted.
std::string Pl(const char* text) { return Cp1250ToUtf8(text); }

std::string Subject(const NotifySource& source, const std::string& strWhat) {
    return "QM487 " + source.strPc + ": " + strWhat;
}

// The lines every message begins with after its headline.
std::string SourceLines(const NotifySource& source) {
    std::string text = Pl("Komputer: ") + source.strPc + "\n";
    text += Pl("Profil: ") + (source.strProfile.empty() ? Pl("domy\x9Clny") : source.strProfile) + "\n";
    text += Pl("Przyrz\xB9" "d nr: ") +
            (source.nInstrument > 0 ? std::to_string(source.nInstrument) : Pl("nieznany")) + "\n";
    return text;
}

Notification Base(const NotifySource& source, NotifyEvent event, NotifyTime time) {
    Notification m;
    m.event = event;
    m.strPc = source.strPc;
    m.strProfile = source.strProfile;
    m.nInstrument = source.nInstrument;
    m.strTime = FormatNotifyTime(time);
    return m;
}

// "Temperatura 3 powyżej 25.0 °C", "Zamrażarka 1 powyżej 19.9 °C"
std::string AlarmHeadline(const NotifySource& source, NotifyEvent event, int nChannel, const std::string& strLimit,
                          bool bHigh) {
    const char* what = event == NotifyEvent::kAlarmRaised ? (bHigh ? " powy\xBF" "ej " : " poni\xBF" "ej ")
                                                          : (bHigh ? " wr\xF3" "ci\xB3" "a poni\xBF" "ej "
                                                                   : " wr\xF3" "ci\xB3" "a powy\xBF" "ej ");
    return NotifyChannelTitle(nChannel, source.channels) + Pl(what) + strLimit;
}

}  // namespace

std::string FormatNotifyTime(NotifyTime time) {
    const int offset = time.nOffsetMinutes;
    char zone[16];
    std::snprintf(zone, sizeof zone, " %c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60,
                  std::abs(offset) % 60);
    return FormatCivilSeconds(time.Local()) + zone;
}

std::string FormatNotifyDuration(long long n) {
    if (n < 0)
        n = 0;
    std::string text;
    if (n >= 3600)
        text = std::to_string(n / 3600) + " h ";
    if (n >= 60)
        text += std::to_string(n / 60 % 60) + " min ";
    return text + std::to_string(n % 60) + " s";
}

std::string FormatNotifyTemperature(double dValue, char cDecimal) {
    std::string text = FormatAlarmNumber(dValue);
    for (char& c : text)
        if (c == '.')
            c = cDecimal;
    return text + Pl(" \xB0" "C");
}

std::string NotifyChannelTitle(int nChannel, const ChannelConfig& config) {
    if (nChannel <= 0 || nChannel > 8)
        return Pl("Temperatura \x9Crednia");
    return Cp1250ToUtf8(config.Title(nChannel));
}

Notification ComposeAlarmMessage(const NotifySource& source, NotifyEvent event, int nChannel, double dValue,
                                 double dLimit, bool bHigh, NotifyTime time, long long nDurationSeconds) {
    Notification m = Base(source, event, time);
    m.nChannel = nChannel;
    m.strValue = FormatNotifyTemperature(dValue, source.cDecimal);
    m.strLimit = FormatNotifyTemperature(dLimit, source.cDecimal);
    const std::string headline = AlarmHeadline(source, event, nChannel, m.strLimit, bHigh);
    m.strSubject = Subject(source, headline);
    m.strText = headline + "\n\n" + SourceLines(source);
    m.strText +=
        Pl("Kana\xB3: ") + NotifyChannelTitle(nChannel, source.channels) + " (" + ChannelName(nChannel) + ")\n";
    m.strText += Pl("Warto\x9C\xE6: ") + m.strValue + "\n";
    m.strText += Pl(bHigh ? "G\xF3rna granica: " : "Dolna granica: ") + m.strLimit + "\n";
    m.strText += "Czas: " + m.strTime + "\n";
    if (event == NotifyEvent::kAlarmCleared) {
        m.nDurationSeconds = nDurationSeconds;
        m.strText += Pl("Alarm trwa\xB3 ") + FormatNotifyDuration(nDurationSeconds) + "\n";
    }
    return m;
}

Notification ComposeEventMessage(const NotifySource& source, NotifyEvent event, NotifyTime time, long long nSeconds,
                                 const std::string& strDetail) {
    Notification m = Base(source, event, time);
    std::string headline;
    switch (event) {
    case NotifyEvent::kSilent:
        headline = Pl("Brak odczyt\xF3w od ") + std::to_string(nSeconds / 60) + " min";
        break;
    case NotifyEvent::kHeardAgain: headline = Pl("Odczyty znowu nap\xB3ywaj\xB9"); break;
    case NotifyEvent::kUncleanStart:
        headline = Pl("Program uruchomiony po nieoczekiwanym zako\xF1" "czeniu");
        break;
    case NotifyEvent::kRecordingFailed: headline = Pl("B\xB3\xB9" "d zapisu pomiar\xF3w"); break;
    case NotifyEvent::kRecordingRecovered: headline = Pl("Zapis pomiar\xF3w znowu dzia\xB3" "a"); break;
    case NotifyEvent::kDiskLow: headline = Pl("Ma\xB3o miejsca na dysku z plikiem rejestracji"); break;
    case NotifyEvent::kDiskOk: headline = Pl("Miejsca na dysku z plikiem rejestracji znowu wystarcza"); break;
    default: headline = Pl("Wiadomo\x9C\xE6 pr\xF3" "bna"); break;
    }
    m.strSubject = Subject(source, headline);
    m.strText = headline + "\n\n" + SourceLines(source) + "Czas: " + m.strTime + "\n";
    if (event == NotifyEvent::kHeardAgain) {
        m.nDurationSeconds = nSeconds;
        m.strText += Pl("Cisza trwa\xB3" "a ") + FormatNotifyDuration(nSeconds) + "\n";
    }
    if (!strDetail.empty())
        m.strText += Pl("Szczeg\xF3\xB3y: ") + strDetail + "\n";
    return m;
}

Notification ComposeCalibrationMessage(const NotifySource& source, NotifyTime time, int nChannel,
                                       const std::string& strTitle, const std::string& strDue, int nDaysLeft) {
    Notification m = Base(source, NotifyEvent::kCalibrationDue, time);
    m.nChannel = nChannel;
    // Late when the program was not running on the day.
    const std::string when = nDaysLeft > 0    ? Pl("up\xB3ywa za ") + std::to_string(nDaysLeft) +
                                                 (nDaysLeft == 1 ? Pl(" dzie\xF1, ") : std::string(" dni, ")) + strDue
                             : nDaysLeft == 0 ? Pl("up\xB3ywa dzi\x9C, ") + strDue
                                              : Pl("up\xB3yn\xB9\xB3 ") + strDue;
    const std::string headline = Pl("Termin kalibracji kana\xB3u ") + strTitle + " " + when;
    m.strSubject = Subject(source, headline);
    m.strText = headline + "\n\n" + SourceLines(source);
    m.strText += Pl("Kana\xB3: ") + strTitle + " (" + ChannelName(nChannel) + ")\n";
    m.strText += Pl("Termin kalibracji: ") + strDue + "\nCzas: " + m.strTime + "\n";
    return m;
}

std::string NotifyHeadline(const Notification& message) {
    NotifySource source;
    source.strPc = message.strPc;
    const std::string prefix = Subject(source, "");
    const std::string& subject = message.strSubject;
    return subject.compare(0, prefix.size(), prefix) == 0 ? subject.substr(prefix.size()) : subject;
}

std::string NotifyListLine(const Notification& message) { return message.strTime + " " + NotifyHeadline(message); }

void AppendDigest(Notification& message, const std::vector<Notification>& held, int nRepeatMinutes) {
    if (held.empty())
        return;
    message.strText += Pl("\nWstrzymane (najwy\xBF" "ej jedna wiadomo\x9C\xE6 na kana\xB3 co ") +
                       std::to_string(nRepeatMinutes) + " min):\n";
    for (const Notification& h : held)
        message.strText += "- " + NotifyListLine(h) + Pl(" (warto\x9C\xE6 ") + h.strValue + ")\n";
}

void AppendBacklogDigest(Notification& message, const std::vector<Notification>& older) {
    if (older.empty())
        return;
    const std::string count = std::to_string(older.size());
    message.strSubject += " (+" + count + Pl(" zaleg\xB3ych)");
    message.strText +=
        Pl("\nStarsze, zebrane tutaj, bo kolejka oczekuj\xB9" "cych by\xB3" "a pe\xB3na (") + count + "):\n";
    for (const Notification& h : older) {
        // A line, not a text: one read from a damaged or foreign outbox
        // cannot make the list larger than a record may be.
        std::string line = NotifyListLine(h);
        if (line.size() > 200) {
            std::size_t cut = 200;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
                --cut;  // not inside a UTF-8 letter
            line.resize(cut);
        }
        message.strText += "- " + line + "\n";
    }
}

Notification ComposeSummaryMessage(const NotifySource& source, NotifyTime time, const std::vector<NotifySummaryRow>& rows,
                                   const std::vector<std::string>& alarms, int nMoreAlarms) {
    Notification m = Base(source, NotifyEvent::kSummary, time);
    const std::string headline = Pl("Podsumowanie dnia ") + m.strTime.substr(0, 10);
    m.strSubject = Subject(source, headline);
    m.strText = headline + "\n\n" + SourceLines(source) + "Czas: " + m.strTime + "\n\n";
    m.strText += Pl("Ostatnie 24 h (najni\xBFsza / najwy\xBFsza / \x9Crednia):\n");
    if (rows.empty())
        m.strText += Pl("brak odczyt\xF3w\n");
    for (const NotifySummaryRow& r : rows)
        m.strText += NotifyChannelTitle(r.nChannel, source.channels) + ": " +
                     FormatNotifyTemperature(r.dMin, source.cDecimal) + " / " +
                     FormatNotifyTemperature(r.dMax, source.cDecimal) + " / " +
                     FormatNotifyTemperature(r.dMean, source.cDecimal) + "\n";
    m.strText += Pl("\nAlarmy (") + std::to_string(alarms.size() + nMoreAlarms) + "):\n";
    for (const std::string& a : alarms)
        m.strText += "- " + a + "\n";
    if (nMoreAlarms > 0)
        m.strText += Pl("- i ") + std::to_string(nMoreAlarms) + Pl(" wi\xEA" "cej\n");
    return m;
}
