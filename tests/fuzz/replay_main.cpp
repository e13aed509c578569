// Runs one fuzzer input read from standard input, making calls with illegal
// arguments as well: the fuzzer checks their reports through this program,
// and a saved input can be replayed with it (qiv_fuzz_replay < input).
#include <unistd.h>

#include <vector>

#include "fuzz/fuzz_exports.h"

// The error handler ends the process from inside a call, with the caller's
// arrays still alive: not a leak.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main() {
    std::vector<std::uint8_t> data;
    std::uint8_t buf[4096];
    ssize_t got;
    while ((got = read(STDIN_FILENO, buf, sizeof buf)) > 0) data.insert(data.end(), buf, buf + got);
    qivfuzz::run_input(data.data(), data.size(), true);
    return 0;
}
