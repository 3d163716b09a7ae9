#include "notify/notify_feed.h"

#include "config/cp1250.h"
#include "config/native_file.h"
#include "framework/app_messages.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "notify/http_poster_win.h"
#include "notify/notify_dialog.h"
#include "notify/notify_stream_win.h"
#include "notify/notify_texts.h"
#include "notify/notify_ways.h"
#include "notify/program_starter_win.h"

#include <cstdio>
#include <ctime>

namespace {

// The notification log's lines (Windows-1250 here, UTF-8 in the file).
const char kGivenUp[] = "Wiadomo\x9C\xE6 nie mo\xBF" "e by\xE6 dostarczona, porzucono (";
const char kSecretHeld[] = "has\xB3o poczty zapisane przez innego u\xBFytkownika; wpisz je ponownie";

// Now, with the offset the local clock has now and the seconds since the
// PC started, which no setting of the clock moves.
NotifyTime Now() {
    SYSTEMTIME utc = {}, local = {};
    GetSystemTime(&utc);
    NotifyTime time;
    time.nUtc = static_cast<std::int64_t>(std::time(nullptr));
    time.nSteady = static_cast<std::int64_t>(GetTickCount64() / 1000);
    FILETIME fu = {}, fl = {};
    if (SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) && SystemTimeToFileTime(&utc, &fu) &&
        SystemTimeToFileTime(&local, &fl)) {
        const auto ticks = [](const FILETIME& f) {
            return static_cast<std::int64_t>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
        };
        time.nOffsetMinutes = static_cast<int>((ticks(fl) - ticks(fu)) / (60LL * 10000000LL));
    }
    return time;
}

std::string ComputerNameUtf8() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &n) ? afx::NarrowUtf8(std::wstring(name, n)) : std::string();
}

// The log is kept to about a megabyte: past that it becomes the ".old"
// one (the one before goes), so a way failing for months fills no disk.
void AppendLine(const std::filesystem::path& log, const std::string& strLine) {
    std::error_code error;
    if (std::filesystem::file_size(log, error) > (1u << 20) && !error) {
        std::filesystem::path old = log;
        std::filesystem::rename(log, old += ".old", error);
    }
    if (std::FILE* f = native_file::Open(log, "ab")) {
        std::fputs((FormatNotifyTime(Now()) + " " + strLine + "\r\n").c_str(), f);
        std::fclose(f);
    }
}

// E-mail while its stored password cannot be read (another user's): it
// keeps its place among the ways, so no message is counted as mailed, and
// nothing goes out without the password it should have.
class CHeldMailWay : public INotifyWay {
public:
    const char* Name() const override { return "e-mail"; }
    DeliveryResult Deliver(const Notification&) override {
        return {DeliveryResult::kRetryLater, Cp1250ToUtf8(kSecretHeld)};
    }
    void Cancel() override {}
};

// The ways the settings give, with the password in plain. A program ended
// for running too long is noted on a pool thread, perhaps after the feed
// has gone: the note holds its own copy of the log's path.
std::vector<std::unique_ptr<INotifyWay>> MakeWays(const NotifySettings& settings, const std::string& strPassword,
                                                  bool bPasswordHeld, const std::filesystem::path& log) {
    std::vector<std::unique_ptr<INotifyWay>> ways;
    if (!settings.strSmtpUrl.empty() && bPasswordHeld)
        ways.push_back(std::make_unique<CHeldMailWay>());
    else if (!settings.strSmtpUrl.empty()) {
        auto mail =
            std::make_unique<CMailWay>(settings, strPassword, [] { return std::make_unique<CNotifyStreamWin>(); });
        // Recipients refused while others took the message.
        mail->SetNote([log](const std::string& line) { AppendLine(log, line); });
        ways.push_back(std::move(mail));
    }
    if (!settings.strWebhookUrl.empty())
        ways.push_back(std::make_unique<CWebhookWay>(settings, std::make_unique<CHttpPosterWin>()));
    if (!settings.strProgram.empty())
        ways.push_back(std::make_unique<CProgramWay>(
            settings, std::make_unique<CProgramStarterWin>([log](const std::string& text) { AppendLine(log, text); })));
    return ways;
}

}  // namespace

