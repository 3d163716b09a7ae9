#include "viewer/chart_export.h"

#include "recording/report_file.h"

#include <algorithm>
#include <array>

std::string CsvHeader(const CsvFormat& format) {
    std::string text = "time";
    for (int c = 0; c < kKvfChannels; ++c) {
        text += format.separator;
        text += format.strLabel[c].empty() ? KvfChannelName(c) : CsvField(format.strLabel[c], format.separator);
    }
    return text + '\n';
}

void AppendCsvRow(std::string& text, const KvfRecord& record, int offset, const CsvFormat& format) {
    std::string time = FormatKvfTime(record);
    if (format.bIsoTime) {
        time[10] = 'T';
        time += FormatIsoOffset(offset);
    }
    text += time;
    for (int c = 0; c < kKvfChannels; ++c) {
        text += format.separator;
        if (!record.Has(c))
            continue;
        const std::size_t at = text.size();
        text += record.text[c];
        if (format.bDecimalComma)
            std::replace(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), '.', ',');
    }
    text += '\n';
}

KvfCsvExport::KvfCsvExport(double t0, double t1, const ZoneRules& rules, const CsvFormat& format)
    : m_t0(t0), m_t1(t1), m_timeline(rules), m_format(format), m_text(CsvHeader(format)), m_nRows(0), m_nDamaged(0) {}

void KvfCsvExport::OnRecord(const KvfRecord& record) {
    const std::int64_t axis = m_timeline.Place(record.Seconds());
    const double t = static_cast<double>(axis);
    if (t >= m_t0 && t <= m_t1)
        m_waiting.emplace_back(axis, record);
    // An hour of records a second at most, unless the file repeats one time over and over.
    if (!m_timeline.Undecided() || m_waiting.size() > 3600)
        Finish();
}

void KvfCsvExport::Finish() {
    for (const auto& row : m_waiting)
        AppendCsvRow(m_text, row.second, m_timeline.OffsetAt(row.first), m_format);
    m_nRows += m_waiting.size();
    m_waiting.clear();
}

void KvfCsvExport::OnDamage(std::uint64_t, std::uint64_t, const char*) { ++m_nDamaged; }

std::string KvfCsvExport::TakeText() {
    std::string text;
    text.swap(m_text);
    return text;
}

namespace {

void Put32(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
    Put32(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    Put32(out, Crc32(body.data(), body.size()));
}

}  // namespace

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
    // Built once, thread-safely, on first use.
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    const unsigned char* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(const void* data, std::size_t size, std::uint32_t adler) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
    for (std::size_t i = 0; i < size; ++i) {
        a = (a + p[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

std::string EncodePng(int width, int height, const std::uint32_t* rgb) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    Put32(header, static_cast<std::uint32_t>(width));
    Put32(header, static_cast<std::uint32_t>(height));
    header += '\x08';  // bit depth
    header += '\x02';  // colour type: RGB
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
    Chunk(png, "IHDR", header);

    // Raw scanlines, each led by filter type 0 (none).
    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        const std::uint32_t* row = rgb + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            raw += static_cast<char>(row[x] >> 16);
            raw += static_cast<char>(row[x] >> 8);
            raw += static_cast<char>(row[x]);
        }
    }
    // zlib stream: header, stored blocks of at most 65535 bytes, Adler-32.
    std::string z("\x78\x01", 2);
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    Put32(z, Adler32(raw.data(), raw.size()));
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", std::string());
    return png;
}
