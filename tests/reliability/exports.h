// The module's exports as the reliability harnesses drive them. Every harness
// that calls the exports walks export_table(), so a new export is covered by
// every one of them once its entry is in that table (exports.cpp).
#pragma once

#include <vector>

#include "reliability/harness.h"

namespace reltest {

struct ExportEntry {
    const char* symbol;  // the exported name
    // The call of order n through the export at fn. With rng the other
    // dimensions and options are drawn; without it the export's usual shape
    // (square, a few right-hand sides, every output requested).
    Call (*make)(void* fn, int n, Rng* rng);
};

// The exports every harness covers.
const std::vector<ExportEntry>& export_table();

// The entry of qivlapackdll2_zgeev (in the table).
ExportEntry zgeev_entry();

}  // namespace reltest