NotifyTestAnswers SendNotifyTest(const NotifySource& source, const NotifySettings& settings,
                                 const std::string& strPassword, bool bStoredUnreadable,
                                 const std::filesystem::path& log) {
    const auto ways = MakeWays(settings, strPassword, bStoredUnreadable && strPassword.empty(), log);
    const std::vector<DeliveryResult> results =
        CNotifySender::SendTest(ways, ComposeEventMessage(source, NotifyEvent::kTest, Now(), 0, ""));
    NotifyTestAnswers answers;
    for (std::size_t k = 0; k < ways.size() && k < results.size(); ++k)
        answers.emplace_back(ways[k]->Name(), results[k]);
    return answers;
}

CNotifyFeed::CNotifyFeed(Host& host) : m_host(host) {}

CNotifyFeed::~CNotifyFeed() { Stop(false); }

NotifySource CNotifyFeed::Source() const {
    NotifySource source;
    source.strPc = ComputerNameUtf8();
    source.strProfile = Cp1250ToUtf8(m_host.ProfileName());
    source.nInstrument = m_host.InstrumentNumber();
    source.cDecimal = m_host.DecimalSeparator();
    source.channels = m_host.ChannelConfiguration();
    return source;
}

std::filesystem::path CNotifyFeed::Beside(const char* pszExtension) const {
    return NotifyFileBeside(std::filesystem::path(m_host.SettingsFile()), pszExtension);
}

void CNotifyFeed::ApplySettings(const NotifySettings& settings) {
    m_settings = settings;
    m_secret.Load(settings.strSmtpProtectedSecret);
    if (m_pRules)
        m_pRules->TakeSettings(settings);
    if (m_bStarted)
        StartSending();
}

void CNotifyFeed::Log(const std::string& strLine) const { AppendLine(Beside(".notify.log"), strLine); }

void CNotifyFeed::Start() {
    if (m_bStarted)
        return;
    m_bStarted = true;
    m_pMarker = std::make_unique<CRunMarker>(Beside(".running"));
    const bool bUnclean = m_pMarker->Begin();
    m_pRules = std::make_unique<CNotifyRules>(Source(), m_settings);
    m_pSender = std::make_unique<CNotifySender>(Beside(".outbox"));
    const std::filesystem::path log = Beside(".notify.log");
    m_pSender->SetGivenUp([log](const Notification& message, const std::string& strWay, const std::string& strAnswer) {
        AppendLine(log, Cp1250ToUtf8(kGivenUp) + strWay + "): " + message.strSubject + " \xE2\x80\x94 " + strAnswer);
    });
    m_pSender->SetLog([log](const std::string& strLine) { AppendLine(log, strLine); });
    StartSending();
    // What the last run left is already first in the outbox; this follows it.
    m_pRules->OnStart(bUnclean, Now());
    PostDue();
    m_host.SetTimer(kTickTimerId, 1000);
}

void CNotifyFeed::StartSending() {
    if (!m_pSender)
        return;
    m_pSender->Stop();
    const HWND hWnd = m_host.NotifyWindow();
    m_pSender->Start(MakeWays(m_settings, m_secret.Plain(), m_secret.IsUnreadable(), Beside(".notify.log")), [hWnd] {
        if (hWnd != nullptr)
            PostMessageW(hWnd, WM_NOTIFY_STATE, 0, 0);
    });
}

void CNotifyFeed::Stop(bool bNormal) {
    if (!m_bStarted)
        return;
    m_bStarted = false;
    m_host.KillTimer(kTickTimerId);
    if (m_pSender)
        m_pSender->Stop();
    if (bNormal && m_pMarker)
        m_pMarker->End();
}

void CNotifyFeed::PostDue() {
    if (!m_pRules || !m_pSender)
        return;
    std::vector<Notification> due = m_pRules->TakeMessages();
    // With no way set nothing is kept: the outbox would only grow.
    if (!m_settings.HasWay())
        return;
    for (Notification& message : due)
        m_pSender->Post(std::move(message));
}

void CNotifyFeed::OnTickTimer() {
    if (!m_pRules)
        return;
    m_pRules->SetSource(Source());
    m_pRules->OnTick(Now());
    PostDue();
}

void CNotifyFeed::OnReading(const CInstrument& instrument, int nChannel) {
    if (!m_pRules || nChannel < 0 || nChannel >= CChannelSet::kChannels)
        return;
    const NotifyTime now = Now();
    m_pRules->SetSource(Source());
    m_pRules->OnLineHeard(now);
    const ChannelState& channel = instrument.Channels()[nChannel];
    if (!channel.bNoValue && !channel.bAlert)
        m_pRules->OnReading(nChannel, channel.dValue, channel.alarm, now);
    PostDue();
}

