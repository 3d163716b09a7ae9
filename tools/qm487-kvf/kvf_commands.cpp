#include "kvf_commands.h"

#include "common/civil_time.h"
#include "common/number_text.h"
#include "config/cp1250.h"
#include "recording/log_names.h"
#include "tools/utf8_arguments.h"
#include "viewer/chart_export.h"
#include "viewer/chart_view.h"
#include "viewer/host_zone.h"
#include "viewer/kvf_reader.h"
#include "viewer/kvf_timeline.h"
#include "viewer/log_series.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kUsage[] = "usage: qm487-kvf check FILE...\n"
                      "       qm487-kvf csv FILE... [--separator S] [--iso] [--decimal-comma]\n"
                      "       qm487-kvf stats FILE...\n"
                      "       any command: [--zone local|utc|+HH:MM]\n"
                      "Reads a QM487 binary log (.kvf), or several as one log in the order given: a\n"
                      "FOLDER given stands for its .kvf files, a series in time order (a file a day,\n"
                      "week or month: pomiar_2026-12-09.kvf, pomiar_2026-W50.kvf, pomiar_2026-12.kvf);\n"
                      "files that overlap in time are told on stderr. Its times are the recording PC's wall clock;\n"
                      "they are read with this computer's time zone (--zone local, the default), or\n"
                      "as UTC or a fixed offset: the hour repeated in autumn is told apart by file\n"
                      "order, and a step back of the clock that is no change of the zone's time\n"
                      "starts a stretch of its own.\n"
                      "  check  summary: records, time span, channels seen, damaged records with offsets,\n"
                      "         steps back of the clock with their offsets; exit 0 only when every\n"
                      "         record is sound\n"
                      "  csv    time,T,T1..T8 per sound record, values as stored (S: one character\n"
                      "         or 'tab'; default ','); damaged records are skipped, exit 1.\n"
                      "         --iso: times as 2026-10-25T02:30:00+01:00; --decimal-comma: 21,40\n"
                      "         (for a spreadsheet that reads numbers so; not with separator ',')\n"
                      "  stats  per channel count, minimum, maximum, mean, first and last time,\n"
                      "         spans of recording and gaps longer than three recording intervals,\n"
                      "         in real time\n"
                      "Channels are named as FILE.names beside the (last) log names them (lines T1=name,\n"
                      "written by QM487 while it records), else T, T1..T8; names are printed in UTF-8.\n";

const std::size_t kMaxListed = 20;

// Every damaged stretch the reader reports, as a user reads it: the first
// ten thousand listed, the rest counted, so that a log damaged between every
// two records does not grow the list without bound.
struct DamageList {
    static const std::size_t kMaxLines = 10000;
    std::uint64_t count = 0;
    std::vector<std::string> lines;
    std::string file;  // the file being read, when there are several

    void Add(std::uint64_t offset, std::uint64_t length, const char* what) {
        if (++count > kMaxLines)
            return;
        char text[160];
        std::snprintf(text, sizeof text, "damaged record at offset %llu (%llu bytes skipped): %s",
                      static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length), what);
        lines.push_back(file.empty() ? std::string(text) : file + ": " + text);
    }
    // The lines to print: the ones listed, then how many more there were.
    std::vector<std::string> Lines() const {
        std::vector<std::string> all = lines;
        if (count > lines.size())
            all.push_back("... and " + std::to_string(count - lines.size()) + " more damaged records");
        return all;
    }
};

// The channels' labels, UTF-8 like the rest of the output: the names the
// log's names file beside it gives, else "T", "T1" ... "T8".
struct Labels {
    std::string text[kKvfChannels];
    explicit Labels(const char* path) {
        LogNames names;
        if (std::FILE* file = OpenUtf8File(LogNamesPath(path), "rb")) {
            char buffer[4096];
            const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
            std::fclose(file);
            names = ParseLogNames(std::string(buffer, n));
        }
        for (int c = 0; c < kKvfChannels; ++c)
            text[c] = Cp1250ToUtf8(LogChannelLabel(names, c));
    }
    const char* operator[](int c) const { return text[c].c_str(); }
};

// Reads the whole file through the reader. false with a message when the
// file cannot be read or is not a binary log.
bool ReadFile(const char* path, KvfReader* reader, std::FILE* err) {
    std::FILE* file = OpenUtf8File(path, "rb");
    if (!file) {
        if (err)
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
                if (err)
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
        if (err)
            std::fprintf(err, "qm487-kvf: %s is not a QM487 binary log (.kvf): no sound record in its first %s\n", path,
                     reader->BytesFed() >= KvfReader::kForeignWindow ? "4096 bytes" : "bytes");
        return false;
    }
    return true;
}

