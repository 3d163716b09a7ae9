// Exports of the chart viewer: the records of a time range as CSV (the
// columns and texts of `qm487-kvf csv`) and a picture as PNG.
#pragma once

#include "viewer/kvf_reader.h"

#include <cstdint>
#include <string>

// A sink for KvfReader that keeps, as CSV text, the records whose time lies
// in [t0, t1]: first line time,T,T1,...,T8, then per record the time as
// "YYYY-MM-DD HH:MM:SS" and each channel's value text as stored, empty where
// the record has no group for it. Lines end in "\n" as qm487-kvf writes them
// to a file. Text() grows until TakeText() hands it over, so a large
// export can be written out piece by piece.
class KvfCsvExport : public KvfSink {
public:
    KvfCsvExport(double t0, double t1, char separator = ',');
    void OnRecord(const KvfRecord& record) override;
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override;

    std::string TakeText();
    std::uint64_t Rows() const { return m_nRows; }
    std::uint64_t Damaged() const { return m_nDamaged; }

private:
    double m_t0, m_t1;
    char m_separator;
    std::string m_text;
    std::uint64_t m_nRows;
    std::uint64_t m_nDamaged;
};

// A PNG file of 8-bit RGB pixels; rgb holds width * height pixels as
// 0x00RRGGBB, rows top to bottom. The image data goes into stored
// (uncompressed) deflate blocks: bigger than a packer's output, but exact and small code.
std::string EncodePng(int width, int height, const std::uint32_t* rgb);

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const void* data, std::size_t size, std::uint32_t adler = 1);
