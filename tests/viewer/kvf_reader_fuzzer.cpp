// libFuzzer entry: build with clang and -DQM487_FUZZ=ON, then run
// kvf_reader_fuzzer [corpus folder] -max_total_time=N.
#include "kvf_fuzz_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const char* fault = kvftest::CheckReaderOn(data, size)) {
        std::fprintf(stderr, "kvf reader: %s\n", fault);
        std::abort();
    }
    return 0;
}
