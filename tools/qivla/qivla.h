// The qivla command line: matrices from files through the qivlapackdll2
// module, loaded at run time like any host loads it.
#pragma once

namespace qivla {

// Runs the program; returns its exit status (see commands/common.h).
int run(int argc, char** argv);

}  // namespace qivla
