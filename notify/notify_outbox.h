// The notifications not yet taken by every way of sending, in a file beside
// the settings, so that a power cut, a crash or a kill loses none and sends
// none twice to a way that took it. The file is a run of records, each
// framed by a mark, its length and a checksum: a message, "way W took
// message N", "message N is done". Every record is on the disk before the
// call that wrote it returns. A torn or garbled record costs that record
// alone: the reader finds the next one by its frame.
#pragma once

#include "notify/notification.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

// The settings' path with ".ini" replaced by strExtension (".outbox"); the
// extension added when the path has no ".ini".
std::filesystem::path NotifyFileBeside(const std::filesystem::path& settingsPath, const char* strExtension);

// Opens the outbox's files (fopen's modes); a test stands in for a file that
// another program holds.
using NotifyFileOpener = std::function<std::FILE*(const std::filesystem::path&, const char*)>;

class CNotifyOutbox {
public:
    // A message and the ways (by name) that took it already.
    struct Entry {
        Notification message;
        std::set<std::string> taken;
    };

    explicit CNotifyOutbox(std::filesystem::path path, NotifyFileOpener open = nullptr);
    ~CNotifyOutbox();

    // Reads what the last run left: every whole record in order. Damaged
    // records are skipped and counted; the file is then written again
    // without them. false only when a file that is there cannot be read.
    bool Load();
    // Records that could not be read at the last Load (the dialog tells it).
    int DamagedRecords() const { return m_nDamaged; }

    // Gives the message its number and writes it through to the disk. When
    // the disk does not take it the message is kept in memory all the same
    // (it is sent, but would not survive a crash) and false is returned.
    bool Post(Notification& message);
    // Way strWay took (or refused for good) message nId.
    bool MarkTaken(std::uint64_t nId, const std::string& strWay);
    // Every way took message nId: it leaves the outbox.
    bool MarkDone(std::uint64_t nId);

    const std::deque<Entry>& Pending() const { return m_pending; }
    // The last write did not reach the disk.
    bool IsFailing() const { return m_bFailing; }
    std::uint64_t FileBytes() const { return m_nFileBytes; }

    // Rewrites the file with only what is pending, when nothing is pending
    // (and the file holds more than a little) or it has grown past its bound.
    void CompactIfDue();
    bool Compact();

    // The bytes of one record of each kind, for tests that damage a file.
    static std::string MessageRecord(const Notification& message);

private:
    bool Append(const std::string& record);
    Entry* Find(std::uint64_t nId);
    void Apply(const std::string& payload);

    std::filesystem::path m_path;
    NotifyFileOpener m_open;
    std::FILE* m_pFile = nullptr;
    std::deque<Entry> m_pending;
    std::uint64_t m_nLastId = 0;
    std::uint64_t m_nFileBytes = 0;
    std::uint64_t m_nWholeBytes = 0;  // the file's size when it was last read or written whole
    int m_nDamaged = 0;
    bool m_bFailing = false;

    CNotifyOutbox(const CNotifyOutbox&) = delete;
    CNotifyOutbox& operator=(const CNotifyOutbox&) = delete;
};
