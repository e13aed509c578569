// The error handler for illegal arguments, and the INFO helper the checking
// routines share.
#pragma once

#include "frame/types.h"

namespace qiv {

// Writes " ** On entry to NAME parameter number II had an illegal value" to
// standard output, flushes it and ends the process with exit status 0.
// srname is read up to srname_len characters, trailing blanks dropped.
[[noreturn]] void XERBLA(const char* srname, const int* info, charlen srname_len);

// Reports the illegal argument at 1-based position pos for the routine whose
// XERBLA name string is srname (a string literal, blank-padded to six
// characters where the name is shorter). Never returns.
template <std::size_t L>
[[noreturn]] inline void report_illegal(const char (&srname)[L], int pos) {
    XERBLA(srname, &pos, L - 1);
}

// Formats the report line into buf (at least 128 bytes) and returns its length
// without the line end. Split out so the line can be checked without a child
// process.
std::size_t format_xerbla_line(char* buf, const char* srname, int info, charlen srname_len);

}  // namespace qiv
