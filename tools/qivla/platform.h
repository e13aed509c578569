// What the tool reports about the machine and the module: the instruction set
// the module's kernels choose, the exported functions of the module file, and
// whether standard output is a terminal.
#pragma once

#include <string>
#include <vector>

namespace qivla {

// The module's rule for its fast kernels: AVX-512F if the processor (and the
// operating system) support it, else AVX2, else the baseline code.
std::string kernel_isa();

// The names of the functions a shared module exports, read from its dynamic
// symbol table (ELF). Empty with *error set when the file cannot be read.
std::vector<std::string> exported_functions(const std::string& path, std::string* error);

bool stdout_is_terminal();

}  // namespace qivla
