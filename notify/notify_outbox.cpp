#include "notify/notify_outbox.h"

#include "config/cp1250.h"
#include "config/native_file.h"
#include "notify/notify_texts.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// Each record: the mark, the payload's length and its checksum (32 bits,
// little-endian each), then the payload.
const char kMark[4] = {'\x9E', 'N', 'O', '\x1A'};
const std::size_t kHeaderBytes = 12;
// No record is larger: a garbled length cannot make the reader take a
// gigabyte for one record.
const std::uint32_t kMostPayloadBytes = 1u << 20;
// An outbox with nothing pending is rewritten (emptied) past this, so that
// a message at a time does not cost a rewrite each; past the second bound
// it is rewritten even while something is pending (a way failing for days
// while alarms go on).
const std::uint64_t kIdleCompactBytes = 64u << 10;
const std::uint64_t kCompactBytes = 1u << 20;

// The notification log's lines (Windows-1250 here, UTF-8 in the file).
const char kUnreadable[] = "Nie mo\xBFna odczyta\xE6 pliku oczekuj\xB9" "cych wiadomo\x9C" "ci (u\xBFywa go inny "
                           "program?): nowe s\xB9 wysy\xB3" "ane, a zapisane zostan\xB9, gdy da si\xEA go odczyta\xE6";
const char kReadLate[] = "Plik oczekuj\xB9" "cych wiadomo\x9C" "ci odczytano; oczekuj\xB9" "cych: ";
const char kDamaged[] = "Plik oczekuj\xB9" "cych wiadomo\x9C" "ci by\xB3 uszkodzony: pomini\xEAto wpis\xF3w: ";
const char kFoldedNote[] = "Kolejka oczekuj\xB9" "cych wiadomo\x9C" "ci pe\xB3na (najwy\xBF" "ej 1000): najstarsze "
                           "zebrano w list\xEA w p\xF3\x9Fniejszej wiadomo\x9C" "ci, zebranych: ";

enum RecordKind : unsigned char { kMessage = 1, kTaken = 2, kDone = 3, kLastId = 4 };

std::uint32_t Checksum(const char* data, std::size_t size) {
    // FNV-1a: enough to tell a torn or overwritten record from a whole one.
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        h ^= static_cast<unsigned char>(data[i]);
        h *= 16777619u;
    }
    return h;
}

void PutNumber(std::string& out, std::uint64_t n, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

void PutText(std::string& out, const std::string& text) {
    PutNumber(out, text.size(), 4);
    out += text;
}

std::string Frame(const std::string& payload) {
    std::string record(kMark, sizeof kMark);
    PutNumber(record, payload.size(), 4);
    PutNumber(record, Checksum(payload.data(), payload.size()), 4);
    return record + payload;
}

// Reads a payload (which must outlive it); any shortfall sets the reader
// failed, never reads past.
class PayloadReader {
public:
    explicit PayloadReader(const std::string& payload) : m_s(payload) {}
    std::uint64_t Number(int bytes) {
        std::uint64_t n = 0;
        if (m_pos + bytes > m_s.size()) {
            m_bOk = false;
            return 0;
        }
        for (int i = 0; i < bytes; ++i)
            n |= static_cast<std::uint64_t>(static_cast<unsigned char>(m_s[m_pos + i])) << (8 * i);
        m_pos += bytes;
        return n;
    }
    std::string Text() {
        const std::uint64_t size = Number(4);
        if (!m_bOk || size > m_s.size() - m_pos) {
            m_bOk = false;
            return std::string();
        }
        std::string text = m_s.substr(m_pos, size);
        m_pos += size;
        return text;
    }
    // Everything read and nothing left over.
    bool Whole() const { return m_bOk && m_pos == m_s.size(); }

private:
    const std::string& m_s;
    std::size_t m_pos = 0;
    bool m_bOk = true;
};

std::string TakenPayload(std::uint64_t nId, const std::string& strWay) {
    std::string p(1, static_cast<char>(kTaken));
    PutNumber(p, nId, 8);
    PutText(p, strWay);
    return p;
}

std::string IdPayload(RecordKind kind, std::uint64_t nId) {
    std::string p(1, static_cast<char>(kind));
    PutNumber(p, nId, 8);
    return p;
}

// The payload of the whole record at pos, if one starts there.
bool RecordAt(const std::string& bytes, std::size_t pos, std::string* pPayload) {
    if (bytes.size() - pos < kHeaderBytes || bytes.compare(pos, sizeof kMark, kMark, sizeof kMark) != 0)
        return false;
    const std::string frame = bytes.substr(pos + sizeof kMark, 8);
    PayloadReader header(frame);
    const std::uint64_t size = header.Number(4);
    const std::uint64_t sum = header.Number(4);
    if (size > kMostPayloadBytes || size > bytes.size() - pos - kHeaderBytes)
        return false;
    if (Checksum(bytes.data() + pos + kHeaderBytes, size) != sum)
        return false;
    *pPayload = bytes.substr(pos + kHeaderBytes, size);
    return true;
}

bool ParseMessage(const std::string& payload, Notification* pMessage) {
    PayloadReader r(payload);
    Notification& m = *pMessage;
    r.Number(1);
    m.nId = r.Number(8);
    const std::uint64_t event = r.Number(1);
    m.strPc = r.Text();
    m.strProfile = r.Text();
    m.nInstrument = static_cast<int>(static_cast<std::int32_t>(r.Number(4)));
    m.nChannel = static_cast<int>(static_cast<std::int32_t>(r.Number(4)));
    m.strValue = r.Text();
    m.strLimit = r.Text();
    m.strTime = r.Text();
    m.nDurationSeconds = static_cast<long long>(r.Number(8));
    m.strSubject = r.Text();
    m.strText = r.Text();
    if (!r.Whole() || event > static_cast<std::uint64_t>(NotifyEvent::kDiskOk))
        return false;
    m.event = static_cast<NotifyEvent>(event);
    return true;
}

}  // namespace

