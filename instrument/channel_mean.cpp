#include "instrument/channel_mean.h"
