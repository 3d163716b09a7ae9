#include "notify/notify_ways.h"

#include "common/civil_time.h"
#include "config/cp1250.h"
#include "notify/command_line.h"
#include "notify/mail_message.h"
#include "notify/notify_payloads.h"
#include "notify/notify_settings_check.h"
#include "secrets/secret_text.h"

#include <chrono>
#include <condition_variable>
#include <thread>

namespace {

std::string Pl(const std::string& cp1250) { return Cp1250ToUtf8(cp1250); }

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The start of an answer's body on one line, for the dialog and the log,
// which are UTF-8: a byte of a body in another code page becomes '?'.
std::string BodyStart(const std::string& body) { return Utf8OneLine(body, 200, ' '); }

// "C:\...", "C:/..." or "\\server\share\...": started by its full path only,
// never looked up in the PATH or the working folder.
bool IsFullPath(const std::string& path) {
    const bool bDrive = path.size() > 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                        path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    return bDrive || path.compare(0, 2, "\\\\") == 0;
}

}  // namespace

DeliveryResult CConfiguredWay::Waiting(const std::string& reason) const {
    DeliveryResult result;
    result.kind = DeliveryResult::kRetryLater;
    result.strAnswer = reason;
    return result;
}

CMailWay::CMailWay(const NotifySettings& settings, const std::string& strPassword, NotifyStreamFactory streams,
                   unsigned nConnectMs, unsigned nReplyMs)
    : m_streams(std::move(streams)) {
    m_job.strCaFile = Cp1250ToUtf8(settings.strSmtpCaFile);
    m_job.strUser = Cp1250ToUtf8(settings.strSmtpUser);
    m_job.strPassword = SecretTextToUtf8(strPassword);
    m_job.strFrom = settings.strFrom;
    m_job.nConnectMs = nConnectMs;
    m_job.nReplyMs = nReplyMs;
    // The dialog's rules: what it took is sent, what it refuses waits here.
    if (const char* pszUrlFault = SmtpUrlFault(settings.strSmtpUrl, &m_job.url))
        m_strFault = Pl(pszUrlFault);
    else if (ParseAddressList(settings.strTo, m_job.to, &m_strFault) && !IsValidMailAddress(settings.strFrom))
        m_strFault = Pl("Niepoprawny adres nadawcy: \"" + settings.strFrom + "\".");
    // A relative name would be read from whatever folder is current.
    if (m_strFault.empty() && !settings.strSmtpCaFile.empty() && !IsFullWindowsPath(settings.strSmtpCaFile))
        m_strFault = Pl("Plik certyfikatu CA trzeba poda\xE6 pe\xB3n\xB9 \x9C" "cie\xBFk\xB9 (np. C:\\Certyfikaty\\ca.pem).");
}

DeliveryResult CMailWay::Deliver(const Notification& message) {
    if (!m_strFault.empty())
        return Waiting(m_strFault);
    SmtpJob job = m_job;
    job.strEhloName = EhloName(message.strPc);
    std::string date;
    if (!MailDateFromEventTime(message.strTime, date))
        MailDateFromEventTime(FormatCivilSeconds(UtcMillisecondsNow() / 1000) + " +00:00", date);
    job.strMessage = ComposeMail(message, job.strFrom, job.to, date, MailMessageId(message, job.strFrom));
    std::unique_ptr<INotifyStream> stream = m_streams();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bCancelled || !stream)
            return Waiting(Pl("Wysy\xB3" "anie przerwano."));
        m_pStream = stream.get();
    }
    std::string refused;
    DeliveryResult result = SendSmtp(*stream, job, &refused);
    // Those refused are the message given up for them, while the others
    // took it: the log says so, as for a message given up whole.
    if (!refused.empty() && m_onNote)
        m_onNote(Pl("Wiadomo\x9C\xE6 nie dotar\xB3" "a do cz\xEA\x9C" "ci odbiorc\xF3w (e-mail): ") + message.strSubject +
                 " \xE2\x80\x94 " + refused);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pStream = nullptr;
    // A cancelled stream reads as a connection ended; the log says why.
    return m_bCancelled && result.kind != DeliveryResult::kDelivered ? Waiting(Pl("Wysy\xB3" "anie przerwano.")) : result;
}

void CMailWay::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bCancelled = true;
    if (m_pStream)
        m_pStream->Cancel();
}

CWebhookWay::CWebhookWay(const NotifySettings& settings, std::unique_ptr<IHttpPoster> poster, unsigned nTimeoutMs)
    : m_strUrl(Cp1250ToUtf8(settings.strWebhookUrl)), m_bJson(settings.strWebhookFormat != "text"),
      m_poster(std::move(poster)), m_nTimeoutMs(nTimeoutMs) {
    const std::string scheme = LowerAscii(m_strUrl.substr(0, 8));
    bool bPlain = true;
    for (char c : m_strUrl)
        bPlain = bPlain && static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x7F;
    if (!bPlain || (scheme.compare(0, 7, "http://") != 0 && scheme != "https://") || m_strUrl.size() <= scheme.size())
        m_strFault = Pl("Adres web hooka musi mie\xE6 posta\xE6 http://... lub https://... (bez spacji).");
}