std::filesystem::path NotifyFileBeside(const std::filesystem::path& settingsPath, const char* strExtension) {
    std::filesystem::path path = settingsPath;
    const auto extension = path.extension().native();
    if (native_file::NamesEqualNoCase(extension, std::filesystem::path(".ini").native()))
        return path.replace_extension(strExtension);
    return path += strExtension;
}

std::string CNotifyOutbox::MessageRecord(const Notification& m) {
    std::string p(1, static_cast<char>(kMessage));
    PutNumber(p, m.nId, 8);
    PutNumber(p, static_cast<std::uint64_t>(m.event), 1);
    PutText(p, m.strPc);
    PutText(p, m.strProfile);
    PutNumber(p, static_cast<std::uint32_t>(m.nInstrument), 4);
    PutNumber(p, static_cast<std::uint32_t>(m.nChannel), 4);
    PutText(p, m.strValue);
    PutText(p, m.strLimit);
    PutText(p, m.strTime);
    PutNumber(p, static_cast<std::uint64_t>(m.nDurationSeconds), 8);
    PutText(p, m.strSubject);
    PutText(p, m.strText);
    return Frame(p);
}

std::string CNotifyOutbox::TakenRecord(std::uint64_t nId, const std::string& strWay) {
    return Frame(TakenPayload(nId, strWay));
}

CNotifyOutbox::CNotifyOutbox(std::filesystem::path path, NotifyFileOpener open)
    : m_path(std::move(path)), m_open(open ? std::move(open) : NotifyFileOpener(native_file::Open)) {}

CNotifyOutbox::~CNotifyOutbox() {
    if (m_pFile)
        std::fclose(m_pFile);
}

bool CNotifyOutbox::Load() {
    m_pending.clear();
    m_nLastId = 0;
    m_nDamaged = m_nFolded = m_nFoldedUntold = 0;
    m_nFileBytes = m_nWholeBytes = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(m_open(m_path, "rb"), std::fclose);
    if (!file) {
        // None only when surely none: one that cannot even be looked at
        // (a program holding it, a share away) may hold messages.
        std::error_code error;
        m_bRead = !std::filesystem::exists(m_path, error) && !error;
        if (!m_bRead)
            m_notes.push_back(Cp1250ToUtf8(kUnreadable));
        return m_bRead;
    }
    // A window of the file that holds, from pos on, a record of the largest
    // size or what is left: memory stays bounded however large the file is.
    std::string bytes;
    std::size_t pos = 0;
    bool bEnd = false;
    const auto fill = [&] {
        if (pos > kMostPayloadBytes) {
            bytes.erase(0, pos);
            pos = 0;
        }
        char buffer[65536];
        while (!bEnd && bytes.size() - pos < kHeaderBytes + kMostPayloadBytes) {
            const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
            bytes.append(buffer, n);
            m_nFileBytes += n;
            bEnd = n < sizeof buffer;
        }
    };
    std::string payload;
    bool bInDamage = false;
    for (fill(); pos < bytes.size(); fill()) {
        if (RecordAt(bytes, pos, &payload)) {
            Apply(payload);
            pos += kHeaderBytes + payload.size();
            bInDamage = false;
            continue;
        }
        // A damaged stretch: one record lost, the reading goes on at the
        // next mark that starts a whole record.
        m_nDamaged += bInDamage ? 0 : 1;
        bInDamage = true;
        const std::size_t next = bytes.find(kMark, pos + 1, sizeof kMark);
        // None in the window: on from its last bytes, which may begin a mark.
        pos = next != std::string::npos ? next
                                        : std::max(pos + 1, bytes.size() - std::min(bytes.size(), sizeof kMark - 1));
    }
    const bool bRead = !std::ferror(file.get());
    file.reset();  // Windows replaces no file that is open
    if (!bRead) {
        m_pending.clear();
        m_nLastId = 0;
        m_notes.push_back(Cp1250ToUtf8(kUnreadable));
        return false;
    }
    m_bRead = true;
    m_nWholeBytes = m_nFileBytes;
    if (m_nDamaged > 0)
        m_notes.push_back(Cp1250ToUtf8(kDamaged) + std::to_string(m_nDamaged));
    // Written again without the damage, so that appends follow whole
    // records and the damage is not counted at the next start once more.
    if (m_nDamaged > 0 || m_nFolded > 0)
        Compact();
    return true;
}

