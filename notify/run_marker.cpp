#include "notify/run_marker.h"

#include "config/native_file.h"

#include <cstdio>

bool CRunMarker::Begin() {
    const bool bThere = native_file::IsFile(m_path);
    if (std::FILE* file = native_file::Open(m_path, "wb")) {
        static const char kText[] = "QM487\n";
        std::fwrite(kText, 1, sizeof kText - 1, file);
        native_file::FlushToDisk(file);
        std::fclose(file);
    }
    return bThere;
}

void CRunMarker::End() {
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
}
