#include "notify/notify_stream_win.h"

#include "framework/text.h"

bool CNotifyStreamWin::Open(const std::string& strHost, int nPort, bool bTls, const std::string& strCaFile,
                            unsigned nTimeoutMs, std::string* pError) {
    if (strHost.empty() || nPort <= 0 || nPort > 65535) {
        *pError = "no server address";
        return false;
    }
    m_socket.SetCaFile(afx::WidenUtf8(strCaFile));
    return m_socket.Open(strHost, static_cast<unsigned>(nPort), bTls, nTimeoutMs, pError);
}
