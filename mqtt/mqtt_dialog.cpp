#include "mqtt/mqtt_dialog.h"

#include "framework/win_app.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt/mqtt_socket.h"
#include "config/setting_rules.h"
#include "res/resource.h"

#include <iterator>
#include <memory>

namespace {

const char kBadUrl[] = "Podaj adres serwera w postaci mqtt://serwer:1883 lub mqtts://serwer:8883.";
const char kBadTopic[] =
    "Temat g\xB3\xF3wny i prefiks nie mog\xB9 zawiera\xE6 spacji, znak\xF3w + i # ani znak\xF3w steruj\xB9"
    "cych; poziomy oddziela znak / (bez pustych poziom\xF3w).";
const char kBadCaFile[] = "Podaj pe\xB3n\xB9 \x9C\x63ie\xBFk\xEA pliku certyfikatu, np. C:\\Certyfikaty\\ca.pem.";

}  // namespace

CMqttDialog::CMqttDialog(CWnd* pParent)
    : CConnectionCheckDialog(IDD_MQTT, pParent,
                             {IDC_MQTT_CHECK, IDC_MQTT_CHECK_RESULT, IDC_MQTT_STATE, IDC_MQTT_SECRET_NOTE}, "mqtt://",
                             "mqtts://") {}

const AfxMsgMap* CMqttDialog::GetThisMessageMap() {
    typedef CMqttDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_MQTT_CHECK, &C::OnCheck>(),
    };
    static const AfxMsgMap map = {CConnectionCheckDialog::GetThisMessageMap(), entries, std::size(entries)};
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
    DDX_ExactText(pDX, IDC_MQTT_USER, m_settings.strUser);
    DDX_SecretText(pDX, IDC_MQTT_SECRET, m_strSecret);
    DDX_Text(pDX, IDC_MQTT_BASE, m_settings.strBase);
    DDX_Text(pDX, IDC_MQTT_PREFIX, m_settings.strDiscoveryPrefix);
    DDX_Text(pDX, IDC_MQTT_CA_FILE, m_settings.strCaFile);
}

BOOL CMqttDialog::OnInitDialog() {
    m_bEnabled = m_settings.bEnabled;
    m_bDiscovery = m_settings.bDiscovery;
    return CConnectionCheckDialog::OnInitDialog();
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
    // The rule the connection keeps: a relative name would be read from
    // whatever folder is current.
    if (m_bEnabled && !m_settings.strCaFile.empty() && !IsFullWindowsPath(m_settings.strCaFile)) {
        AfxMessageBox(kBadCaFile, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(m_editCaFile);
        return;
    }
    if (const char* pszUser = UserNameFault(m_settings.strUser)) {
        AfxMessageBox(pszUser, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(m_editUser);
        return;
    }
    if (ParseMqttUrl(m_settings.strUrl, url) && !m_consent.Allows(url.bTls, url.strHost, m_strSecret, false)) {
        ::SetFocus(m_editUrl);
        return;
    }
    EndDialog(IDOK);
}

void CMqttDialog::OnCheck() {
    if (IsChecking())
        return;
    MqttPublisherConfig config;
    if (!ParseMqttUrl(m_editUrl.GetWindowText(), config.url)) {
        ShowCheckResult(kBadUrl);
        return;
    }
    config.strUser = ExactText(m_editUser);
    if (const char* pszUser = UserNameFault(config.strUser)) {
        ShowCheckResult(pszUser);
        return;
    }
    config.strPassword = SecretText(m_editSecret);
    if (!m_consent.Allows(config.url.bTls, config.url.strHost, config.strPassword, true))
        return;
    config.strClientId = "qm487-check";
    config.strCaFile = m_editCaFile.GetWindowText();
    auto socket = std::make_shared<CMqttSocket>(config.strCaFile);
    StartCheck([socket, config] { return DescribeMqttCheck(CheckMqttBroker(*socket, config)); },
               [socket] { socket->Cancel(); });
}
