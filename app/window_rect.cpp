#include "app/window_rect.h"
