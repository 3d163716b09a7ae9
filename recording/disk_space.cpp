#include "recording/disk_space.h"

namespace {

const std::uint64_t kSecondsPerDay = 86400;

// Seconds of recording the free space holds at the rate; none recorded: all.
std::uint64_t SecondsLeft(const DiskSpace& disk) {
    // Days beyond what seconds can count are as good as none recorded.
    if (disk.nBytesPerDay == 0 || disk.nFreeBytes / disk.nBytesPerDay >= UINT64_MAX / kSecondsPerDay - 1)
        return UINT64_MAX;
    return disk.nFreeBytes / disk.nBytesPerDay * kSecondsPerDay +
           disk.nFreeBytes % disk.nBytesPerDay * kSecondsPerDay / disk.nBytesPerDay;
}

}  // namespace

bool IsDiskLow(const DiskSpace& disk, bool bWarning) {
    // Warning: a third more than either limit ends it.
    const std::uint64_t bytes = bWarning ? kDiskLowBytes / 3 * 4 : kDiskLowBytes;
    const std::uint64_t seconds = (bWarning ? kDiskLowDays * 4 / 3 : kDiskLowDays) * kSecondsPerDay;
    return disk.nFreeBytes < bytes || SecondsLeft(disk) < seconds;
}

std::string DiskLowText(const DiskSpace& disk) {
    const std::uint64_t seconds = SecondsLeft(disk);
    std::string left;
    // "oko\xB3o" takes the genitive: "oko\xB3o 5 dni", "oko\xB3o 1 godziny", "oko\xB3o 22 godzin".
    if (seconds >= kDiskLowDays * 4 / 3 * kSecondsPerDay)
        left = std::to_string(disk.nFreeBytes >> 20) + " MB";
    else if (seconds >= 2 * kSecondsPerDay)
        left = "oko\xB3o " + std::to_string(seconds / kSecondsPerDay) + " dni";
    else if (seconds >= 3600)
        left = "oko\xB3o " + std::to_string(seconds / 3600) + (seconds / 3600 == 1 ? " godziny" : " godzin");
    else
        left = "oko\xB3o " + std::to_string(seconds / 60) + (seconds / 60 == 1 ? " minuty" : " minut");
    return "Ma\xB3o miejsca na dysku z plikiem rejestracji: zosta\xB3o " + left + ". ";
}