// The first and last record times of one file, on their way to the command's sink.
struct FileSpan : KvfSink {
    explicit FileSpan(KvfSink* pInner) : inner(pInner) {}
    KvfSink* inner;
    bool any = false;
    std::int64_t first = 0, last = 0;
    void OnRecord(const KvfRecord& r) override {
        last = r.Seconds();
        first = any ? first : last;
        any = true;
        inner->OnRecord(r);
    }
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {
        inner->OnDamage(offset, length, what);
    }
};

// The files one after another as one log, in the order given (a series in
// time order). A file that begins before the one before it ends is told;
// its records still count. *pPending: what each file's end holds of a record
// not yet complete. false when a file cannot be read or is no log (the
// others are read all the same). err null: nothing told (a second reading).
bool ReadFiles(const std::vector<std::string>& paths, KvfSink* sink, DamageList* damage, const char** pCurrent,
               std::vector<std::string>* pPending, std::FILE* err) {
    bool ok = true;
    FileSpan before(nullptr);
    const std::string* pBefore = nullptr;
    for (const std::string& path : paths) {
        if (damage && paths.size() > 1)
            damage->file = path;
        if (pCurrent)
            *pCurrent = path.c_str();
        FileSpan span(sink);
        KvfReader reader(&span);
        if (!ReadFile(path.c_str(), &reader, err)) {
            ok = false;
            continue;
        }
        if (reader.PendingBytes() > 0)
            pPending->push_back((paths.size() > 1 ? path + ": " : std::string()) + "last " +
                                std::to_string(reader.PendingBytes()) +
                                " bytes: a record not yet complete (still being written, or cut off), not counted");
        if (err && span.any && before.any && span.first < before.last)
            std::fprintf(err, "qm487-kvf: %s begins at %s, before %s ends at %s: the files overlap\n", path.c_str(),
                         FormatCivilSeconds(span.first).c_str(), pBefore->c_str(),
                         FormatCivilSeconds(before.last).c_str());
        if (span.any) {
            before = span;
            pBefore = &path;
        }
    }
    return ok;
}

void ReportPending(const std::vector<std::string>& pending, std::FILE* out) {
    for (const std::string& line : pending)
        std::fprintf(out, "%s\n", line.c_str());
}

// What the summary calls the files read.
std::string FilesTitle(const std::vector<std::string>& paths) {
    if (paths.size() == 1)
        return paths[0];
    return paths.front() + " ... " + paths.back() + " (" + std::to_string(paths.size()) + " files)";
}

// ---- check ----

struct CheckSink : KvfSink {
    explicit CheckSink(const ZoneRules& rules) : timeline(rules) {}
    KvfTimeline timeline;
    std::uint64_t records = 0;
    std::int64_t first = 0, last = 0;  // chart times
    std::uint64_t perChannel[kKvfChannels] = {};
    std::vector<std::uint64_t> stepOffsets;  // of the first record after each step back
    DamageList damage;

    void OnRecord(const KvfRecord& r) override {
        const std::size_t steps = timeline.Steps().size();
        last = timeline.Place(r.Seconds());
        if (records == 0)
            first = last;
        if (timeline.Steps().size() != steps)
            stepOffsets.push_back(r.offset);
        ++records;
        for (int c = 0; c < kKvfChannels; ++c)
            perChannel[c] += r.Has(c);
    }
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {
        damage.Add(offset, length, what);
    }
};

