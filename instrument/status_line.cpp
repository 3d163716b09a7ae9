#include "instrument/status_line.h"
