#include "viewer/kvf_reader.h"

#include "common/civil_time.h"
#include "recording/binary_log.h"

#include <cstdio>
#include <cstring>

namespace {

const int kTimeDigits = 14;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Channel code to channel: 25 is the mean (0), 30 to 37 channels 1 to 8.
// Every group of every record asks, so the answers are tabled once (codes
// have at most two digits).
int ChannelOfCode(std::int64_t code) {
    struct Table {
        signed char channel[100];
        Table() {
            for (signed char& c : channel)
                c = -1;
            for (int c = 0; c < kKvfChannels; ++c)
                if (BinaryChannelCode(c) >= 0 && BinaryChannelCode(c) < 100)
                    channel[BinaryChannelCode(c)] = static_cast<signed char>(c);
        }
    };
    static const Table table;
    return code >= 0 && code < 100 ? table.channel[code] : -1;
}

// The writer's order is 1 to 8, then 0.
int OrderOf(int channel) { return channel == 0 ? 9 : channel; }

// Eight stored bytes as one number, to compare them at once.
std::uint64_t Word(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

}  // namespace

std::int64_t KvfRecord::Seconds() const {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
           minute * 60 + second;
}

KvfSample MakeSample(const KvfRecord& record) {
    KvfSample sample;
    sample.seconds = record.Seconds();
    sample.present = record.present;
    for (int c = 0; c < kKvfChannels; ++c)
        sample.value[c] = record.Has(c) ? static_cast<float>(record.hundredths[c]) / 100.0f : 0.0f;
    return sample;
}

KvfReader::KvfReader(KvfSink* sink)
    : m_pSink(sink), m_nPos(0), m_nBase(0), m_nFed(0), m_nRecords(0), m_nDamaged(0), m_bInDamage(false),
      m_nDamageStart(0), m_pDamageWhat(""), m_bForeign(false), m_bFromStart(true), m_bText(true) {}

void KvfReader::Feed(const void* data, std::size_t size) {
    m_nFed += size;
    if (m_bForeign || size == 0)
        return;
    if (m_nPos > 0) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_nPos));
        m_nBase += m_nPos;
        m_nPos = 0;
    }
    const unsigned char* in = static_cast<const unsigned char*>(data);
    m_buffer.insert(m_buffer.end(), in, in + size);
    Scan(m_buffer.data(), m_buffer.size(), &m_nPos, m_nBase, m_buffer.size());
    DropIfForeign();
}

void KvfReader::DropIfForeign() {
    if (!m_bForeign)
        return;
    m_buffer.clear();
    m_nPos = 0;
}

void KvfReader::Finish() {
    if (m_bForeign)
        return;
    Scan(m_buffer.data(), m_buffer.size(), &m_nPos, m_nBase, m_buffer.size());
    DropIfForeign();
    if (m_bForeign)
        return;
    if (m_bInDamage && m_nRecords == 0 && m_bFromStart) {
        // Nothing in the whole file reads as a record.
        m_bForeign = true;
        m_bInDamage = false;
        return;
    }
    if (m_bInDamage)
        CloseDamage(m_nBase + m_nPos);
}

std::size_t KvfReader::ScanStored(const unsigned char* stored, std::size_t size, std::uint64_t offset,
                                  std::size_t stop) {
    std::size_t pos = 0;
    m_nFed = offset + stop;
    if (m_bForeign)
        return stop;
    Scan(stored, size, &pos, offset, stop);
    if (m_bForeign)
        return stop;
    if (stop < size && m_bInDamage && pos == stop)
        CloseDamage(offset + stop);  // a record begins at stop
    if (stop == size) {
        m_nBase = offset + pos;
        if (m_bInDamage && m_nRecords == 0 && m_bFromStart) {
            m_bForeign = true;
            m_bInDamage = false;
        } else if (m_bInDamage) {
            CloseDamage(m_nBase);
        }
    }
    return pos;
}

void KvfReader::Resume(std::uint64_t offset, std::uint64_t records, std::uint64_t damaged) {
    m_buffer.clear();
    m_nPos = 0;
    m_nBase = m_nFed = offset;
    m_nRecords = records;
    m_nDamaged = damaged;
    m_bInDamage = false;
    m_bFromStart = offset == 0;
}

bool KvfReader::RecordAt(const unsigned char* stored, std::size_t size) {
    KvfRecord record;
    const char* what = "";
    return ParseAt(stored, size, &record, &what, false) == kComplete;
}

