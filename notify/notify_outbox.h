// The notifications not yet taken by every way of sending, in a file beside
// the settings, so that a power cut, a crash or a kill loses none and sends
// none twice to a way that took it. The file is a run of records, each
// framed by a mark, its length and a checksum: a message, "way W took
// message N", "message N is done". Every record is on the disk before the
// call that wrote it returns. A torn or garbled record costs that record
// alone: the reader finds the next one by its frame. A later message record
// of a number replaces the message (a fold, below).
//
// The bound: past kMostPending messages (or kMostPendingBytes of their
// texts) the oldest kFolded become one, the newest of them, which lists the
// others (time and headline) and counts as taken by a way only if that way
// took them all. Nothing leaves unsaid: the log is told, and the dialog.
#pragma once

#include "notify/notification.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

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
    enum { kMostPending = 1000, kMostPendingBytes = 8 << 20, kFolded = 100 };

    explicit CNotifyOutbox(std::filesystem::path path, NotifyFileOpener open = nullptr);
    ~CNotifyOutbox();

    // Reads what the last run left: every whole record in order, a piece of
    // the file at a time, folding as Post does. Damaged records are skipped
    // and counted; the file is then written again without them (and without
    // what was folded). false when a file that is there cannot be read (a
    // backup or antivirus program holds it): nothing is written to it then,
    // and what is posted is kept in memory only (it is sent, but would not
    // survive a crash), numbered apart, until Adopt brings it after what the
    // file holds.
    bool Load();
    bool IsRead() const { return m_bRead; }
    // The same file, to Load outside the caller's lock and then Adopt.
    std::unique_ptr<CNotifyOutbox> Reader() const;
    // Takes what reader read; what was posted here meanwhile follows it,
    // numbered after the file's last number, and is written now.
    void Adopt(CNotifyOutbox& reader);
    // Records that could not be read at the last Load (the dialog tells it).
    int DamagedRecords() const { return m_nDamaged; }
    // Messages folded into a later one's list since the start.
    int FoldedMessages() const { return m_nFolded; }
    // What the notification log should say since the last call (UTF-8).
    std::vector<std::string> TakeNotes();

    // Gives the message its number and writes it through to the disk. When
    // the disk does not take it (or the file could not be read) the message
    // is kept in memory all the same and false is returned.
    bool Post(Notification& message);
    // Way strWay took (or refused for good) message nId.
    bool MarkTaken(std::uint64_t nId, const std::string& strWay);
    // Every way took message nId: it leaves the outbox.
    bool MarkDone(std::uint64_t nId);

    const std::deque<Entry>& Pending() const { return m_pending; }
    // The last write did not reach the disk.
    bool IsFailing() const { return m_bFailing; }
    std::uint64_t FileBytes() const { return m_nFileBytes; }

    // The file rewritten with only what is pending, when nothing is pending
    // (and the file holds more than a little) or it has doubled since it was
    // last written whole. In three steps, so that the writing needs none of
    // the caller's lock: BeginRewrite gives the bytes and keeps what is
    // appended from then on; WriteRewrite writes them to a temporary file
    // (on any thread, beside any call but Load); EndRewrite adds what was
    // appended meanwhile and puts the file in place.
    bool IsRewriteDue() const;
    std::string BeginRewrite();
    bool WriteRewrite(const std::string& bytes) const;
    bool EndRewrite(bool bWritten);
    // The three at once.
    void CompactIfDue();
    bool Compact();

    // The bytes of one record of each kind, for tests that damage a file.
    static std::string MessageRecord(const Notification& message);
    static std::string TakenRecord(std::uint64_t nId, const std::string& strWay);

private:
    bool Append(const std::string& record);
    Entry* Find(std::uint64_t nId);
    void Apply(const std::string& payload);
    // Past the bound, the oldest become one; the records that say so.
    std::string Fold();
    std::filesystem::path TempPath() const;

    std::filesystem::path m_path;
    NotifyFileOpener m_open;
    std::FILE* m_pFile = nullptr;
    std::deque<Entry> m_pending;
    std::uint64_t m_nLastId = 0;
    std::uint64_t m_nFileBytes = 0;
    std::uint64_t m_nWholeBytes = 0;  // the file's size when it was last read or written whole
    int m_nDamaged = 0;
    int m_nFolded = 0;
    int m_nFoldedUntold = 0;  // folded since the log was last told
    std::vector<std::string> m_notes;
    bool m_bRead = false;
    bool m_bFailing = false;
    bool m_bRewriting = false;  // between BeginRewrite and EndRewrite
    std::string m_strSince;     // the records appended since BeginRewrite
    std::uint64_t m_nRewriteBytes = 0;

    CNotifyOutbox(const CNotifyOutbox&) = delete;
    CNotifyOutbox& operator=(const CNotifyOutbox&) = delete;
};
