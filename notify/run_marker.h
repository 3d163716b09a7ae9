// Whether the last run ended normally: a small file beside the settings,
// made at the start and removed at a normal close. Found at the start, it
// tells of a power cut, a crash or a kill.
#pragma once

#include <filesystem>
#include <utility>

class CRunMarker {
public:
    explicit CRunMarker(std::filesystem::path path) : m_path(std::move(path)) {}

    // Makes the marker (written through to the disk); true when it was
    // there already: the last run did not end normally.
    bool Begin();
    // A normal close.
    void End();

private:
    std::filesystem::path m_path;
};
