#include "kvf_commands.h"

#include "common/number_text.h"
#include "viewer/kvf_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qm487-kvf check FILE\n"
    "       qm487-kvf csv FILE [--separator S]\n"
    "       qm487-kvf stats FILE\n"
    "Reads a QM487 binary log (.kvf).\n"
    "  check  summary: records, time span, channels seen, damaged records with offsets;\n"
    "         exit 0 only when every record is sound\n"
    "  csv    time,T,T1..T8 per sound record, values as stored (S: one character\n"
    "         or 'tab'; default ','); damaged records are skipped, exit 1\n"
    "  stats  per channel count, minimum, maximum, mean, first and last time,\n"
    "         and gaps longer than three recording intervals\n";

const std::size_t kMaxListed = 20;

// Every damaged stretch the reader reports, as a user reads it.
struct DamageList {
    std::uint64_t count = 0;
    std::vector<std::string> lines;

    void Add(std::uint64_t offset, std::uint64_t length, const char* what) {
        ++count;
        char text[160];
        std::snprintf(text, sizeof text, "damaged record at offset %llu (%llu bytes skipped): %s",
                      static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length), what);
        lines.push_back(text);
    }
};

// Reads the whole file through the reader. false with a message when the
// file cannot be read or is not a binary log.
bool ReadFile(const char* path, KvfReader* reader, std::FILE* err) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(err, "qm487-kvf: cannot open %s\n", path);
        return false;
    }
    std::vector<char> chunk(1 << 20);
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file);
        if (n > 0)
            reader->Feed(chunk.data(), n);
        if (n < chunk.size()) {
            if (std::ferror(file)) {
                std::fprintf(err, "qm487-kvf: cannot read %s\n", path);
                ok = false;
            }
            break;
        }
        if (reader->IsForeign())
            break;
    }
    std::fclose(file);
    if (!ok)
        return false;
    reader->Finish();
    if (reader->IsForeign()) {
        std::fprintf(err, "qm487-kvf: %s is not a QM487 binary log (.kvf): no sound record in its first %s\n", path,
                     reader->BytesFed() >= KvfReader::kForeignWindow ? "4096 bytes" : "bytes");
        return false;
    }
    return true;
}

void ReportPending(const KvfReader& reader, std::FILE* out) {
    if (reader.PendingBytes() > 0)
        std::fprintf(out,
                     "last %llu bytes: a record not yet complete (still being written, or cut off), not counted\n",
                     static_cast<unsigned long long>(reader.PendingBytes()));
}

// ---- check ----

struct CheckSink : KvfSink {
    std::uint64_t records = 0;
    KvfRecord first{}, last{};
    std::int64_t earliest = 0, latest = 0;
    std::uint64_t perChannel[kKvfChannels] = {};
    DamageList damage;

    void OnRecord(const KvfRecord& r) override {
        const std::int64_t s = r.Seconds();
        if (records == 0) {
            first = r;
            earliest = latest = s;
        }
        earliest = std::min(earliest, s);
        latest = std::max(latest, s);
        last = r;
        ++records;
        for (int c = 0; c < kKvfChannels; ++c)
            perChannel[c] += r.Has(c);
    }
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {
        damage.Add(offset, length, what);
    }
};

int Check(const char* path, std::FILE* out, std::FILE* err) {
    CheckSink sink;
    KvfReader reader(&sink);
    if (!ReadFile(path, &reader, err))
        return 2;
    std::fprintf(out, "%s: %llu records, %llu damaged\n", path, static_cast<unsigned long long>(sink.records),
                 static_cast<unsigned long long>(sink.damage.count));
    if (sink.records > 0) {
        std::fprintf(out, "time span: %s to %s (%lld s)\n", FormatKvfSeconds(sink.earliest).c_str(),
                     FormatKvfSeconds(sink.latest).c_str(), static_cast<long long>(sink.latest - sink.earliest));
        if (sink.first.Seconds() != sink.earliest || sink.last.Seconds() != sink.latest)
            std::fprintf(out, "in file order: %s to %s\n", FormatKvfTime(sink.first).c_str(),
                         FormatKvfTime(sink.last).c_str());
    }
    std::fprintf(out, "channels seen:");
    bool any = false;
    for (int order = 1; order <= kKvfChannels; ++order) {
        const int c = order % kKvfChannels;  // 1 to 8, then the mean
        if (sink.perChannel[c]) {
            std::fprintf(out, " %s (%llu)", KvfChannelName(c), static_cast<unsigned long long>(sink.perChannel[c]));
            any = true;
        }
    }
    std::fprintf(out, "%s\n", any ? "" : " none");
    for (const std::string& line : sink.damage.lines)
        std::fprintf(out, "%s\n", line.c_str());
    ReportPending(reader, out);
    return sink.damage.count ? 1 : 0;
}