void KvfReader::CloseDamage(std::uint64_t end) {
    m_bInDamage = false;
    ++m_nDamaged;
    if (m_pSink)
        m_pSink->OnDamage(m_nDamageStart, end - m_nDamageStart, m_pDamageWhat);
}

void KvfReader::Scan(const unsigned char* data, std::size_t size, std::size_t* pPos, std::uint64_t base,
                     std::size_t stop) {
    KvfRecord record{};
    std::size_t pos = *pPos;
    while (pos < stop) {
        const char* what = "";
        const Result result = ParseAt(data + pos, size - pos, &record, &what, m_bText, &m_groupStart);
        if (result == kIncomplete)
            break;
        if (result == kComplete) {
            if (m_bInDamage)
                CloseDamage(base + pos);
            record.offset = base + pos;
            pos += record.length;
            ++m_nRecords;
            if (m_pSink)
                m_pSink->OnRecord(record);
            continue;
        }
        if (!m_bInDamage) {
            m_bInDamage = true;
            m_nDamageStart = base + pos;
            m_pDamageWhat = what;
        }
        // Resynchronise: the next record may begin at any byte.
        ++pos;
        if (m_nRecords == 0 && m_bFromStart && base + pos >= kForeignWindow) {
            m_bForeign = true;
            m_bInDamage = false;
            break;
        }
    }
    *pPos = pos;
}

KvfReader::Result KvfReader::ParseAt(const unsigned char* stored, std::size_t avail, KvfRecord* record,
                                     const char** what, bool bText, GroupStart* start) {
    // With a whole longest record in view no byte needs its bound checked:
    // the parse is a third faster, which a year of readings feels.
    if (avail >= kMaxRecord)
        return bText ? Parse<false, true>(stored, avail, record, what, start)
                     : Parse<false, false>(stored, avail, record, what, start);
    return bText ? Parse<true, true>(stored, avail, record, what, nullptr)
                 : Parse<true, false>(stored, avail, record, what, nullptr);
}

