// A kernel handle (file, event, thread) closed with its owner.
#pragma once

#include <windows.h>

class CHandle {
public:
    CHandle() : m_h(INVALID_HANDLE_VALUE) {}
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE Get() const { return m_h; }
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    void Attach(HANDLE h) {
        Close();
        m_h = h;
    }
    void Close() {
        if (IsValid())
            ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h;
};