// ---- csv ----

struct CsvSink : KvfSink {
    std::FILE* out;
    std::FILE* err;
    const char* path;
    std::string separator;
    std::string line;
    bool headerDone = false;
    std::uint64_t damaged = 0;

    void Header() {
        if (headerDone)
            return;
        headerDone = true;
        std::string text = "time";
        for (int c = 0; c < kKvfChannels; ++c)
            text += separator + KvfChannelName(c);
        text += '\n';
        std::fwrite(text.data(), 1, text.size(), out);
    }
    void OnRecord(const KvfRecord& r) override {
        Header();
        char time[24];
        std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day, r.hour, r.minute,
                      r.second);
        line.assign(time);
        for (int c = 0; c < kKvfChannels; ++c) {
            line += separator;
            if (r.Has(c))
                line += r.text[c];
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {
        ++damaged;
        std::fprintf(err, "qm487-kvf: %s: damaged record at offset %llu (%llu bytes) skipped: %s\n", path,
                     static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length), what);
    }
};

int Csv(const char* path, const std::string& separator, std::FILE* out, std::FILE* err) {
    CsvSink sink;
    sink.out = out;
    sink.err = err;
    sink.path = path;
    sink.separator = separator;
    KvfReader reader(&sink);
    if (!ReadFile(path, &reader, err))
        return 2;
    sink.Header();
    return sink.damaged ? 1 : 0;
}

// ---- stats ----

struct ChannelStats {
    std::uint64_t count = 0;
    std::int64_t minimum = 0, maximum = 0, sum = 0;  // hundredths
    std::int64_t first = 0, last = 0;
};

struct StatsSink : KvfSink {
    // The time line, kept to find gaps once the interval is known: 16 bytes a record.
    std::vector<std::pair<std::int64_t, std::uint16_t>> timeline;
    ChannelStats channels[kKvfChannels];
    DamageList damage;

    void OnRecord(const KvfRecord& r) override {
        const std::int64_t s = r.Seconds();
        timeline.emplace_back(s, r.present);
        for (int c = 0; c < kKvfChannels; ++c) {
            if (!r.Has(c))
                continue;
            ChannelStats& st = channels[c];
            const std::int64_t v = r.hundredths[c];
            if (st.count == 0) {
                st.minimum = st.maximum = v;
                st.first = s;
            }
            st.minimum = std::min(st.minimum, v);
            st.maximum = std::max(st.maximum, v);
            st.sum += v;
            st.last = s;
            ++st.count;
        }
    }
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {
        damage.Add(offset, length, what);
    }
};

std::string Hundredths(std::int64_t v) { return FormatFixed(static_cast<double>(v) / 100.0, 2); }

// The recording interval: the median of the forward steps between records.
std::int64_t MedianStep(const std::vector<std::pair<std::int64_t, std::uint16_t>>& timeline) {
    std::map<std::int64_t, std::uint64_t> steps;
    std::uint64_t n = 0;
    for (std::size_t i = 1; i < timeline.size(); ++i) {
        const std::int64_t step = timeline[i].first - timeline[i - 1].first;
        if (step > 0) {
            ++steps[step];
            ++n;
        }
    }
    std::uint64_t seen = 0;
    for (const auto& entry : steps) {
        seen += entry.second;
        if (seen * 2 >= n)
            return entry.first;
    }
    return 0;
}

