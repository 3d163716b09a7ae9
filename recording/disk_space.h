// A disk that never fills unseen: from the free space of a recording file's
// disk and what recording writes there a day, whether to warn and what the
// status line says. Checked at the start of recording and every hour.
#pragma once

#include <cstdint>
#include <string>

struct DiskSpace {
    std::uint64_t nFreeBytes = 0;
    std::uint64_t nBytesPerDay = 0;  // every recording file on that disk together
};

enum : std::uint64_t {
    kDiskLowBytes = 100ull << 20,  // under this, whatever the rate
    kDiskLowDays = 7,              // less than a week of recording left
};

// Whether to warn. Once warning, the warning stays until there is clearly
// more (a third more space than the limits): a disk hovering at the limit
// must not start and end it, and send a message, every hour.
bool IsDiskLow(const DiskSpace& disk, bool bWarning);

// "Ma\xB3o miejsca na dysku z plikiem rejestracji: zosta\xB3o oko\xB3o 5 dni. ",
// Windows-1250, ending with ". " as the status line's pieces do: days, or
// hours under two days, minutes under one; the megabytes left where the
// rate leaves more than the warning's days.
std::string DiskLowText(const DiskSpace& disk);
