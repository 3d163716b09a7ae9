#include "app/main_layout.h"
