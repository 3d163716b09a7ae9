#include "sim_core.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace qm487sim {

const char kUsage[] =
    "usage: qm487-sim (--port DEVICE | --output FILE) [OPTIONS]\n"
    "\n"
    "Plays the QM487 instrument: sends its reading lines, channels in turn, at\n"
    "the instrument's pace (one line at a time, 30 ms a character at 300 baud\n"
    "7N1) on a serial port, or writes the same bytes to a file.\n"
    "\n"
    "Where the lines go (one of them):\n"
    "  --port DEVICE         serial port, set to 300 baud 7N1: COM5 or 5 on Windows,\n"
    "                        /dev/ttyUSB0 or a pseudo-terminal on Linux\n"
    "  --output FILE         the bytes into FILE, \"-\" for standard output\n"
    "\n"
    "What the lines say:\n"
    "  --serial N            serial number 0-65535, decimal or 0x hex (4660 = 0x1234)\n"
    "  --channels LIST       channels in turn, in this order; 0-8, commas and ranges,\n"
    "                        e.g. 3,1,0 or 8-1 (0-8, like the instrument)\n"
    "  --form FORM           short (0.1, 13 bytes), long (0.01, 15 bytes) or\n"
    "                        long16 (0.01, 16 bytes) (short)\n"
    "  --value [LIST=]V      fixed value\n"
    "  --ramp [LIST=]FROM:TO:STEP[:wrap|:bounce]\n"
    "                        from FROM towards TO by STEP each line of the channel,\n"
    "                        then start over (wrap) or turn back (bounce) (wrap)\n"
    "  --walk [LIST=]CENTRE  slow random walk within 5 of CENTRE (all channels, 21)\n"
    "                        Without LIST= these set every channel; later ones win.\n"
    "  --seed N              seed of the random walk (1)\n"
    "  --value-error LIST    channels whose lines carry the value-error flag\n"
    "  --calibration-error LIST\n"
    "                        channels whose lines carry the calibration-error flag\n"
    "\n"
    "Faults (\"every N\" means lines N, 2N, 3N, ...):\n"
    "  --bad-parity N        every Nth line gets one character with a wrong parity bit\n"
    "  --line-feed N         a line feed after every Nth line's carriage return\n"
    "  --garbage N[:LEN]     before every Nth line, LEN bytes (1000 or more, 1000)\n"
    "                        without a carriage return\n"
    "  --silence S           S seconds without a byte, with one of:\n"
    "  --silence-after N       once, after line N\n"
    "  --silence-every N       after every N lines\n"
    "\n"
    "Pace and end:\n"
    "  --fast                as fast as the link takes (silences still last)\n"
    "  --count N             stop after N lines (no limit)\n"
    "  --duration S          stop after S seconds (no limit)\n"
    "  -h, --help            this text\n"
    "\n"
    "Runs until the limit or Ctrl-C, then lets the port finish sending.\n"
    "Example: qm487-sim --output capture.bin --fast --count 18 && qm487-decode capture.bin\n"
    "Exit status: 0 done, 1 write error, 2 bad option or a device that cannot be opened.\n";

namespace {

const double kWalkSpread = 5.0;     // the walk stays this close to its centre
const double kWalkStep = 0.1;       // largest random move per line
const double kWalkPull = 0.02;      // share of the distance back to the centre per line
const int kMaxGarbage = 1000000;

struct Limits {
    double low, high;
};

Limits FormLimits(LineForm form) {
    return form == LineForm::Short ? Limits{-999.9, 9999.9} : Limits{-999.99, 9999.99};
}

const char* FormName(LineForm form) {
    return form == LineForm::Short ? "short form (-999.9 to 9999.9)"
                                   : "long form (-999.99 to 9999.99)";
}

bool Fits(double value, LineForm form) {
    InstrumentReading r;
    r.value = value;
    r.fine = form != LineForm::Short;
    std::vector<unsigned char> bytes;
    return EncodeLine(r, bytes);
}

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = s.find(sep, start);
        parts.push_back(s.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// Whole-string decimal integer (or hexadecimal with 0x when allowed).
bool ParseInteger(const std::string& s, long long low, long long high, long long& out,
                  bool allowHex = false) {
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0])))
        return false;
    int base = 10;
    const char* p = s.c_str();
    if (allowHex && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        p += 2;
    }
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(p, &end, base);
    if (errno != 0 || end == p || *end != 0 || v < low || v > high)
        return false;
    out = v;
    return true;
}