template <bool kBounded, bool kText>
KvfReader::Result KvfReader::Parse(const unsigned char* stored, std::size_t avail, KvfRecord* record,
                                   const char** what, GroupStart* start) {
    // Whether byte i is there; every record ends within kMaxRecord bytes,
    // as the checks on each number's length and the groups' order make sure.
    auto in = [avail](std::size_t i) { return !kBounded || i < avail; };
    // The record's bytes, read back from their negation as they are needed.
    struct Plain {
        const unsigned char* s;
        unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(256 - s[i]); }
    } p = {stored};
    std::size_t i = 0;
    std::int32_t sum = 0;

    // A day's records begin with the same date: its 8 digits as last seen are that date again.
    const bool sameDay = start != nullptr && start->bDate && Word(stored) == start->date;
    for (i = sameDay ? 8 : 0; i < static_cast<std::size_t>(kTimeDigits); ++i) {
        if (!in(i))
            return kIncomplete;
        if (!IsDigit(p[i])) {
            *what = "the time is not 14 digits";
            return kBad;
        }
    }
    int digits[kTimeDigits];
    for (int k = sameDay ? 8 : 0; k < kTimeDigits; ++k) {
        digits[k] = p[k] - '0';
        sum += p[k];
    }
    if (sameDay) {
        sum += start->dateSum;
        record->year = start->year;
        record->month = start->month;
        record->day = start->day;
    } else {
        record->year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
        record->month = digits[4] * 10 + digits[5];
        record->day = digits[6] * 10 + digits[7];
        if (record->year < 1601 || record->month < 1 || record->month > 12 || record->day < 1 ||
            record->day > DaysInMonth(record->year, record->month)) {
            *what = "the time is not a real date";
            return kBad;
        }
        if (start != nullptr) {
            start->date = Word(stored);
            start->bDate = true;
            start->dateSum = 0;
            for (int k = 0; k < 8; ++k)
                start->dateSum += p[k];
            start->year = record->year;
            start->month = record->month;
            start->day = record->day;
        }
    }
    record->hour = digits[8] * 10 + digits[9];
    record->minute = digits[10] * 10 + digits[11];
    record->second = digits[12] * 10 + digits[13];
    if (record->hour > 23 || record->minute > 59 || record->second > 59) {
        *what = "the time is not a real date";
        return kBad;
    }
    if (!in(i))
        return kIncomplete;
    if (p[i] != '$') {
        *what = "no \"$\" after the time";
        return kBad;
    }
    sum += p[i++];

    record->present = 0;
    record->nSerialNumber = 0;
    int lastOrder = 0;
    // One number: optional minus, 1 to maxDigits digits, then the byte end.
    auto number = [&](bool minus, int maxDigits, char end, std::int64_t* value) -> Result {
        bool negative = false;
        if (minus && in(i) && p[i] == '-') {
            negative = true;
            sum += p[i++];
        }
        int n = 0;
        std::int64_t v = 0;
        while (in(i) && IsDigit(p[i])) {
            if (++n > maxDigits) {
                *what = "a number in a group is too long";
                return kBad;
            }
            v = v * 10 + (p[i] - '0');
            sum += p[i++];
        }
        if (!in(i))
            return kIncomplete;
        if (n == 0 || p[i] != end) {
            *what = "malformed channel group";
            return kBad;
        }
        sum += p[i++];
        *value = negative ? -v : v;
        return kComplete;
    };

    for (;;) {
        if (!in(i))
            return kIncomplete;
        if (p[i] == '@')
            break;
        std::int64_t device, serial, code, whole, cents, one;
        Result r;
        // Sixteen bytes from here in view: the same bytes are the same numbers.
        if (start != nullptr && start->length > 0 && i + 16 <= avail &&
            ((Word(stored + i) ^ start->bytes[0]) & start->mask[0]) == 0 &&
            ((Word(stored + i + 8) ^ start->bytes[1]) & start->mask[1]) == 0) {
            i += start->length;
            sum += start->sum;
            serial = start->serial;
        } else {
            const std::size_t groupStart = i;
            const std::int32_t sumBefore = sum;
            if ((r = number(false, 2, ',', &device)) != kComplete)
                return r;
            if (device != kBinaryDeviceCode) {
                *what = "the device code is not 22";
                return kBad;
            }
            if ((r = number(true, 10, ',', &serial)) != kComplete)
                return r;
            if (serial < INT32_MIN || serial > INT32_MAX) {
                *what = "the instrument number is out of range";
                return kBad;
            }
            if (start != nullptr && i - groupStart <= sizeof start->bytes) {
                start->length = i - groupStart;
                unsigned char bytes[16] = {}, mask[16] = {};
                std::memcpy(bytes, stored + groupStart, start->length);
                std::memset(mask, 0xFF, start->length);
                std::memcpy(start->bytes, bytes, 16);
                std::memcpy(start->mask, mask, 16);
                start->sum = sum - sumBefore;
                start->serial = serial;
            }
        }
        if ((r = number(false, 2, ',', &code)) != kComplete)
            return r;
        const int channel = ChannelOfCode(code);
        if (channel < 0) {
            *what = "unknown channel code";
            return kBad;
        }
        if (OrderOf(channel) <= lastOrder) {
            *what = "channel groups out of order";
            return kBad;
        }
        lastOrder = OrderOf(channel);
        const std::size_t valueStart = i;
        const bool negative = in(i) && p[i] == '-';
        if ((r = number(true, 9, '.', &whole)) != kComplete)
            return r;
        const std::size_t centsStart = i;
        if ((r = number(false, 2, ',', &cents)) != kComplete)
            return r;
        if (i - 1 - centsStart != 2) {
            *what = "a value without two decimals";
            return kBad;
        }
        if ((r = number(false, 1, '$', &one)) != kComplete)
            return r;
        if (one != 1) {
            *what = "malformed channel group";
            return kBad;
        }
        const std::int64_t magnitude = (negative ? -whole : whole) * 100 + cents;
        record->hundredths[channel] = negative ? -magnitude : magnitude;
        if (kText) {
            const std::size_t textLength = centsStart + 2 - valueStart;
            for (std::size_t k = 0; k < textLength; ++k)
                record->text[channel][k] = static_cast<char>(p[valueStart + k]);
            record->text[channel][textLength] = '\0';
        }
        if (record->present == 0)
            record->nSerialNumber = static_cast<int>(serial);
        record->present = static_cast<std::uint16_t>(record->present | (1u << channel));
    }
    if (kBounded && avail - i < 3)
        return kIncomplete;
    if (p[i + 1] != sum % 253 + 1 || p[i + 2] != sum % 251 + 1) {
        *what = "the check bytes do not match";
        return kBad;
    }
    record->length = static_cast<std::uint32_t>(i + 3);
    return kComplete;
}

std::string FormatKvfTime(const KvfRecord& r) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day, r.hour, r.minute,
                  r.second);
    return text;
}

const char* KvfChannelName(int channel) {
    static const char* const names[kKvfChannels] = {"T", "T1", "T2", "T3", "T4", "T5", "T6", "T7", "T8"};
    return channel >= 0 && channel < kKvfChannels ? names[channel] : "?";
}