std::unique_ptr<CNotifyOutbox> CNotifyOutbox::Reader() const { return std::make_unique<CNotifyOutbox>(m_path, m_open); }

void CNotifyOutbox::Adopt(CNotifyOutbox& reader) {
    std::deque<Entry> posted = std::move(m_pending);
    m_pending = std::move(reader.m_pending);
    m_nLastId = reader.m_nLastId;
    m_nDamaged = reader.m_nDamaged;
    m_nFolded += reader.m_nFolded;
    m_nFoldedUntold += reader.m_nFoldedUntold;
    m_nFileBytes = m_nWholeBytes = reader.m_nFileBytes;
    m_notes.insert(m_notes.end(), reader.m_notes.begin(), reader.m_notes.end());
    m_notes.push_back(Cp1250ToUtf8(kReadLate) + std::to_string(m_pending.size() + posted.size()));
    m_bRead = true;
    std::string records;
    for (Entry& e : posted) {
        e.message.nId = ++m_nLastId;
        records += MessageRecord(e.message);
        for (const std::string& way : e.taken)
            records += TakenRecord(e.message.nId, way);
        m_pending.push_back(std::move(e));
        records += Fold();
    }
    if (!records.empty())
        Append(records);
}

std::vector<std::string> CNotifyOutbox::TakeNotes() {
    std::vector<std::string> notes;
    notes.swap(m_notes);
    if (m_nFoldedUntold > 0)
        notes.push_back(Cp1250ToUtf8(kFoldedNote) + std::to_string(m_nFoldedUntold));
    m_nFoldedUntold = 0;
    return notes;
}

void CNotifyOutbox::Apply(const std::string& payload) {
    PayloadReader r(payload);
    const std::uint64_t kind = r.Number(1);
    const std::uint64_t nId = r.Number(8);
    Entry* entry = nullptr;
    switch (kind) {
    case kMessage: {
        Entry e;
        if (!ParseMessage(payload, &e.message)) {
            ++m_nDamaged;
            return;
        }
        m_nLastId = std::max(m_nLastId, e.message.nId);
        if (Entry* folded = Find(e.message.nId)) {
            *folded = std::move(e);  // its ways follow the record
        } else {
            m_pending.push_back(std::move(e));
            Fold();  // as Post did; the file is written again after the load
        }
        return;
    }
    case kTaken: {
        const std::string way = r.Text();
        if (!r.Whole())
            break;
        // Ways of a message lost to damage are of no more use.
        if ((entry = Find(nId)) != nullptr)
            entry->taken.insert(way);
        return;
    }
    case kDone:
        if (!r.Whole())
            break;
        m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                       [&](const Entry& e) { return e.message.nId == nId; }),
                        m_pending.end());
        return;
    case kLastId:
        if (!r.Whole())
            break;
        m_nLastId = std::max(m_nLastId, nId);
        return;
    }
    ++m_nDamaged;
}

CNotifyOutbox::Entry* CNotifyOutbox::Find(std::uint64_t nId) {
    for (Entry& e : m_pending)
        if (e.message.nId == nId)
            return &e;
    return nullptr;
}

