// The qivla command line: matrices from files through the qivlapackdll2
// module, loaded at run time like any host loads it.
#pragma once

namespace qivla {

// Exit statuses.
enum Status {
    status_ok = 0,
    status_numerical = 1,  // the module reported a singular matrix or a QR failure
    status_input = 2,      // bad command line, or a file that cannot be used
    status_module = 3      // the module cannot be loaded or bound
};

int run(int argc, char** argv);

}  // namespace qivla
