// libFuzzer's entry point for one target, chosen with WEBJSON_FUZZ_TARGET at compile time.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return WEBJSON_FUZZ_TARGET(data, size);
}
