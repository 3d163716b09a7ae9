// A million mutated logs through the reader: flipped, inserted, lost and
// repeated bytes, cuts and splices of logs the writer made, and bytes that
// mean something in a record. Deterministic, so a failure reproduces; run
// under the sanitizers in the asan build.
#include "kvf_fuzz_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace kvftest;

namespace {

struct Random {
    std::uint64_t state;
    std::uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Next() % n) : 0; }
};

// Bytes that are structure in a record, stored (negated).
char Meaningful(Random& random) {
    static const char plain[] = "0123456789$@,.-122";
    return static_cast<char>(256 - static_cast<unsigned char>(plain[random.Below(sizeof plain - 1)]));
}

void Mutate(std::string& s, const std::vector<std::string>& seeds, Random& random) {
    const int steps = 1 + static_cast<int>(random.Below(4));
    for (int i = 0; i < steps; ++i) {
        const std::size_t at = random.Below(s.size() + 1);
        switch (random.Below(8)) {
        case 0:
            if (at < s.size())
                s[at] = static_cast<char>(s[at] ^ (1 << random.Below(8)));
            break;
        case 1:
            s.insert(at, 1, static_cast<char>(random.Next()));
            break;
        case 2:
            if (at < s.size())
                s.erase(at, 1 + random.Below(8));
            break;
        case 3:
            s.insert(at, 1, Meaningful(random));
            break;
        case 4:
            if (at < s.size())
                s[at] = Meaningful(random);
            break;
        case 5:
            s.resize(at);
            break;
        case 6: {
            const std::string& other = seeds[random.Below(seeds.size())];
            const std::size_t from = random.Below(other.size());
            s.insert(at, other, from, random.Below(other.size() - from + 1));
            break;
        }
        default:
            if (at < s.size())
                s.insert(at, s.substr(at, 1 + random.Below(60)));
            break;
        }
        if (s.size() > 2000)
            s.resize(2000);
    }
}

}  // namespace

TEST(KvfReaderMutations, AMillionMutatedLogsNeitherCrashNorHangNorLoseTrack) {
    std::vector<std::string> seeds = {Log(3), Log(6, 1), Tick(4), Stored("20240229235959$22,-3,31,-0.50,1$"),
                                      Log(2) + Tick(2).substr(0, 17), std::string()};
    Random random{0x9E3779B97F4A7C15ull};
    const int kInputs = 1000000;
    for (int n = 0; n < kInputs; ++n) {
        std::string input = seeds[random.Below(seeds.size())];
        Mutate(input, seeds, random);
        const char* fault =
            CheckReaderOn(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        if (fault) {
            std::string hex;
            for (unsigned char c : input)
                hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
            FAIL() << "input " << n << ": " << fault << "\n" << hex;
        }
    }
}