DeliveryResult CWebhookWay::Deliver(const Notification& message) {
    if (!m_strFault.empty())
        return Waiting(m_strFault);
    const HttpAnswer answer =
        m_bJson ? m_poster->Post(m_strUrl, "application/json", WebhookJson(message), m_nTimeoutMs)
                : m_poster->Post(m_strUrl, "text/plain; charset=utf-8", NotifyMessageText(message), m_nTimeoutMs);
    if (answer.nStatus == 0)
        return Waiting(answer.strError.empty() ? Pl("Web hook nie odpowiedzia\xB3.") : answer.strError);
    DeliveryResult result;
    const std::string body = BodyStart(answer.strBody);
    result.strAnswer = "HTTP " + std::to_string(answer.nStatus) + (body.empty() ? "" : ": " + body);
    const int n = answer.nStatus;
    if (n >= 200 && n <= 299)
        result.kind = DeliveryResult::kDelivered;
    else if (n >= 400 && n <= 499 && n != 408 && n != 429)
        result.kind = DeliveryResult::kNeverDeliverable;
    else
        result.kind = DeliveryResult::kRetryLater;
    return result;
}

namespace {

// "Sending was stopped", for a Cancel.
std::string Stopped() {
    return Pl("Wysy\xB3"
              "anie przerwano.");
}

}  // namespace

struct CProgramWay::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    int nRunning = 0;  // started or starting, not yet ended
    bool bCancelled = false;

    // Until done(), looking again every 100 ms as well as at each notify:
    // the MinGW runtime's condition variable was seen under Wine to lose a
    // wake-up (the thread that had set the state and notified was gone, the
    // waiter slept on), and no Deliver may hang on one.
    template <class Done>
    void Wait(std::unique_lock<std::mutex>& lock, Done done) {
        while (!changed.wait_for(lock, std::chrono::milliseconds(100), done)) {
        }
    }
};

CProgramWay::CProgramWay(const NotifySettings& settings, std::unique_ptr<IProgramStarter> starter, unsigned nRunLimitMs)
    : m_strPath(Cp1250ToUtf8(settings.strProgram)),
      m_starter(std::move(starter)),
      m_nRunLimitMs(nRunLimitMs),
      m_shared(std::make_shared<Shared>()) {
    if (!IsFullPath(m_strPath))
        m_strFault = Pl("Program trzeba poda\xE6 pe\xB3n\xB9 \x9C"
                        "cie\xBFk\xB9 (np. C:\\Programy\\powiadom.exe).");
}

DeliveryResult CProgramWay::Deliver(const Notification& message) {
    if (!m_strFault.empty())
        return Waiting(m_strFault);
    struct Outcome {
        bool bDone = false;
        bool bStarted = false;
        std::string strError;
    };
    const std::shared_ptr<Shared> shared = m_shared;
    const auto outcome = std::make_shared<Outcome>();
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->Wait(lock, [&] { return shared->bCancelled || shared->nRunning == 0; });
    if (shared->bCancelled)
        return Waiting(Stopped());
    ++shared->nRunning;
    auto ended = [shared] {
        std::lock_guard<std::mutex> endLock(shared->mutex);
        --shared->nRunning;
        shared->changed.notify_all();
    };
    try {
        std::thread([shared, outcome, ended, starter = m_starter, path = m_strPath,
                     args = IsPowerShellScript(m_strPath) ? ScriptArguments(message) : ProgramArguments(message),
                     nLimitMs = m_nRunLimitMs] {
            std::string error;
            bool bStarted = false;
            try {
                bStarted = starter->Start(path, args, nLimitMs, &error, ended);
            } catch (...) {  // no exception leaves a thread
                error = "?";
            }
            std::lock_guard<std::mutex> doneLock(shared->mutex);
            shared->nRunning -= bStarted ? 0 : 1;
            outcome->bDone = true;
            outcome->bStarted = bStarted;
            outcome->strError = error;
            shared->changed.notify_all();
        }).detach();
    } catch (...) {  // no thread to start it on
        --shared->nRunning;
        throw;
    }
    shared->Wait(lock, [&] { return outcome->bDone || shared->bCancelled; });
    if (!outcome->bDone)
        return Waiting(Stopped());
    if (!outcome->bStarted)
        return Waiting(Pl("Nie uruchomiono programu: ") + outcome->strError);
    DeliveryResult result;
    result.kind = DeliveryResult::kDelivered;
    result.strAnswer = Pl("Program uruchomiono.");
    return result;
}

void CProgramWay::Cancel() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->bCancelled = true;
    m_shared->changed.notify_all();
}
