// The recorder's watch over its disks: the free space of each recording
// file's disk against what recording writes there a day, looked at when
// files open and every hour, so that a full disk is told before it comes.
#include "recording/disk_space.h"
#include "recording/recorder.h"

#include "framework/text.h"

#include <algorithm>
#include <vector>

bool CRecorder::Host::DiskOf(const std::string& strPath, std::string* pstrDisk, std::uint64_t* pnFree) const {
    wchar_t root[MAX_PATH + 1] = {};
    ULARGE_INTEGER free = {};
    if (!GetVolumePathNameW(afx::Widen1250(strPath).c_str(), root, MAX_PATH + 1) ||
        !GetDiskFreeSpaceExW(root, &free, nullptr, nullptr))
        return false;
    *pstrDisk = afx::Narrow1250(root);
    *pnFree = free.QuadPart;
    return true;
}

// Files on one disk share its space: their rates add up. A disk that
// cannot be asked (a share away) says nothing new: the write failure
// path tells what then fails.
void CRecorder::CheckDiskSpace() {
    m_nSecondsToDiskCheck = 3600;
    struct Disk {
        std::string strRoot;
        DiskSpace space;
    };
    std::vector<Disk> disks;
    const CRecordFile* files[2] = {m_pReportFile.get(), m_pBinaryFile.get()};
    for (int i = 0; i < 2; ++i) {
        Disk disk;
        if (!files[i] || !m_host.DiskOf(files[i]->GetPath(), &disk.strRoot, &disk.space.nFreeBytes))
            continue;
        const std::uint64_t perDay = m_nRowBytes[i] * 86400u / static_cast<unsigned>(std::max(1, m_settings.nInterval));
        auto same = std::find_if(disks.begin(), disks.end(), [&](const Disk& d) { return d.strRoot == disk.strRoot; });
        if (same == disks.end())
            same = disks.insert(disks.end(), disk);
        same->space.nBytesPerDay += perDay;
    }
    std::string warning;
    for (const Disk& disk : disks)
        if (warning.empty() && IsDiskLow(disk.space, !m_strDiskWarning.empty()))
            warning = DiskLowText(disk.space);
    if (warning == m_strDiskWarning)
        return;
    m_strDiskWarning = warning;
    m_host.StatusChanged();
}
