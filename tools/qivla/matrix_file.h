// Matrix files: Matrix Market (coordinate or array; real, complex, integer or
// pattern; general, symmetric, hermitian or skew-symmetric) and Harwell-Boeing
// (assembled real, complex or pattern matrices), plain or gzip-compressed,
// read into dense column-major complex storage; and writers for both formats.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "text_source.h"

namespace qivla {

using zcomplex = std::complex<double>;

struct MatrixFile {
    std::string path;
    std::string name;         // the Harwell-Boeing key, or the file's name without extensions
    std::string title;        // the Harwell-Boeing title, or the first comment line (may be empty)
    std::string format;       // e.g. "Matrix Market coordinate real general", "Harwell-Boeing RUA"
    bool compressed = false;  // read through gzip
    int rows = 0, cols = 0;
    std::int64_t stored = 0;  // entries the file stores (before symmetric expansion)
    std::vector<zcomplex> a;  // rows x cols, column-major, leading dimension max(1, rows)

    int ld() const { return rows > 1 ? rows : 1; }
    zcomplex& at(int i, int j) {
        return a[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ld()];
    }
    const zcomplex& at(int i, int j) const {
        return a[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ld()];
    }
    std::int64_t nonzeros() const;  // entries of a that are not zero
};

// How much memory a dense matrix may take: QIVLA_MEMORY_LIMIT (bytes) when
// set, otherwise the memory the system reports available.
std::uint64_t memory_available();
std::string format_bytes(double bytes);

enum class FileKind { unknown, matrix_market, harwell_boeing };

// The kind a file name suggests (.mtx; .rua, .cua, .rsa, .hb, .rb ...; a
// trailing .gz is ignored).
FileKind kind_from_name(const std::string& path);

// Reads the file, choosing the format by its first line, and checks it
// completely before returning. max_bytes limits the dense matrix. Throws
// FileError naming the file, the line and what is wrong.
MatrixFile read_matrix(const std::string& path, std::uint64_t max_bytes);

// Writers; a name ending in .gz is written compressed. The matrix is written
// as real when every imaginary part is zero. Throw FileError on failure.
void write_matrix_market(const std::string& path, const MatrixFile& m, bool array = false);
void write_harwell_boeing(const std::string& path, const MatrixFile& m);

// The file's name without its folders and its .gz / format extension.
std::string stem_of(const std::string& path);

}  // namespace qivla
