// A small reader for Harwell-Boeing files of assembled real matrices (types
// RUA, RSA, ...): the column-compressed pattern and values, and the matrix as
// a dense complex array with zero imaginary parts.
#pragma once

#include <string>
#include <vector>

#include "frame/types.h"

namespace qivtest {

struct HbMatrix {
    std::string title, key, type;
    int nrow = 0, ncol = 0, nnz = 0;
    std::vector<int> colptr;     // ncol + 1 entries, 1-based
    std::vector<int> rowind;     // nnz entries, 1-based
    std::vector<double> values;  // nnz entries
};

// Reads the file at path. Returns false and sets *error when the file cannot
// be read or does not follow the format. Fields are read by the fixed widths
// of the format line; exponents may use D, d, E or e, or be written with the
// sign alone (0.5-100).
bool read_hb(const std::string& path, HbMatrix* out, std::string* error);

// The matrix as a column-major complex array with leading dimension ld >=
// nrow; entries outside the pattern are zero, duplicates are summed.
std::vector<qiv::zcomplex> hb_dense(const HbMatrix& m, int ld);

// Path of a file in the tests' data folder (tests/data).
std::string test_data_file(const char* name);

}  // namespace qivtest
