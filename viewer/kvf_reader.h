// Streaming reader of the binary log (".kvf"): bytes go in as they come
// (a whole file, or a file still being recorded, read in pieces), records
// and damaged stretches come out through a sink, in file order.
//
// Every record is checked: its form (14 time digits of a real date, "$",
// channel groups 22,<instrument>,<code>,<value with two decimals>,1$ in the
// writer's channel order, "@") and both check bytes. A stretch that is not a
// sound record is reported once, with its byte offset and length, and
// reading goes on at the next sound record. Bytes at the end that are the
// beginning of a record are not damage: the record is not written yet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum { kKvfChannels = 9, kKvfMaxValueText = 16 };

// One record as it was written. Channels are indexed 0 (the mean) to 8.
struct KvfRecord {
    std::uint64_t offset;  // of the record's first byte in the file
    std::uint32_t length;  // stored bytes, trailer included
    int year, month, day, hour, minute, second;
    int nSerialNumber;     // the instrument number of the first group; 0 without groups
    std::uint16_t present; // bit c set: the record holds channel c
    // Value in hundredths (exact) and as stored ("21.37", "-5.50").
    std::int64_t hundredths[kKvfChannels];
    char text[kKvfChannels][kKvfMaxValueText];

    bool Has(int channel) const { return (present >> channel) & 1; }
    // Seconds since 1970-01-01 00:00:00 of the record's local time, taken as
    // if it were UTC: only differences and order matter.
    std::int64_t Seconds() const;
};

// A record as a chart keeps it in memory: 48 bytes.
struct KvfSample {
    std::int64_t seconds;
    float value[kKvfChannels];
    std::uint16_t present;
};

KvfSample MakeSample(const KvfRecord& record);

class KvfSink {
public:
    virtual ~KvfSink() = default;
    virtual void OnRecord(const KvfRecord& record) = 0;
    // [offset, offset + length) holds no sound record; what says why the
    // first record there was refused.
    virtual void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) = 0;
};

class KvfReader {
public:
    explicit KvfReader(KvfSink* sink);

    // Stored bytes, continuing where the last call ended.
    void Feed(const void* data, std::size_t size);
    // No more bytes for now (end of the file as it is): reports damage
    // still open before a tail that may yet become a record.
    void Finish();

    // Parses a piece of a log that lies in memory as it is stored (a mapped
    // file), without copying it: the records that begin before stop, where
    // size - stop bytes beyond stop (kMaxRecord, or the rest of the file)
    // let every one of them be judged. offset: the file offset of stored[0].
    // A record is expected to begin at stop: damage still open there ends
    // there; when stop == size (the file's end) Finish() does what it does.
    // Returns where reading stopped, relative to stored: stop, or beyond it
    // when a record runs over stop, or before it when stop == size and the
    // last bytes are the start of a record not yet complete.
    std::size_t ScanStored(const unsigned char* stored, std::size_t size, std::uint64_t offset, std::size_t stop);
    // Goes on at a file offset after pieces read elsewhere (ScanStored),
    // counting records and damage from the figures given. Only a reader that
    // begins at offset 0 with no records can find the file foreign.
    void Resume(std::uint64_t offset, std::uint64_t records, std::uint64_t damaged);
    // Records without their values' text (KvfRecord::text), for a reader
    // that needs only the numbers (a chart): parsing is quicker.
    void LeaveOutText() { m_bText = false; }
    // Whether a sound record begins at stored[0] (size bytes available).
    static bool RecordAt(const unsigned char* stored, std::size_t size);

    // Not a binary log: its first kForeignWindow bytes (or all of a shorter
    // file, once finished) hold damage and no sound record. Feed then ignores
    // everything.
    bool IsForeign() const { return m_bForeign; }
    std::uint64_t RecordCount() const { return m_nRecords; }
    std::uint64_t DamageCount() const { return m_nDamaged; }
    // Bytes at the end that are the start of a record not yet complete.
    std::uint64_t PendingBytes() const { return m_buffer.size() - m_nPos; }
    std::uint64_t BytesFed() const { return m_nFed; }

    static const std::size_t kForeignWindow = 4096;
    // No record the writer makes is longer: time, nine groups, trailer.
    static const std::size_t kMaxRecord = 15 + kKvfChannels * 48 + 3;

private:
    enum Result { kComplete, kIncomplete, kBad };
    // The start of a channel group as last parsed ("22,4660,", stored form)
    // and the date of the last record: the groups of a log begin alike and a
    // day's records share their date, and bytes equal to these need not be
    // parsed again.
    struct GroupStart {
        std::uint64_t bytes[2];  // the start's bytes, then zeros
        std::uint64_t mask[2];   // all ones over the start's bytes
        std::size_t length = 0;
        std::int32_t sum = 0;
        std::int64_t serial = 0;
        std::uint64_t date;  // the 8 bytes of the date
        bool bDate = false;
        std::int32_t dateSum = 0;
        int year = 0, month = 0, day = 0;
    };
    // stored: the bytes as the file holds them (negated), avail of them.
    // bText: fill record->text as well. start: the last group start seen, or null.
    static Result ParseAt(const unsigned char* stored, std::size_t avail, KvfRecord* record, const char** what,
                          bool bText, GroupStart* start = nullptr);
    template <bool kBounded, bool kText>
    static Result Parse(const unsigned char* stored, std::size_t avail, KvfRecord* record, const char** what,
                        GroupStart* start);
    // Records and damage of data[pos, stop), data[0] at file offset base.
    void Scan(const unsigned char* data, std::size_t size, std::size_t* pPos, std::uint64_t base, std::size_t stop);
    void CloseDamage(std::uint64_t end);
    void DropIfForeign();

    KvfSink* m_pSink;
    std::vector<unsigned char> m_buffer;  // stored bytes not yet consumed
    std::size_t m_nPos;                   // next byte of m_buffer to look at
    std::uint64_t m_nBase;                // file offset of m_buffer[0]
    std::uint64_t m_nFed;
    std::uint64_t m_nRecords;
    std::uint64_t m_nDamaged;
    bool m_bInDamage;
    std::uint64_t m_nDamageStart;
    const char* m_pDamageWhat;
    bool m_bForeign;
    bool m_bFromStart;  // reading began at the file's first byte: a foreign file can be told
    bool m_bText;
    GroupStart m_groupStart;
};

// "2009-03-17 08:05:00"
std::string FormatKvfTime(const KvfRecord& record);

// The channel's column name in the report file: "T" for 0, "T1" to "T8".
const char* KvfChannelName(int channel);