int Check(const std::vector<std::string>& paths, const ZoneRules& rules, std::FILE* out, std::FILE* err) {
    CheckSink sink(rules);
    std::vector<std::string> pending;
    if (!ReadFiles(paths, &sink, &sink.damage, nullptr, &pending, err))
        return 2;
    std::fprintf(out, "%s: %llu records, %llu damaged\n", FilesTitle(paths).c_str(),
                 static_cast<unsigned long long>(sink.records), static_cast<unsigned long long>(sink.damage.count));
    if (sink.records > 0) {
        // The offsets where they tell the times apart.
        const bool zones = sink.timeline.OffsetAt(sink.first) != sink.timeline.OffsetAt(sink.last);
        std::fprintf(out, "time span: %s to %s (%lld s)\n", sink.timeline.Text(sink.first, zones).c_str(),
                     sink.timeline.Text(sink.last, zones).c_str(), static_cast<long long>(sink.last - sink.first));
    }
    const Labels labels(paths.back().c_str());
    std::fprintf(out, "channels seen:");
    bool any = false;
    for (int order = 1; order <= kKvfChannels; ++order) {
        const int c = order % kKvfChannels;  // 1 to 8, then the mean
        if (sink.perChannel[c]) {
            std::fprintf(out, " %s (%llu)", labels[c], static_cast<unsigned long long>(sink.perChannel[c]));
            any = true;
        }
    }
    std::fprintf(out, "%s\n", any ? "" : " none");
    for (std::size_t k = 0; k < sink.stepOffsets.size() && k < kMaxListed; ++k) {
        const ClockStep& step = sink.timeline.Steps()[k];
        std::fprintf(out, "clock set back by %s after %s, at offset %llu\n", FormatDuration(step.back).c_str(),
                     FormatCivilSeconds(step.localBefore).c_str(),
                     static_cast<unsigned long long>(sink.stepOffsets[k]));
    }
    if (sink.stepOffsets.size() > kMaxListed)
        std::fprintf(out, "... and %llu more steps back\n",
                     static_cast<unsigned long long>(sink.stepOffsets.size() - kMaxListed));
    for (const std::string& line : sink.damage.Lines())
        std::fprintf(out, "%s\n", line.c_str());
    ReportPending(pending, out);
    return sink.damage.count ? 1 : 0;
}

// ---- csv ----

struct CsvSink : KvfSink {
    CsvSink(const ZoneRules& rules, const CsvFormat& format)
        : csv(-std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), rules, format) {}
    KvfCsvExport csv;  // every record
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
    const char* path = nullptr;
    std::uint64_t damaged = 0;

    void Write() {
        const std::string text = csv.TakeText();
        std::fwrite(text.data(), 1, text.size(), out);
    }
    void OnRecord(const KvfRecord& r) override {
        csv.OnRecord(r);
        Write();
    }
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {
        ++damaged;
        std::fprintf(err, "qm487-kvf: %s: damaged record at offset %llu (%llu bytes) skipped: %s\n", path,
                     static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length), what);
    }
};

int Csv(const std::vector<std::string>& paths, const ZoneRules& rules, CsvFormat format, std::FILE* out,
        std::FILE* err) {
    const Labels labels(paths.back().c_str());
    for (int c = 0; c < kKvfChannels; ++c)
        format.strLabel[c] = labels.text[c];
    CsvSink sink(rules, format);
    sink.out = out;
    sink.err = err;
    std::vector<std::string> pending;
    if (!ReadFiles(paths, &sink, nullptr, &sink.path, &pending, err))
        return 2;
    sink.csv.Finish();
    sink.Write();
    return sink.damaged ? 1 : 0;
}

// ---- stats ----

struct ChannelStats {
    std::uint64_t count = 0;
    std::int64_t minimum = 0, maximum = 0, sum = 0;  // hundredths
    std::int64_t first = 0, last = 0;
};

// The first reading: each channel's figures, and the steps between records
// counted by length for the recording interval (a few numbers whatever the
// log's length).
struct StatsSink : KvfSink {
    explicit StatsSink(const ZoneRules& rules) : clock(rules) {}
    KvfTimeline clock;
    std::uint64_t records = 0;
    std::int64_t first = 0, last = 0;  // chart times
    std::map<std::int64_t, std::uint64_t> steps;
    ChannelStats channels[kKvfChannels];
    DamageList damage;