bool CNotifyOutbox::Append(const std::string& record) {
    if (m_bRewriting)
        m_strSince += record;
    // A file not read is not written: what it holds would be numbered over.
    if (!m_bRead)
        return false;
    if (!m_pFile)
        m_pFile = m_open(m_path, "ab");
    bool bOk = m_pFile && std::fwrite(record.data(), 1, record.size(), m_pFile) == record.size() &&
               native_file::FlushToDisk(m_pFile);
    if (bOk) {
        m_nFileBytes += record.size();
    } else if (m_pFile) {
        // A part written may stay behind: the next start skips it by its
        // frame. Opened again at the next write, which may find room.
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_bFailing = !bOk;
    return bOk;
}

bool CNotifyOutbox::Post(Notification& message) {
    message.nId = ++m_nLastId;
    m_pending.push_back(Entry{message, {}});
    return Append(MessageRecord(message) + Fold());
}

std::string CNotifyOutbox::Fold() {
    std::string records;
    const auto full = [&] {
        std::size_t bytes = 0;
        for (const Entry& e : m_pending)
            bytes += e.message.strSubject.size() + e.message.strText.size();
        return m_pending.size() > kMostPending || bytes > kMostPendingBytes;
    };
    while (m_pending.size() > 1 && full()) {
        const std::size_t n = std::min<std::size_t>(kFolded, m_pending.size());
        Entry& news = m_pending[n - 1];
        std::vector<Notification> older;
        std::string done;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            std::set<std::string> both;
            std::set_intersection(news.taken.begin(), news.taken.end(), m_pending[i].taken.begin(),
                                  m_pending[i].taken.end(), std::inserter(both, both.end()));
            news.taken.swap(both);
            older.push_back(std::move(m_pending[i].message));
            done += Frame(IdPayload(kDone, older.back().nId));
        }
        AppendBacklogDigest(news.message, older);
        // The list before the ends of what it lists: a write torn between
        // them costs a message told twice, never one lost.
        records += MessageRecord(news.message);
        for (const std::string& way : news.taken)
            records += TakenRecord(news.message.nId, way);
        records += done;
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n - 1));
        m_nFolded += static_cast<int>(n - 1);
        m_nFoldedUntold += static_cast<int>(n - 1);
    }
    return records;
}

bool CNotifyOutbox::MarkTaken(std::uint64_t nId, const std::string& strWay) {
    Entry* entry = Find(nId);
    if (!entry || !entry->taken.insert(strWay).second)
        return true;
    return Append(Frame(TakenPayload(nId, strWay)));
}

bool CNotifyOutbox::MarkDone(std::uint64_t nId) {
    if (!Find(nId))
        return true;
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                   [&](const Entry& e) { return e.message.nId == nId; }),
                    m_pending.end());
    return Append(Frame(IdPayload(kDone, nId)));
}

bool CNotifyOutbox::IsRewriteDue() const {
    // Past the bound only once the file has doubled since it was last
    // written whole: a backlog is not rewritten for every message a way takes.
    return m_bRead && !m_bRewriting &&
           ((m_pending.empty() && m_nFileBytes > kIdleCompactBytes) ||
            (m_nFileBytes > kCompactBytes && m_nFileBytes > 2 * m_nWholeBytes));
}

std::string CNotifyOutbox::BeginRewrite() {
    std::string bytes;
    if (!m_pending.empty() || m_nLastId > 0)
        bytes = Frame(IdPayload(kLastId, m_nLastId));
    for (const Entry& e : m_pending) {
        bytes += MessageRecord(e.message);
        for (const std::string& way : e.taken)
            bytes += TakenRecord(e.message.nId, way);
    }
    m_bRewriting = true;
    m_strSince.clear();
    m_nRewriteBytes = bytes.size();
    return bytes;
}

std::filesystem::path CNotifyOutbox::TempPath() const {
    std::filesystem::path temp = m_path;
    return temp += ".tmp";
}

bool CNotifyOutbox::WriteRewrite(const std::string& bytes) const {
    std::FILE* file = m_open(TempPath(), "wb");
    if (!file)
        return false;
    const bool bWritten =
        std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && native_file::FlushToDisk(file);
    return std::fclose(file) == 0 && bWritten;
}

bool CNotifyOutbox::EndRewrite(bool bWritten) {
    m_bRewriting = false;
    const std::string since = std::move(m_strSince);
    m_strSince.clear();
    if (bWritten && !since.empty()) {
        std::FILE* file = m_open(TempPath(), "ab");
        bWritten =
            file && std::fwrite(since.data(), 1, since.size(), file) == since.size() && native_file::FlushToDisk(file);
        if (file)
            std::fclose(file);
    }
    if (m_pFile) {
        std::fclose(m_pFile);  // Windows replaces no file that is open
        m_pFile = nullptr;
    }
    if (!bWritten || !native_file::MoveIntoPlace(TempPath(), m_path)) {
        std::error_code ignored;
        std::filesystem::remove(TempPath(), ignored);
        m_nWholeBytes = m_nFileBytes;  // tried again once the file has doubled once more
        return false;
    }
    m_nFileBytes = m_nWholeBytes = m_nRewriteBytes + since.size();
    return true;
}

void CNotifyOutbox::CompactIfDue() {
    if (IsRewriteDue())
        Compact();
}

bool CNotifyOutbox::Compact() {
    if (!m_bRead)
        return false;
    const std::string bytes = BeginRewrite();
    return EndRewrite(WriteRewrite(bytes));
}
