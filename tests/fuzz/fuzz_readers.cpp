// The libFuzzer entry for the matrix-file readers of qivla: each input is a
// whole file, read as Matrix Market (QIV_FUZZ_READER=mtx, the default) or
// Harwell-Boeing (hb), plain or gzip-compressed as its bytes say. Whatever
// the bytes, the reader must end in a matrix or a FileError within its
// memory limit; a matrix it returns must survive writing in both formats and
// reading back bit for bit (the writers check that themselves and throw if
// not, which ends the run here).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "matrix_file.h"

namespace {

std::string scratch(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/qiv_fuzz_" + std::to_string(getpid()) + name;
}

const std::string& input_path() {
    static const std::string path = [] {
        const char* r = std::getenv("QIV_FUZZ_READER");
        const bool hb = r && std::string(r) == "hb";
        return scratch(hb ? "_in.rua" : "_in.mtx");
    }();
    return path;
}

void remove_scratch() {
    for (const char* n : {"_in.rua", "_in.mtx", "_out.mtx", "_out.cua"})
        std::remove(scratch(n).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit(remove_scratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(input_path().c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    qivla::MatrixFile m;
    try {
        // 64 MiB: a small input may describe a large matrix, but not make the
        // reader take more than this.
        m = qivla::read_matrix(input_path(), std::uint64_t(64) << 20);
    } catch (const qivla::FileError&) {
        return 0;
    }
    if (m.a.size() > (std::size_t(1) << 16)) return 0;  // writing large ones finds nothing new
    try {
        qivla::write_matrix_market(scratch("_out.mtx"), m, size % 2 == 0);
        qivla::write_harwell_boeing(scratch("_out.cua"), m);
    } catch (const qivla::FileError& e) {
        std::fprintf(stderr, "a matrix that was read could not be written back: %s\n", e.what());
        std::abort();
    }
    return 0;
}
