// The standard controls the program binds to objects.
#pragma once

#include "framework/wnd.h"

class CStatic : public CWnd {};

class CEdit : public CWnd {};
