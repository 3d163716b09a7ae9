#include "framework/wnd.h"

CWnd::CWnd() : m_hWnd(nullptr) {}

// Whoever creates the window destroys it; the base class only holds the handle.
CWnd::~CWnd() {}
