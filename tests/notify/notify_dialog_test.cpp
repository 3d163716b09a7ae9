// "Powiadomienia" on a GUI thread of the test, over a window of the test's
// own, driven from outside as a user would: refusals of what cannot work, a
// test message through a sending function of the test's, and OK that waits
// for no test.
#include "framework/handles.h"
#include "framework/wnd.h"
#include "notify/notify_dialog.h"
#include "res/resource.h"
#include "secrets/secret_text.h"
#include "tests/wait_for.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

using qm487test::WaitFor;

std::wstring Text(HWND hWnd) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(hWnd, buffer, 1024);
    return buffer;
}

NotifySettings Working() {
    NotifySettings s;
    s.strSmtpUrl = "smtp://smtp.example.com:587";
    s.strFrom = "hala2@firma.pl";
    s.strTo = "jan@firma.pl";
    s.strSmtpUser = "hala2";
    s.strWebhookUrl = "https://ntfy.sh/hala2";
    return s;
}

// The dialog, run modally on a thread of its own over a plain owner window.
class DialogThread {
public:
    explicit DialogThread(std::function<void(CNotifyDialog&)> setup) {
        m_thread = std::thread([this, setup] {
            CWnd owner;
            owner.CreateEx(0, L"STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr);
            dialog.reset(new CNotifyDialog(&owner));
            setup(*dialog);
            m_threadId = GetCurrentThreadId();
            result = dialog->DoModal();
            owner.DestroyWindow();
            ended = true;
        });
    }
    ~DialogThread() {
        if (!ended && m_hDialog != nullptr)
            PostMessageW(m_hDialog, WM_COMMAND, IDCANCEL, 0);
        m_thread.join();
    }
    // The dialog's window, once it shows; or the message box over it.
    HWND Find(bool bMessageBox) const {
        struct Search {
            bool box;
            HWND found;
        } search = {bMessageBox, nullptr};
        EnumThreadWindows(
            m_threadId,
            [](HWND hWnd, LPARAM lp) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lp);
                wchar_t cls[32] = {};
                GetClassNameW(hWnd, cls, 32);
                const bool ours = GetDlgItem(hWnd, IDC_NOTIFY_STATE) != nullptr;
                if (std::wstring(cls) == L"#32770" && IsWindowVisible(hWnd) && ours != s->box) {
                    s->found = hWnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND Open() {
        WaitFor([&] { return m_threadId != 0 && (m_hDialog = Find(false)) != nullptr; });
        return m_hDialog;
    }
    HWND Item(int id) const { return GetDlgItem(m_hDialog, id); }
    void Press(int id) const { PostMessageW(m_hDialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id))); }
    void Type(int id, const wchar_t* text) const {
        for (const wchar_t* p = text; *p != 0; ++p)
            PostMessageW(Item(id), WM_CHAR, *p, 0);
    }
    HWND Focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(m_threadId, &info);
        return info.hwndFocus;
    }

    std::unique_ptr<CNotifyDialog> dialog;
    std::atomic<INT_PTR> result{0};
    std::atomic<bool> ended{false};

private:
    std::atomic<DWORD> m_threadId{0};
    HWND m_hDialog = nullptr;
    std::thread m_thread;
};

// A sending function of the test's: it records what it got and waits for
// the test's word, as a slow server would.
struct FakeSend {
    CHandle release{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    NotifySettings settings;
    std::string strPassword;
    std::atomic<int> nReturned{0};
};

NotifyTestSend SendThrough(std::shared_ptr<FakeSend> fake) {
    return [fake](const NotifySettings& settings, const std::string& password) {
        fake->settings = settings;
        fake->strPassword = password;
        WaitForSingleObject(fake->release.Get(), 60000);
        ++fake->nReturned;
        return NotifyTestAnswers{{"e-mail", {DeliveryResult::kDelivered, "250 2.0.0 OK"}},
                                 {"web hook", {DeliveryResult::kRetryLater, "429 Za du\xC5\xBC" "o"}},
                                 {"program", {DeliveryResult::kDelivered, "uruchomiony"}}};
    };
}

}  // namespace

