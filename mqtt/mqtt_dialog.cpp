#include "mqtt/mqtt_dialog.h"

#include "secrets/plain_text_secret.h"
#include "secrets/secret_store.h"
#include "framework/app_messages.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "res/resource.h"

#include <iterator>

namespace {

const char kBadUrl[] = "Podaj adres serwera w postaci mqtt://serwer:1883 lub mqtts://serwer:8883.";
const char kBadTopic[] =
    "Temat g\xB3\xF3wny i prefiks nie mog\xB9 zawiera\xE6 spacji, znak\xF3w + i # ani znak\xF3w steruj\xB9"
    "cych; poziomy oddziela znak / (bez pustych poziom\xF3w).";
const char kChecking[] = "Sprawdzanie...";

}  // namespace

CMqttDialog::CMqttDialog(CWnd* pParent) : CDialog(IDD_MQTT, pParent), m_consent("mqtt://", "mqtts://", AfxAskWarning) {}

CMqttDialog::~CMqttDialog() { EndCheck(); }

const AfxMsgMap* CMqttDialog::GetThisMessageMap() {
    typedef CMqttDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_MQTT_CHECK, &C::OnCheck>(),
        afx::OnMessage<WM_MQTT_CHECK_DONE, &C::OnCheckDone>(),
        afx::OnTimer<&C::OnTimer>(),
        afx::OnDestroy<&C::OnDestroy>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CMqttDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MQTT_URL, m_editUrl);
    DDX_Control(pDX, IDC_MQTT_USER, m_editUser);
    DDX_Control(pDX, IDC_MQTT_SECRET, m_editSecret);
    DDX_Control(pDX, IDC_MQTT_BASE, m_editBase);
    DDX_Control(pDX, IDC_MQTT_PREFIX, m_editPrefix);
    DDX_Control(pDX, IDC_MQTT_CA_FILE, m_editCaFile);
    DDX_Check(pDX, IDC_MQTT_ENABLED, m_bEnabled);
    DDX_Check(pDX, IDC_MQTT_DISCOVERY, m_bDiscovery);
    DDX_Text(pDX, IDC_MQTT_URL, m_settings.strUrl);
    DDX_Text(pDX, IDC_MQTT_USER, m_settings.strUser);
    DDX_Text(pDX, IDC_MQTT_SECRET, m_strSecret);
    DDX_Text(pDX, IDC_MQTT_BASE, m_settings.strBase);
    DDX_Text(pDX, IDC_MQTT_PREFIX, m_settings.strDiscoveryPrefix);
    DDX_Text(pDX, IDC_MQTT_CA_FILE, m_settings.strCaFile);
}

BOOL CMqttDialog::OnInitDialog() {
    m_bEnabled = m_settings.bEnabled;
    m_bDiscovery = m_settings.bDiscovery;
    CDialog::OnInitDialog();
    if (m_bSecretUnreadable)
        ::SetDlgItemTextW(m_hWnd, IDC_MQTT_SECRET_NOTE, afx::Widen1250(kSecretUnreadableText).c_str());
    ShowState();
    SetTimer(kStateTimerId, 1000);
    return TRUE;
}

void CMqttDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    m_settings.bEnabled = m_bEnabled;
    m_settings.bDiscovery = m_bDiscovery;
    MqttUrl url;
    // Switched off, the fields may stay unfinished; switched on, they must work.
    if (m_bEnabled && !ParseMqttUrl(m_settings.strUrl, url)) {
        AfxMessageBox(kBadUrl, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(m_editUrl);
        return;
    }
    if (m_bEnabled && (!IsValidTopicBase(m_settings.strBase) ||
                       (m_bDiscovery && !IsValidTopicBase(m_settings.strDiscoveryPrefix)))) {
        AfxMessageBox(kBadTopic, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(IsValidTopicBase(m_settings.strBase) ? m_editPrefix : m_editBase);
        return;
    }
    if (ParseMqttUrl(m_settings.strUrl, url) && !m_consent.Allows(url.bTls, url.strHost, m_strSecret, false)) {
        ::SetFocus(m_editUrl);
        return;
    }
    EndDialog(IDOK);
}

void CMqttDialog::OnCheck() {
    if (m_checkThread.IsStarted())
        return;
    MqttPublisherConfig config;
    if (!ParseMqttUrl(m_editUrl.GetWindowText(), config.url)) {
        ::SetDlgItemTextW(m_hWnd, IDC_MQTT_CHECK_RESULT, afx::Widen1250(kBadUrl).c_str());
        return;
    }
    config.strUser = m_editUser.GetWindowText();
    config.strPassword = m_editSecret.GetWindowText();
    if (!m_consent.Allows(config.url.bTls, config.url.strHost, config.strPassword, true))
        return;
    config.strClientId = "qm487-check";
    m_checkConfig = config;
    m_checkSocket.reset(new CMqttSocket(m_editCaFile.GetWindowText()));
    ::SetDlgItemTextW(m_hWnd, IDC_MQTT_CHECK_RESULT, afx::Widen1250(kChecking).c_str());
    ::EnableWindow(GetDlgItem(IDC_MQTT_CHECK), FALSE);
    const HWND hWnd = m_hWnd;
    m_checkThread.Start([this, hWnd] {
        m_checkResult = CheckMqttBroker(*m_checkSocket, m_checkConfig);
        PostMessageW(hWnd, WM_MQTT_CHECK_DONE, 0, 0);
        return 0u;
    });
}

LRESULT CMqttDialog::OnCheckDone(WPARAM, LPARAM) {
    EndCheck();
    ::SetDlgItemTextW(m_hWnd, IDC_MQTT_CHECK_RESULT, afx::Widen1250(DescribeMqttCheck(m_checkResult)).c_str());
    ::EnableWindow(GetDlgItem(IDC_MQTT_CHECK), TRUE);
    return 0;
}

void CMqttDialog::OnTimer(UINT_PTR nId) {
    if (nId == kStateTimerId)
        ShowState();
}

void CMqttDialog::OnDestroy() {
    KillTimer(kStateTimerId);
    EndCheck();
    Default();
}

void CMqttDialog::ShowState() {
    if (m_fnState)
        ::SetDlgItemTextW(m_hWnd, IDC_MQTT_STATE, afx::Widen1250(m_fnState()).c_str());
}

void CMqttDialog::EndCheck() {
    if (m_checkSocket)
        m_checkSocket->Cancel();
    m_checkThread.Join();
    m_checkSocket.reset();
}
