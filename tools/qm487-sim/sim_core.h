// The instrument simulator's portable part: its options, the readings it
// makes up and the bytes it sends, with the pause after each piece. No port
// and no clock are involved, so all of it runs in tests.
#pragma once

#include "instrument/line_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qm487sim {

enum { kChannels = 9 };

// 300 baud, 7N1: start bit, 7 data bits, stop bit = 9 bit times a character.
const long long kMillisecondsPerByte = 30;

enum class LineForm { Short, Long, Long16 };

// Where the values of one channel come from.
struct ValueSource {
    enum Kind { Fixed, Ramp, Walk };
    Kind kind = Walk;
    double value = 21.0;  // the fixed value, or the centre of the walk
    double from = 0, to = 0, step = 0;  // ramp: step > 0, towards `to`
    bool bounce = false;  // ramp: turn back at the ends instead of starting over
};

struct SimConfig {
    std::string port;    // serial device; empty when writing to a file
    std::string output;  // file, "-" for standard output; empty when on a port

    std::uint16_t serialNumber = 0x1234;
    std::vector<int> channels{0, 1, 2, 3, 4, 5, 6, 7, 8};  // in turn, in this order, like the instrument
    LineForm form = LineForm::Short;
    ValueSource sources[kChannels];
    std::uint64_t seed = 1;
    bool valueError[kChannels] = {};
    bool calibrationError[kChannels] = {};

    // Faults; 0 means off. "Every N" counts lines from 1: lines N, 2N, ...
    long long badParityEvery = 0;
    long long lineFeedEvery = 0;
    long long garbageEvery = 0;
    int garbageLength = 1000;
    long long silenceMs = 0;
    long long silenceAfter = 0;  // once, after this line
    long long silenceEvery = 0;  // after every this many lines

    bool fast = false;
    long long count = 0;       // lines to send; 0: no limit
    long long durationMs = 0;  // wall-clock limit; 0: none
};

struct ParseResult {
    enum Outcome { Run, Help, Error };
    Outcome outcome = Run;
    std::string error;       // for Error: one sentence, no program name
    bool showUsage = false;  // for Error: the usage text helps (unknown option)
    SimConfig config;
};

// args excludes the program name.
ParseResult ParseOptions(const std::vector<std::string>& args);

extern const char kUsage[];

// Makes up the successive values of one channel.
class CChannelGenerator {
public:
    CChannelGenerator() = default;
    CChannelGenerator(const ValueSource& source, std::uint64_t seed, LineForm form);
    double Next();

private:
    double NextUniform();  // [0, 1)

    ValueSource m_source;
    long long m_nStep = 0;     // ramp: lines of this channel so far
    long long m_nRampValues = 1;
    double m_dWalk = 0;
    double m_dLow = 0, m_dHigh = 0;  // walk: clamped to these
    std::uint64_t m_nRandom = 0;
};

struct SimChunk {
    enum Kind { Line, Garbage };
    Kind kind = Line;
    std::vector<unsigned char> bytes;
    long long pauseMs = 0;  // after writing the bytes, before the next chunk
    // For a line: what it says (before any fault), and what was done to it.
    InstrumentReading reading;
    long long lineNumber = 0;   // from 1
    int badParityPosition = 0;  // 0: none
    bool lineFeed = false;
};

// The byte stream the simulator sends, chunk by chunk.
class CSchedule {
public:
    explicit CSchedule(const SimConfig& config);
    // False when the configured number of lines has been sent.
    bool Next(SimChunk& chunk);

private:
    long long PauseFor(std::size_t bytes) const;
    void MakeLine(SimChunk& chunk);

    SimConfig m_config;
    CChannelGenerator m_generators[kChannels];
    long long m_nLines = 0;         // lines handed out so far
    bool m_bGarbageSent = false;    // the garbage before line m_nLines + 1
    long long m_nBadLines = 0;      // lines given bad parity so far
};

}  // namespace qm487sim