bool ParseNumber(const std::string& s, double& out) {
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (errno == ERANGE || *end != 0 || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

// "3,1,0", "1-8", "8-1": channels in the order given.
bool ParseChannelList(const std::string& s, std::vector<int>& out) {
    out.clear();
    for (const std::string& item : Split(s, ',')) {
        const auto dash = item.find('-');
        long long a, b;
        if (dash == std::string::npos) {
            if (!ParseInteger(item, 0, 8, a))
                return false;
            out.push_back(static_cast<int>(a));
            continue;
        }
        if (!ParseInteger(item.substr(0, dash), 0, 8, a) ||
            !ParseInteger(item.substr(dash + 1), 0, 8, b))
            return false;
        const int stepDir = a <= b ? 1 : -1;
        for (long long c = a;; c += stepDir) {
            out.push_back(static_cast<int>(c));
            if (c == b)
                break;
        }
    }
    return true;
}

class Parser {
public:
    ParseResult result;

    void Parse(const std::vector<std::string>& args) {
        for (std::size_t i = 0; i < args.size() && result.outcome == ParseResult::Run; ++i) {
            std::string name = args[i], value;
            bool hasValue = false;
            if (name.compare(0, 2, "--") == 0) {
                const auto eq = name.find('=');
                if (eq != std::string::npos) {
                    value = name.substr(eq + 1);
                    name.erase(eq);
                    hasValue = true;
                }
            }
            if (name == "-h" || name == "--help") {
                result.outcome = ParseResult::Help;
                return;
            }
            if (name == "--fast") {
                if (hasValue)
                    return Fail("--fast takes no value");
                config().fast = true;
                continue;
            }
            if (name.empty() || name[0] != '-' || name == "-")
                return Fail("unexpected argument \"" + name + "\"", true);
            if (!Known(name))
                return Fail("unknown option " + name, true);
            if (!hasValue) {
                if (i + 1 >= args.size())
                    return Fail(name + " needs a value");
                value = args[++i];
            }
            Option(name, value);
        }
        if (result.outcome == ParseResult::Run)
            Check();
    }

private:
    std::string m_origin[kChannels];  // the option that set each channel's values

    SimConfig& config() { return result.config; }

    void Fail(const std::string& message, bool usage = false) {
        result.outcome = ParseResult::Error;
        result.error = message;
        result.showUsage = usage;
    }

    static bool Known(const std::string& name) {
        static const char* const kNames[] = {
            "--port", "--output", "--serial", "--channels", "--form", "--value", "--ramp",
            "--walk", "--seed", "--value-error", "--calibration-error", "--bad-parity",
            "--line-feed", "--garbage", "--silence", "--silence-after", "--silence-every",
            "--count", "--duration"};
        for (const char* n : kNames)
            if (name == n)
                return true;
        return false;
    }

    void Option(const std::string& name, const std::string& value) {
        SimConfig& c = config();
        const std::string bad = "bad value for " + name + ": \"" + value + "\"";
        long long n;
        if (name == "--port") {
            if (value.empty())
                return Fail("--port needs a device");
            c.port = value;
        } else if (name == "--output") {
            if (value.empty())
                return Fail("--output needs a file name, or - for standard output");
            c.output = value;
        } else if (name == "--serial") {
            if (!ParseInteger(value, 0, 65535, n, true))
                return Fail(bad + " (expected 0 to 65535, or 0x0000 to 0xFFFF)");
            c.serialNumber = static_cast<std::uint16_t>(n);
        } else if (name == "--channels") {
            if (!ParseChannelList(value, c.channels))
                return Fail(bad + " (expected channels 0 to 8 like 1-8 or 3,1,0)");
        } else if (name == "--form") {
            if (value == "short")
                c.form = LineForm::Short;
            else if (value == "long")
                c.form = LineForm::Long;
            else if (value == "long16")
                c.form = LineForm::Long16;
            else
                return Fail(bad + " (expected short, long or long16)");
        } else if (name == "--value" || name == "--ramp" || name == "--walk") {
            SourceOption(name, value);
        } else if (name == "--seed") {
            if (!ParseInteger(value, 0, 0x7FFFFFFFFFFFFFFFll, n))
                return Fail(bad + " (expected a whole number 0 or more)");
            c.seed = static_cast<std::uint64_t>(n);
        } else if (name == "--value-error" || name == "--calibration-error") {
            std::vector<int> list;
            if (!ParseChannelList(value, list))
                return Fail(bad + " (expected channels 0 to 8 like 1-8 or 3,5)");
            for (int ch : list)
                (name == "--value-error" ? c.valueError : c.calibrationError)[ch] = true;
        } else if (name == "--bad-parity" || name == "--line-feed") {
            if (!ParseInteger(value, 1, 1000000000, n))
                return Fail(bad + " (expected a line interval of 1 or more)");
            (name == "--bad-parity" ? c.badParityEvery : c.lineFeedEvery) = n;
        } else if (name == "--garbage") {
            const auto parts = Split(value, ':');
            long long len = 1000;
            if (parts.size() > 2 || !ParseInteger(parts[0], 1, 1000000000, n) ||
                (parts.size() == 2 && !ParseInteger(parts[1], 1000, kMaxGarbage, len)))
                return Fail(bad + " (expected N or N:LEN, N 1 or more, LEN 1000 to 1000000)");
            c.garbageEvery = n;
            c.garbageLength = static_cast<int>(len);
        } else if (name == "--silence" || name == "--duration") {
            double s;
            if (!ParseNumber(value, s) || s <= 0 || s > 86400 * 365.0)
                return Fail(bad + " (expected seconds, more than 0)");
            const long long ms = std::max(1LL, static_cast<long long>(std::llround(s * 1000)));
            (name == "--silence" ? c.silenceMs : c.durationMs) = ms;
        } else if (name == "--silence-after" || name == "--silence-every" || name == "--count") {
            if (!ParseInteger(value, 1, 1000000000000000ll, n))
                return Fail(bad + " (expected a number of lines, 1 or more)");
            (name == "--silence-after" ? c.silenceAfter
                                       : name == "--silence-every" ? c.silenceEvery : c.count) = n;
        }
    }

    // --value/--ramp/--walk [LIST=]...
    void SourceOption(const std::string& name, const std::string& text) {
        std::vector<int> channels{0, 1, 2, 3, 4, 5, 6, 7, 8};
        std::string body = text;
        const auto eq = text.find('=');
        if (eq != std::string::npos) {
            if (!ParseChannelList(text.substr(0, eq), channels))
                return Fail("bad channels for " + name + ": \"" + text.substr(0, eq) +
                            "\" (expected 0 to 8 like 3 or 1-4, then = and the value)");
            body = text.substr(eq + 1);
        }
        const std::string bad = "bad value for " + name + ": \"" + text + "\"";
        ValueSource s;
        if (name == "--value" || name == "--walk") {
            s.kind = name == "--value" ? ValueSource::Fixed : ValueSource::Walk;
            if (!ParseNumber(body, s.value))
                return Fail(bad + " (expected a number like 23.4)");
        } else {
            const auto parts = Split(body, ':');
            s.kind = ValueSource::Ramp;
            if (parts.size() < 3 || parts.size() > 4 || !ParseNumber(parts[0], s.from) ||
                !ParseNumber(parts[1], s.to) || !ParseNumber(parts[2], s.step) ||
                (parts.size() == 4 && parts[3] != "wrap" && parts[3] != "bounce"))
                return Fail(bad + " (expected FROM:TO:STEP or FROM:TO:STEP:bounce)");
            if (s.step <= 0)
                return Fail(bad + " (STEP must be more than 0; the ramp runs from FROM to TO)");
            s.bounce = parts.size() == 4 && parts[3] == "bounce";
        }
        for (int ch : channels) {
            config().sources[ch] = s;
            m_origin[ch] = name + " " + text;
        }
    }

    // What only makes sense once every option is known.
    void Check() {
        SimConfig& c = config();
        if (c.port.empty() == c.output.empty())
            return Fail(c.port.empty() ? "say where the lines go: --port DEVICE or --output FILE"
                                       : "--port and --output exclude each other");
        if (c.silenceMs && !c.silenceAfter && !c.silenceEvery)
            return Fail("--silence needs --silence-after N or --silence-every N");
        if (!c.silenceMs && (c.silenceAfter || c.silenceEvery))
            return Fail("--silence-after and --silence-every need --silence SECONDS");
        if (c.silenceAfter && c.silenceEvery)
            return Fail("--silence-after and --silence-every exclude each other");
        // A file on a fast link would grow until the disk is full.
        if (!c.output.empty() && c.output != "-" && c.fast && !c.count && !c.durationMs)
            return Fail("--output to a file with --fast needs --count or --duration");
        for (int ch = 0; ch < kChannels; ++ch) {
            const ValueSource& s = c.sources[ch];
            const bool ok = s.kind == ValueSource::Ramp ? Fits(s.from, c.form) && Fits(s.to, c.form)
                                                        : Fits(s.value, c.form);
            if (!ok)
                return Fail(m_origin[ch] + " does not fit the " + FormName(c.form));
        }
    }
};

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
    Parser p;
    p.Parse(args);
    return p.result;
}

CChannelGenerator::CChannelGenerator(const ValueSource& source, std::uint64_t seed, LineForm form)
    : m_source(source), m_dWalk(source.value), m_nRandom(seed) {
    if (source.kind == ValueSource::Ramp) {
        // Values are FROM + k * STEP for a whole k, so no error builds up.
        const double span = std::fabs(source.to - source.from);
        m_nRampValues = static_cast<long long>(std::floor(span / source.step + 1e-9)) + 1;
    }
    const Limits limits = FormLimits(form);
    m_dLow = std::max(source.value - kWalkSpread, limits.low);
    m_dHigh = std::min(source.value + kWalkSpread, limits.high);
}

double CChannelGenerator::NextUniform() {
    return static_cast<double>(SplitMix(m_nRandom) >> 11) * (1.0 / 9007199254740992.0);
}

double CChannelGenerator::Next() {
    switch (m_source.kind) {
    case ValueSource::Fixed:
        return m_source.value;
    case ValueSource::Ramp: {
        long long k = m_nStep++;
        if (m_source.bounce && m_nRampValues > 1) {
            const long long period = 2 * (m_nRampValues - 1);
            k %= period;
            if (k >= m_nRampValues)
                k = period - k;
        } else {
            k %= m_nRampValues;
        }
        const double dir = m_source.to >= m_source.from ? 1.0 : -1.0;
        return m_source.from + dir * static_cast<double>(k) * m_source.step;
    }
    case ValueSource::Walk:
    default: {
        const double v = m_dWalk;
        const double move = (NextUniform() * 2 - 1) * kWalkStep + (m_source.value - m_dWalk) * kWalkPull;
        m_dWalk = std::min(m_dHigh, std::max(m_dLow, m_dWalk + move));
        return v;
    }
    }
}

CSchedule::CSchedule(const SimConfig& config) : m_config(config) {
    for (int ch = 0; ch < kChannels; ++ch) {
        // Each channel its own stream, so channels do not walk in step.
        std::uint64_t mix = config.seed ^ (0xD1B54A32D192ED03ull * static_cast<unsigned>(ch + 1));
        m_generators[ch] = CChannelGenerator(config.sources[ch], SplitMix(mix), config.form);
    }
    if (m_config.channels.empty())
        m_config.channels.push_back(1);
}

long long CSchedule::PauseFor(std::size_t bytes) const {
    return m_config.fast ? 0 : static_cast<long long>(bytes) * kMillisecondsPerByte;
}

bool CSchedule::Next(SimChunk& chunk) {
    if (m_config.count && m_nLines >= m_config.count)
        return false;
    const long long n = m_nLines + 1;
    chunk = SimChunk();
    if (m_config.garbageEvery && n % m_config.garbageEvery == 0 && !m_bGarbageSent) {
        m_bGarbageSent = true;
        chunk.kind = SimChunk::Garbage;
        chunk.lineNumber = n;  // the line it comes before
        // Valid characters, digits over and over, but never a carriage return.
        for (int i = 0; i < m_config.garbageLength; ++i)
            chunk.bytes.push_back(EncodeCode(0x30 + i % 10));
        chunk.pauseMs = PauseFor(chunk.bytes.size());
        return true;
    }
    m_bGarbageSent = false;
    m_nLines = n;
    MakeLine(chunk);
    return true;
}

void CSchedule::MakeLine(SimChunk& chunk) {
    const SimConfig& c = m_config;
    const long long n = m_nLines;
    const int ch = c.channels[static_cast<std::size_t>((n - 1) % static_cast<long long>(c.channels.size()))];

    InstrumentReading& r = chunk.reading;
    r.channel = ch;
    r.value = m_generators[ch].Next();
    r.fine = c.form != LineForm::Short;
    r.sixteenBytes = c.form == LineForm::Long16;
    r.valueError = c.valueError[ch];
    r.calibrationError = c.calibrationError[ch];
    r.serialNumber = c.serialNumber;
    chunk.kind = SimChunk::Line;
    chunk.lineNumber = n;
    chunk.bytes = EncodeLineOrThrow(r);  // the options were checked to fit

    if (c.badParityEvery && n % c.badParityEvery == 0) {
        // Only positions 1 to length-2 are parity-tested; move along them so
        // that every kind of character gets its turn.
        const int tested = static_cast<int>(chunk.bytes.size()) - 2;
        chunk.badParityPosition = 1 + static_cast<int>(m_nBadLines++ % tested);
        chunk.bytes[chunk.badParityPosition] ^= 0x40;
    }
    if (c.lineFeedEvery && n % c.lineFeedEvery == 0) {
        chunk.bytes.push_back(0x0A);
        chunk.lineFeed = true;
    }
    chunk.pauseMs = PauseFor(chunk.bytes.size());
    if ((c.silenceAfter && n == c.silenceAfter) || (c.silenceEvery && n % c.silenceEvery == 0))
        chunk.pauseMs += c.silenceMs;
}

}  // namespace qm487sim