    void OnRecord(const KvfRecord& r) override {
        const std::int64_t s = clock.Place(r.Seconds());
        // A log of ever new steps is counted by the first million lengths.
        if (records > 0 && s > last && (steps.size() < (1u << 20) || steps.count(s - last)))
            ++steps[s - last];
        first = records++ == 0 ? s : first;
        last = s;
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

// The second reading, once the interval is known: the gaps longer than
// limit, the first kMaxListed of each channel kept with their times.
struct GapSink : KvfSink {
    GapSink(const ZoneRules& rules, std::int64_t limit) : clock(rules), limit(limit) {}
    KvfTimeline clock;
    std::int64_t limit;
    std::uint64_t records = 0, longSteps = 0;
    std::int64_t last = 0;
    struct Channel {
        bool seen = false;
        std::int64_t previous = 0;
        std::vector<std::pair<std::int64_t, std::int64_t>> listed;
        std::uint64_t more = 0;
    } channels[kKvfChannels];

    void OnRecord(const KvfRecord& r) override {
        const std::int64_t s = clock.Place(r.Seconds());
        longSteps += records++ > 0 && s - last > limit;
        last = s;
        for (int c = 0; c < kKvfChannels; ++c) {
            Channel& ch = channels[c];
            if (!r.Has(c))
                continue;
            if (ch.seen && s - ch.previous > limit) {
                if (ch.listed.size() < kMaxListed)
                    ch.listed.emplace_back(ch.previous, s);
                else
                    ++ch.more;
            }
            ch.seen = true;
            ch.previous = s;
        }
    }
    void OnDamage(std::uint64_t, std::uint64_t, const char*) override {}
};

std::string Hundredths(std::int64_t v) { return FormatFixed(static_cast<double>(v) / 100.0, 2); }

// The recording interval: the median of the forward steps between records.
std::int64_t MedianStep(const std::map<std::int64_t, std::uint64_t>& steps) {
    std::uint64_t n = 0;
    for (const auto& entry : steps)
        n += entry.second;
    std::uint64_t seen = 0;
    for (const auto& entry : steps) {
        seen += entry.second;
        if (seen * 2 >= n)
            return entry.first;
    }
    return 0;
}

int Stats(const std::vector<std::string>& paths, const ZoneRules& rules, std::FILE* out, std::FILE* err) {
    StatsSink sink(rules);
    std::vector<std::string> pending;
    if (!ReadFiles(paths, &sink, &sink.damage, nullptr, &pending, err))
        return 2;
    const std::string path = FilesTitle(paths);
    const std::int64_t interval = MedianStep(sink.steps);
    // The gaps need the interval: the files are read once more for them.
    GapSink gaps(rules, 3 * interval);
    std::vector<std::string> again;
    if (interval > 0)
        ReadFiles(paths, &gaps, nullptr, nullptr, &again, nullptr);
    std::fprintf(out, "%s: %llu records, %llu damaged", path.c_str(), static_cast<unsigned long long>(sink.records),
                 static_cast<unsigned long long>(sink.damage.count));
    if (interval > 0)
        std::fprintf(out, ", recording interval %lld s (median step)", static_cast<long long>(interval));
    if (sink.records > 0) {
        const std::int64_t first = sink.first, last = sink.last;
        const bool zones = sink.clock.OffsetAt(first) != sink.clock.OffsetAt(last);
        const std::uint64_t spans = 1 + sink.clock.Steps().size() + gaps.longSteps;
        std::fprintf(out, "\nreal time: %s to %s, %lld s in %llu span%s", sink.clock.Text(first, zones).c_str(),
                     sink.clock.Text(last, zones).c_str(), static_cast<long long>(last - first),
                     static_cast<unsigned long long>(spans), spans == 1 ? "" : "s");
        if (!sink.clock.Steps().empty())
            std::fprintf(out, " (clock set back %llu time%s)",
                         static_cast<unsigned long long>(sink.clock.Steps().size()),
                         sink.clock.Steps().size() == 1 ? "" : "s");
    }
    std::fprintf(out, "\n%-8s %10s %10s %10s %10s  %-19s  %-19s\n", "channel", "count", "minimum", "maximum", "mean",
                 "first", "last");
    const Labels labels(paths.back().c_str());
    for (int c = 0; c < kKvfChannels; ++c) {
        const ChannelStats& st = sink.channels[c];
        if (st.count == 0) {
            std::fprintf(out, "%-8s %10s %10s %10s %10s  %-19s  %-19s\n", labels[c], "0", "-", "-", "-", "-", "-");
            continue;
        }
        const double mean = static_cast<double>(st.sum) / static_cast<double>(st.count) / 100.0;
        std::fprintf(out, "%-8s %10llu %10s %10s %10s  %-19s  %-19s\n", labels[c],
                     static_cast<unsigned long long>(st.count), Hundredths(st.minimum).c_str(),
                     Hundredths(st.maximum).c_str(), FormatFixed(mean, 2).c_str(), sink.clock.Text(st.first).c_str(),
                     sink.clock.Text(st.last).c_str());
    }
    if (interval > 0) {
        const std::int64_t limit = 3 * interval;
        std::fprintf(out, "gaps longer than %lld s (three recording intervals):", static_cast<long long>(limit));
        std::uint64_t total = 0;
        for (int c = 0; c < kKvfChannels; ++c) {
            const GapSink::Channel& ch = gaps.channels[c];
            for (const auto& gap : ch.listed)
                std::fprintf(out, "\n  %-3s %s to %s (%lld s)", labels[c], sink.clock.Text(gap.first).c_str(),
                             sink.clock.Text(gap.second).c_str(), static_cast<long long>(gap.second - gap.first));
            if (ch.more)
                std::fprintf(out, "\n  %-3s ... and %llu more", labels[c], static_cast<unsigned long long>(ch.more));
            total += ch.listed.size() + ch.more;
        }
        std::fprintf(out, "%s\n", total ? "" : " none");
    }
    for (const std::string& line : sink.damage.Lines())
        std::fprintf(err, "qm487-kvf: %s%s%s\n", paths.size() > 1 ? "" : path.c_str(), paths.size() > 1 ? "" : ": ",
                     line.c_str());
    ReportPending(pending, out);
    return sink.damage.count ? 1 : 0;
}

// A folder given stands for its binary logs, a series after another, each
// in time order (pomiar_2026-12-09.kvf before pomiar_2026-12-10.kvf).
bool ExpandFolders(std::vector<std::string>* pPaths, std::FILE* err) {
    std::vector<std::string> paths;
    for (const std::string& path : *pPaths) {
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::u8path(path);
        if (!std::filesystem::is_directory(folder, ec)) {
            paths.push_back(path);
            continue;
        }
        std::vector<std::pair<SeriesName, std::string>> logs;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().u8string();
            const SeriesName series = ParseSeriesName(name);
            std::string extension = series.strExtension;
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (extension == ".kvf" && it->is_regular_file(ec))
                logs.emplace_back(series, it->path().u8string());
        }
        if (ec || logs.empty()) {
            std::fprintf(err, "qm487-kvf: %s: %s\n", path.c_str(),
                         ec ? "cannot list the folder" : "no .kvf file in it");
            return false;
        }
        std::sort(logs.begin(), logs.end(),
                  [](const auto& a, const auto& b) { return SeriesBefore(a.first, b.first); });
        for (const auto& log : logs)
            paths.push_back(log.second);
    }
    pPaths->swap(paths);
    return true;
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
    std::string command, separator = ",";
    std::vector<std::string> paths;
    bool separatorGiven = false, csvOption = false;
    CsvFormat format;
    ZoneChoice zone;
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
        } else if (a == "--iso" || a == "--decimal-comma") {
            (a == "--iso" ? format.bIsoTime : format.bDecimalComma) = true;
            csvOption = true;
        } else if (a == "--zone" || a.rfind("--zone=", 0) == 0) {
            if (a == "--zone" && i + 1 >= args.size()) {
                std::fprintf(err, "qm487-kvf: --zone needs a value\n%s", kUsage);
                return 2;
            }
            const std::string value = a == "--zone" ? args[++i] : a.substr(std::strlen("--zone="));
            if (!ParseZoneChoice(value, &zone)) {
                std::fprintf(err, "qm487-kvf: bad zone \"%s\" (local, utc, or an offset such as +01:00)\n",
                             value.c_str());
                return 2;
            }
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::fprintf(err, "qm487-kvf: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else if (command.empty()) {
            command = a;
        } else {
            paths.push_back(a);
        }
    }
    if (command.empty() || paths.empty() || (command != "check" && command != "csv" && command != "stats")) {
        std::fprintf(err, "%s%s", command.empty() || paths.empty() ? "" : "qm487-kvf: unknown command\n", kUsage);
        return 2;
    }
    if (!ExpandFolders(&paths, err))
        return 2;
    if ((separatorGiven || csvOption) && command != "csv") {
        std::fprintf(err, "qm487-kvf: --separator, --iso and --decimal-comma are for csv only\n");
        return 2;
    }
    format.separator = separator[0];
    if (format.bDecimalComma && format.separator == ',') {
        std::fprintf(err, "qm487-kvf: --decimal-comma needs another separator (--separator \";\" or tab)\n");
        return 2;
    }
    const std::unique_ptr<ZoneRules> rules = MakeZoneRules(zone);
    if (command == "check")
        return Check(paths, *rules, out, err);
    if (command == "csv")
        return Csv(paths, *rules, format, out, err);
    return Stats(paths, *rules, out, err);
}