int Stats(const char* path, std::FILE* out, std::FILE* err) {
    StatsSink sink;
    KvfReader reader(&sink);
    if (!ReadFile(path, &reader, err))
        return 2;
    const std::int64_t interval = MedianStep(sink.timeline);
    std::fprintf(out, "%s: %llu records, %llu damaged", path, static_cast<unsigned long long>(sink.timeline.size()),
                 static_cast<unsigned long long>(sink.damage.count));
    if (interval > 0)
        std::fprintf(out, ", recording interval %lld s (median step)", static_cast<long long>(interval));
    std::fprintf(out, "\n%-8s %10s %10s %10s %10s  %-19s  %-19s\n", "channel", "count", "minimum", "maximum", "mean",
                 "first", "last");
    for (int c = 0; c < kKvfChannels; ++c) {
        const ChannelStats& st = sink.channels[c];
        if (st.count == 0) {
            std::fprintf(out, "%-8s %10s %10s %10s %10s  %-19s  %-19s\n", KvfChannelName(c), "0", "-", "-", "-", "-",
                         "-");
            continue;
        }
        const double mean = static_cast<double>(st.sum) / static_cast<double>(st.count) / 100.0;
        std::fprintf(out, "%-8s %10llu %10s %10s %10s  %-19s  %-19s\n", KvfChannelName(c),
                     static_cast<unsigned long long>(st.count), Hundredths(st.minimum).c_str(),
                     Hundredths(st.maximum).c_str(), FormatFixed(mean, 2).c_str(), FormatKvfSeconds(st.first).c_str(),
                     FormatKvfSeconds(st.last).c_str());
    }
    if (interval > 0) {
        const std::int64_t limit = 3 * interval;
        std::fprintf(out, "gaps longer than %lld s (three recording intervals):", static_cast<long long>(limit));
        std::uint64_t total = 0;
        for (int c = 0; c < kKvfChannels; ++c) {
            if (sink.channels[c].count == 0)
                continue;
            std::uint64_t listed = 0, more = 0;
            bool seen = false;
            std::int64_t previous = 0;
            for (const auto& entry : sink.timeline) {
                if (!((entry.second >> c) & 1))
                    continue;
                if (seen && entry.first - previous > limit) {
                    if (listed < kMaxListed) {
                        std::fprintf(out, "\n  %-3s %s to %s (%lld s)", KvfChannelName(c),
                                     FormatKvfSeconds(previous).c_str(), FormatKvfSeconds(entry.first).c_str(),
                                     static_cast<long long>(entry.first - previous));
                        ++listed;
                    } else {
                        ++more;
                    }
                }
                seen = true;
                previous = entry.first;
            }
            if (more)
                std::fprintf(out, "\n  %-3s ... and %llu more", KvfChannelName(c), static_cast<unsigned long long>(more));
            total += listed + more;
        }
        std::fprintf(out, "%s\n", total ? "" : " none");
    }
    for (const std::string& line : sink.damage.lines)
        std::fprintf(err, "qm487-kvf: %s: %s\n", path, line.c_str());
    ReportPending(reader, out);
    return sink.damage.count ? 1 : 0;
}

bool ParseSeparator(const std::string& text, std::string* separator) {
    if (text == "tab" || text == "\\t" || text == "\t") {
        *separator = "\t";
        return true;
    }
    // A separator that can occur inside a time or a value would make the
    // columns ambiguous.
    if (text.size() != 1 || std::strchr("0123456789.-: \r\n", text[0]))
        return false;
    *separator = text;
    return true;
}

}  // namespace

int RunKvfTool(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, out);
        return 0;
    }
    std::string command, path, separator = ",";
    bool separatorGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--separator" || a.rfind("--separator=", 0) == 0) {
            std::string value;
            if (a == "--separator") {
                if (i + 1 >= args.size()) {
                    std::fprintf(err, "qm487-kvf: --separator needs a value\n%s", kUsage);
                    return 2;
                }
                value = args[++i];
            } else {
                value = a.substr(std::strlen("--separator="));
            }
            if (!ParseSeparator(value, &separator)) {
                std::fprintf(err,
                             "qm487-kvf: bad separator \"%s\" (one character that cannot occur in a time or a "
                             "value, or 'tab')\n",
                             value.c_str());
                return 2;
            }
            separatorGiven = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::fprintf(err, "qm487-kvf: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else if (command.empty()) {
            command = a;
        } else if (path.empty()) {
            path = a;
        } else {
            std::fprintf(err, "qm487-kvf: too many arguments\n%s", kUsage);
            return 2;
        }
    }
    if (command.empty() || path.empty() || (command != "check" && command != "csv" && command != "stats")) {
        std::fprintf(err, "%s%s", command.empty() || path.empty() ? "" : "qm487-kvf: unknown command\n", kUsage);
        return 2;
    }
    if (separatorGiven && command != "csv") {
        std::fprintf(err, "qm487-kvf: --separator is for csv only\n");
        return 2;
    }
    if (command == "check")
        return Check(path.c_str(), out, err);
    if (command == "csv")
        return Csv(path.c_str(), separator, out, err);
    return Stats(path.c_str(), out, err);
}