TEST(NotifyDialog, RefusesWhatCannotWorkSaysWhyAndPutsTheFocusOnIt) {
    DialogThread run([](CNotifyDialog& d) {
        d.m_settings = Working();
        d.m_fnTestSend = SendThrough(std::make_shared<FakeSend>());
    });
    ASSERT_NE(run.Open(), nullptr);
    const struct {
        int id;
        const wchar_t* text;
        const wchar_t* says;
    } rows[] = {
        {IDC_NOTIFY_SMTP_URL, L"http://smtp.example.com", L"smtp://serwer:587"},
        {IDC_NOTIFY_TO, L"jan@firma.pl, anna", L"odbiorc\x00F3w"},
        // What the sending could never send; and letters Windows-1250 has
        // no byte for, which a best-fit reading would turn into "?" or a
        // look-alike ("f\x0131rma" into "firma").
        {IDC_NOTIFY_TO, L"micha\x0142@firma.pl", L"ASCII"},
        {IDC_NOTIFY_FROM, L"jan@f\x0131rma.pl", L"ASCII"},
        {IDC_NOTIFY_USER, L"\x0438\x0432\x0430\x043D", L"Windows-1250"},
        {IDC_NOTIFY_PROGRAM, L"alarm.cmd", L"pe\x0142n\x0105 \x015B" L"cie\x017Ck\x0119 programu"},
        {IDC_NOTIFY_SILENCE, L"20000", L"ciszy"},
        {IDC_NOTIFY_SUMMARY, L"25:00", L"GG:MM"},
        {IDC_NOTIFY_DELAY, L"5s", L"liczb\x0119 ca\x0142kowit\x0105"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        const std::wstring was = Text(run.Item(row.id));
        SetWindowTextW(run.Item(row.id), row.text);
        run.Press(IDOK);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = run.Find(true)) != nullptr; }));
        EXPECT_NE(Text(GetDlgItem(box, 0xFFFF)).find(row.says), std::wstring::npos) << Text(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return run.Find(true) == nullptr; }));
        EXPECT_TRUE(WaitFor([&] { return run.Focus() == run.Item(row.id); })) << "the field to mend";
        EXPECT_FALSE(run.ended);
        SetWindowTextW(run.Item(row.id), was.c_str());
    }
    // The test message says it in the dialog, with no message box.
    SetWindowTextW(run.Item(IDC_NOTIFY_WEBHOOK_URL), L"ftp://ntfy.sh/x");
    run.Press(IDC_NOTIFY_TEST);
    EXPECT_TRUE(WaitFor([&] { return Text(run.Item(IDC_NOTIFY_TEST_RESULT)).find(L"https://") != std::wstring::npos; }));
    EXPECT_EQ(run.Find(true), nullptr);
    run.Press(IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return run.ended.load(); }));
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(NotifyDialog, TestShowsEachWaysAnswerAndOkReturnsTheSettingsWithoutWaitingForIt) {
    auto fake = std::make_shared<FakeSend>();
    DialogThread run([&](CNotifyDialog& d) {
        d.m_settings = Working();
        std::string stored;
        d.m_storedSecret.Replace("stare-haslo", &stored);
        d.m_fnTestSend = SendThrough(fake);
    });
    ASSERT_NE(run.Open(), nullptr);
    EXPECT_NE(Text(run.Item(IDC_NOTIFY_SECRET_NOTE)).find(L"zapisane"), std::wstring::npos);

    // The stored password goes with the test while none is typed; the
    // dialog keeps answering while the ways take their time.
    run.Press(IDC_NOTIFY_TEST);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(run.Item(IDC_NOTIFY_TEST)); }));
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(run.Open(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer), 0);
    SetEvent(fake->release.Get());
    const std::wstring expected = L"e-mail: 250 2.0.0 OK\r\nweb hook: 429 Za du\x017Co\r\nprogram: uruchomiony";
    EXPECT_TRUE(WaitFor([&] { return Text(run.Item(IDC_NOTIFY_TEST_RESULT)) == expected; }))
        << Text(run.Item(IDC_NOTIFY_TEST_RESULT)).size();
    EXPECT_EQ(fake->strPassword, "stare-haslo");
    EXPECT_EQ(fake->settings.strSmtpUrl, "smtp://smtp.example.com:587");
    EXPECT_EQ(fake->settings.strWebhookFormat, "json");

    // A typed password and the text format; OK while a test is under way
    // closes at once, and the test ends on its own.
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(run.Item(IDC_NOTIFY_TEST)) != FALSE; }));
    SendMessageW(run.Item(IDC_NOTIFY_WEBHOOK_FORMAT), CB_SETCURSEL, 1, 0);
    SetWindowTextW(run.Item(IDC_NOTIFY_SUMMARY), L"07:30");
    SetWindowTextW(run.Item(IDC_NOTIFY_TO), L"ola@firma.pl;jan@firma.pl");
    SetWindowTextW(run.Item(IDC_NOTIFY_SECRET), L"");
    run.Type(IDC_NOTIFY_SECRET, L"\x043F\x0430\x0440\x043E\x043B\x044C");  // Cyrillic, as typed
    run.Press(IDC_NOTIFY_TEST);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(run.Item(IDC_NOTIFY_TEST)); }));
    run.Press(IDOK);
    ASSERT_TRUE(WaitFor([&] { return run.ended.load(); }));
    EXPECT_EQ(fake->nReturned, 1) << "OK waited for no test";
    SetEvent(fake->release.Get());
    EXPECT_TRUE(WaitFor([&] { return fake->nReturned == 2; }));
    const std::string typed = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
    EXPECT_EQ(SecretTextToUtf8(fake->strPassword), typed);
    EXPECT_EQ(run.result, IDOK);
    const NotifySettings& s = run.dialog->m_settings;
    EXPECT_EQ(s.strWebhookFormat, "text");
    EXPECT_EQ(s.strSummary, "07:30");
    EXPECT_EQ(s.strTo, "ola@firma.pl;jan@firma.pl");
    EXPECT_TRUE(run.dialog->m_bSecretTyped);
    EXPECT_EQ(SecretTextToUtf8(run.dialog->m_strTypedSecret), typed);
}
