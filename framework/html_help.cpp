#include "framework/html_help.h"

#include "framework/system_library.h"

#include <htmlhelp.h>
#include <ole2.h>

CHtmlHelp::~CHtmlHelp() {
    CloseAll();
    // hhctrl's windows must be gone before its code is.
    m_library.Close();
    if (m_bOleInitialized)
        OleUninitialize();
}

bool CHtmlHelp::Load() {
    if (m_pfnHtmlHelp != nullptr)
        return true;
    if (m_bTriedLoad)
        return false;
    m_bTriedLoad = TRUE;
    // The help window embeds the browser control, an OLE object.
    m_bOleInitialized = SUCCEEDED(OleInitialize(nullptr));
    m_library.Attach(LoadSystemLibrary(L"hhctrl.ocx"));
    if (!m_library.IsValid())
        return false;
    m_pfnHtmlHelp =
        reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void*>(GetProcAddress(m_library.Get(), "HtmlHelpW")));
    if (m_pfnHtmlHelp == nullptr)
        m_library.Close();
    return m_pfnHtmlHelp != nullptr;
}

HWND CHtmlHelp::DisplayTopic(HWND hCaller, const std::wstring& strChmPath, const std::wstring& strTopic) {
    if (!Load())
        return nullptr;
    const std::wstring url = strChmPath + L"::/" + strTopic;
    HWND hHelp = m_pfnHtmlHelp(hCaller, url.c_str(), HH_DISPLAY_TOPIC, 0);
    if (hHelp != nullptr)
        m_bOpened = TRUE;
    return hHelp;
}

void CHtmlHelp::CloseAll() {
    if (!m_bOpened || m_pfnHtmlHelp == nullptr)
        return;
    m_pfnHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
    m_bOpened = FALSE;
}
