#include "recording/record_types.h"

#include <cmath>

bool HasRecordableValue(const ChannelSample& sample) {
    return !sample.bNoValue && !sample.bAlert && std::isfinite(sample.dValue);
}
