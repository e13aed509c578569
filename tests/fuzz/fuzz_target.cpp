// The libFuzzer entry: each input is one call of one export (fuzz_exports.h).
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_exports.h"

namespace {

void report() {
    std::fprintf(stderr,
                 "qiv_fuzz: %zu predictions of illegal-argument reports confirmed by the "
                 "replayer, %zu further illegal calls predicted and skipped, %zu replays "
                 "run twice\n",
                 qivfuzz::confirmed_predictions(), qivfuzz::skipped_predictions(),
                 qivfuzz::retried_replays());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit(report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qivfuzz::run_input(data, size, false);
    return 0;
}
