// qm487-decode: decodes bytes captured from the instrument's serial line with
// the program's own line assembly and decoder, one output line per line.
#include "instrument/line_assembly.h"
#include "tools/utf8_arguments.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <cstdlib>

#ifdef _WIN32
#include "tools/decode_port_win.h"

#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char kUsage[] =
    "usage: qm487-decode [FILE]\n"
#ifdef _WIN32
    "       qm487-decode --port N [--seconds S]\n"
#endif
    "\n"
    "Decodes raw bytes captured from the QM487's serial line (FILE, or standard\n"
    "input when FILE is missing or \"-\") exactly as the program does, and prints\n"
    "one line per received line: accepted lines with channel, value at their\n"
    "resolution, the value-error and calibration-error flags and the serial\n"
    "number; rejected lines with the reason and their bytes in hexadecimal.\n"
#ifdef _WIN32
    "\n"
    "  --port N     decode live from COMN (300 baud, 7 data bits, no parity,\n"
    "               1 stop bit) through the program's serial driver\n"
    "  --seconds S  with --port: stop after S seconds (default: at Ctrl-C)\n"
#else
    "A serial device can be read directly once it is set to the instrument's\n"
    "line settings: stty -F /dev/ttyUSB0 300 cs7 -parenb -cstopb raw; qm487-decode /dev/ttyUSB0\n"
#endif
    "Exit status: 0 when every line was accepted, 1 when any was rejected or\n"
    "dropped, 2 on a usage or file error.\n";

std::string Hex(const unsigned char* bytes, int n) {
    std::string s;
    char b[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

class Printer : public CLineAssembly::Host {
public:
    int lines = 0, accepted = 0, rejected = 0, dropped = 0;
    CLineAssembly assembly{*this};

    UINT_PTR SetTimer(UINT_PTR id, UINT) override { return id; }
    void KillTimer(UINT_PTR) override {}
    void SetLastChannel(int) override {}

    void ApplyReading(BOOL ok) override {
        ++lines;
        const CLineDecoder& d = assembly.Decoder();
        const int n = d.m_nLength;
        if (ok) {
            ++accepted;
            const int ch = d.m_nChannel;
            std::printf("%5d accepted  channel %d  value %.*f  value-error %d  calibration-error %d  "
                        "serial %d (0x%04X)\n",
                        lines, ch, d.m_bFine ? 2 : 1, d.m_dValues[ch], d.m_bValueError[ch] ? 1 : 0,
                        d.m_bCalibrationError[ch] ? 1 : 0, d.m_nSerialNumber,
                        static_cast<unsigned>(d.m_nSerialNumber) & 0xFFFF);
        } else {
            ++rejected;
            const std::string why = LineRejectionReason(assembly.LineBuffer(), n);
            std::printf("%5d rejected  %s  (%d bytes) %s\n", lines, why.c_str(), n,
                        Hex(assembly.LineBuffer(), n).c_str());
        }
    }

    void Feed(unsigned char b) {
        const int before = lines;
        if (assembly.LineLength() == CLineAssembly::kBufferSize - 1) {
            ++dropped;
            std::printf("      dropped   %d bytes without carriage return, and the next byte %02X\n",
                        CLineAssembly::kBufferSize - 1, b);
        }
        assembly.OnPortChar(b);
        // Flushed per line so that a live link reads well through a pipe too.
        if (lines != before)
            std::fflush(stdout);
    }
};

#ifdef _WIN32
// A whole decimal number in [min, max], or -1.
long ParseNumber(const char* text, long min, long max) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < min || v > max) return -1;
    return v;
}
#endif

void Summary(const Printer& p) {
    std::printf("%d lines: %d accepted, %d rejected\n", p.lines, p.accepted, p.rejected);
}

}  // namespace

int main(int argcNarrow, char** argvNarrow) {
    const CUtf8Arguments args(argcNarrow, argvNarrow);
    const int argc = args.Count();
    const char* const* argv = args.Get();
    const char* path = nullptr;
#ifdef _WIN32
    long port = 0, seconds = 0;
#endif
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
#ifdef _WIN32
        if (!std::strcmp(argv[i], "--port") || !std::strcmp(argv[i], "--seconds")) {
            const bool isPort = argv[i][2] == 'p';
            const long v = i + 1 < argc ? ParseNumber(argv[i + 1], isPort ? 1 : 0, isPort ? 255 : 86400) : -1;
            if (v < 0) {
                std::fprintf(stderr, "qm487-decode: %s needs a number (%s)\n", argv[i],
                             isPort ? "1 to 255" : "0 to 86400");
                return 2;
            }
            (isPort ? port : seconds) = v;
            ++i;
            continue;
        }
#endif
        if (argv[i][0] == '-' && argv[i][1] != 0) {
            std::fprintf(stderr, "qm487-decode: unknown option %s\n\n%s", argv[i], kUsage);
            return 2;
        }
        if (path) {
            std::fprintf(stderr, "qm487-decode: only one file may be given\n\n%s", kUsage);
            return 2;
        }
        path = argv[i];
    }

    Printer p;
#ifdef _WIN32
    if (port) {
        if (path) {
            std::fprintf(stderr, "qm487-decode: give a file or --port, not both\n");
            return 2;
        }
        const int rc = DecodeFromPort(static_cast<int>(port), static_cast<int>(seconds),
                                      [&p](unsigned char b) { p.Feed(b); });
        if (rc) return rc;
        Summary(p);
        return p.rejected || p.dropped ? 1 : 0;
    }
#endif

    FILE* in = stdin;
    if (path && std::strcmp(path, "-") != 0) {
        in = OpenUtf8File(path, "rb");
        if (!in) {
            std::fprintf(stderr, "qm487-decode: cannot read %s: %s\n", path, std::strerror(errno));
            return 2;
        }
    } else {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
    }

    int c;
    while ((c = std::fgetc(in)) != EOF)
        p.Feed(static_cast<unsigned char>(c));
    const bool readError = std::ferror(in) != 0;
    if (in != stdin)
        std::fclose(in);

    if (p.assembly.LineLength() > 0)
        std::printf("      incomplete %d bytes at the end, no carriage return: %s\n",
                    p.assembly.LineLength(),
                    Hex(p.assembly.LineBuffer(), p.assembly.LineLength()).c_str());
    Summary(p);
    if (readError) {
        std::fprintf(stderr, "qm487-decode: read error\n");
        return 2;
    }
    return p.rejected || p.dropped ? 1 : 0;
}
