#include "support/matrix.h"

#include <cmath>

namespace qivtest {

long first_difference(const zcomplex* a, const zcomplex* b, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
        if (!same_bits(a[k], b[k])) return static_cast<long>(k);
    return -1;
}

zcomplex sentinel(std::size_t slot) {
    const std::uint64_t bits = 0x7ff4000000000000ull | (0xBADull << 20) | (slot & 0xfffff);
    double d;
    std::memcpy(&d, &bits, 8);
    return zcomplex{d, -d};
}

namespace {
bool is_sentinel(const zcomplex& z, std::size_t slot) {
    const zcomplex s = sentinel(slot);
    return std::memcmp(&z, &s, sizeof z) == 0;
}
}  // namespace

Padded::Padded(int rows, int cols, int ld, std::uint64_t seed, int margin)
    : rows_(rows), cols_(cols), ld_(ld), margin_(margin) {
    const std::size_t body =
        static_cast<std::size_t>(ld) * static_cast<std::size_t>(cols > 0 ? cols : 0);
    buf_.resize(body + 2 * static_cast<std::size_t>(margin));
    for (std::size_t k = 0; k < buf_.size(); ++k) buf_[k] = sentinel(k);
    Rng rng(seed);
    for (int j = 1; j <= cols; ++j)
        for (int i = 1; i <= rows; ++i) (*this)(i, j) = rng.z();
}

bool Padded::sentinels_intact() const {
    for (std::size_t k = 0; k < buf_.size(); ++k) {
        const long off = static_cast<long>(k) - margin_;
        bool inside = false;
        if (off >= 0 && ld_ > 0) {
            const long j = off / ld_, i = off % ld_;
            inside = j < cols_ && i < rows_;
        }
        if (!inside && !is_sentinel(buf_[k], k)) return false;
    }
    return true;
}

std::vector<zcomplex> Padded::block() const {
    std::vector<zcomplex> out;
    for (int j = 1; j <= cols_; ++j)
        for (int i = 1; i <= rows_; ++i) out.push_back((*this)(i, j));
    return out;
}

double max_abs1(const zcomplex* a, int m, int n, int ld) {
    double v = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) {
            const zcomplex z = a[i + static_cast<std::ptrdiff_t>(j) * ld];
            v = std::fmax(v, std::fabs(z.re) + std::fabs(z.im));
        }
    return v;
}

double norm1(const zcomplex* a, int m, int n, int ld) {
    double v = 0;
    for (int j = 0; j < n; ++j) {
        double s = 0;
        for (int i = 0; i < m; ++i) {
            const zcomplex z = a[i + static_cast<std::ptrdiff_t>(j) * ld];
            s += std::fabs(z.re) + std::fabs(z.im);
        }
        v = std::fmax(v, s);
    }
    return v;
}

}  // namespace qivtest