void CNotifyFeed::OnCalibrationDue(int nChannel, const std::string& strTitle, const std::string& strDue,
                                   int nDaysLeft) {
    if (!m_pRules)
        return;
    m_pRules->SetSource(Source());
    m_pRules->OnCalibrationDue(nChannel, strTitle, strDue, nDaysLeft, Now());
    PostDue();
}

void CNotifyFeed::OnRecordingState(bool bFailing, const std::string& strWhy) {
    if (!m_pRules || bFailing == m_bRecordingFailing)
        return;
    m_bRecordingFailing = bFailing;
    if (bFailing)
        m_pRules->OnRecordingFailed(Cp1250ToUtf8(strWhy), Now());
    else
        m_pRules->OnRecordingRecovered(Now());
    PostDue();
}

void CNotifyFeed::OnDiskSpace(const std::string& strWarning) {
    if (!m_pRules)
        return;
    std::string text = Cp1250ToUtf8(strWarning);
    text.erase(text.find_last_not_of(' ') + 1);  // the status line's piece ends with ". "
    m_pRules->OnDiskSpace(text, Now());
    PostDue();
}

std::string CNotifyFeed::DescribeState() const {
    if (!m_settings.HasWay())
        return std::string();
    if (m_secret.IsUnreadable() && !m_settings.strSmtpUrl.empty())
        return kSecretHeld;
    std::string text;
    if (m_pSender) {
        for (const NotifyWayState& way : m_pSender->States())
            text += way.strName + ": " + (way.strLastAnswer.empty() ? "-" : afx::Narrow1250(afx::WidenUtf8(way.strLastAnswer))) + "\r\n";
        // One line, which the dialog has room for: how many wait, how many
        // the outbox's bound folded into lists, and whether they wait in
        // memory only (the file held by another program).
        const int nFolded = m_pSender->FoldedMessages();
        const bool bUnread = m_pSender->IsOutboxUnread();
        if (m_pSender->PendingCount() > 0 || nFolded > 0 || bUnread)
            text += "Oczekuj\xB9" "ce wiadomo\x9C" "ci: " + std::to_string(m_pSender->PendingCount()) +
                    (nFolded > 0 ? "; zebrane w listy (kolejka pe\xB3na): " + std::to_string(nFolded) : "") +
                    (bUnread ? "; plik zaj\xEAty, tylko w pami\xEA" "ci" : "") + "\r\n";
        if (m_pSender->DamagedRecords() > 0)
            text += "Uszkodzone wpisy w pliku oczekuj\xB9" "cych wiadomo\x9C" "ci: " +
                    std::to_string(m_pSender->DamagedRecords()) + "\r\n";
    }
    return text;
}

bool CNotifyFeed::IsFailing() const {
    return (m_settings.HasWay() && m_secret.IsUnreadable() && !m_settings.strSmtpUrl.empty()) ||
           (m_pSender && m_pSender->IsFailing());
}

bool CNotifyFeed::RunDialog(CWnd* pParent) {
    CNotifyDialog dlg(pParent);
    dlg.m_settings = m_settings;
    dlg.m_storedSecret = m_secret;
    // The test's thread may outlive the dialog and this part: it gets copies.
    const NotifySource source = Source();
    const std::filesystem::path log = Beside(".notify.log");
    const bool bStoredUnreadable = m_secret.IsUnreadable();
    dlg.m_fnTestSend = [source, log, bStoredUnreadable](const NotifySettings& settings, const std::string& strPassword) {
        return SendNotifyTest(source, settings, strPassword, bStoredUnreadable, log);
    };
    dlg.m_fnState = [this] { return DescribeState(); };
    if (dlg.DoModal() != IDOK)
        return false;
    const std::string protectedSecret = m_settings.strSmtpProtectedSecret;
    NotifySettings settings = dlg.m_settings;
    settings.strSmtpProtectedSecret = protectedSecret;
    if (dlg.m_bSecretTyped && !m_secret.Replace(dlg.m_strTypedSecret, &settings.strSmtpProtectedSecret))
        AfxMessageBox(kSecretNotKeptText, MB_OK | MB_ICONEXCLAMATION);
    m_settings = settings;
    if (m_pRules)
        m_pRules->TakeSettings(m_settings);
    if (m_bStarted)
        StartSending();
    return true;
}
