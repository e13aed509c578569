// Fuzzing of the module's exports. One input decodes into one call of one
// export: dimensions, leading dimensions, option letters and matrix contents,
// legal or not. Shared by the fuzzer (libFuzzer) and the replayer, a plain
// program that runs one input on its standard input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qivfuzz {

// Decodes and runs one input. A legal call is made and its results checked
// (INFO within its documented range and consistent with the factors, pivots
// in range, untouched padding, residuals for moderate data); any
// inconsistency aborts with a description. For a call with an illegal
// argument the harness predicts, from the documented order of the checks,
// which argument the report names. With execute_illegal (the replayer) such
// a call is made, and its report ends the process. Otherwise (the fuzzer) it
// is not made here: for a sample of inputs, and the first time each export
// and argument position comes up, the replayer runs the input in a child
// process, which must print exactly the predicted line and exit with status
// 0.
void run_input(const std::uint8_t* data, std::size_t size, bool execute_illegal);

// How many predictions the replayer confirmed, and how many illegal calls
// were skipped unchecked, in this process so far.
std::size_t confirmed_predictions();
std::size_t skipped_predictions();
// How many replays ended by a signal before any output and were run again.
std::size_t retried_replays();

}  // namespace qivfuzz
