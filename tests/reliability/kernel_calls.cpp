#include "reliability/kernel_calls.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "frame/complex.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/engines/trmat/engine.h"
#include "kernels/gemm.h"
#include "kernels/matvec.h"
#include "kernels/trmat.h"

namespace reltest {

namespace {

using qiv::zcomplex;

zcomplex* zp(void* p) { return static_cast<zcomplex*>(p); }

const char* const kTrans[] = {"N", "T", "C"};

template <class Op>
Op op_of(const char* t) {
    return t[0] == 'N' ? Op::none : t[0] == 'T' ? Op::trans : Op::conj;
}

std::string prefix(const KernelTarget& t, const char* routine) {
    return std::string(routine) + " (" + t.name + ")";
}

// A scalar for call number k: one, zero where the form allows it, or random.
zcomplex pick(Rng& rng, int k, bool zero_allowed) {
    switch (k % 3) {
        case 0:
            return qiv::zc(1.0);
        case 1:
            if (zero_allowed) return qiv::zc(0.0);
            [[fallthrough]];
        default:
            return rng.z();
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A triangular operand of order n: the referenced triangle well scaled (a
// dominant diagonal, off-diagonal elements divided by n, so that solves stay
// finite), NaN in the other triangle and, for a unit diagonal, on it.
void shape_triangle(zcomplex* a, int ld, int n, bool upper, bool unit) {
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            zcomplex& e = a[qiv::at(i, j, ld)];
            if (i == j)
                e = unit ? qiv::zc(kNaN, kNaN) : qiv::zc(2.0 + e.re, e.im);
            else if ((i < j) == upper)
                e = qiv::scale(1.0 / n, e);
            else
                e = qiv::zc(kNaN, kNaN);
        }
}

// Empty when none of the rows x cols elements at b (stride ld between
// columns, inc between rows) is NaN.
std::string no_nan(const zcomplex* b, int rows, int cols, std::int64_t ld, std::int64_t inc) {
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i) {
            const zcomplex e = b[i * inc + j * ld];
            if (std::isnan(e.re) || std::isnan(e.im))
                return "NaN from an element that is not referenced reached the result at (" +
                       std::to_string(i + 1) + ", " + std::to_string(j + 1) + ")";
        }
    return {};
}

}  // namespace

std::vector<KernelTarget> kernel_targets() {
    std::vector<KernelTarget> t = {{true, qiv::best_isa(), "routine"}};
    for (const qiv::Isa isa : qiv::all_isas)
        if (qiv::isa_supported(isa))
            t.push_back({false, isa, std::string("engine ") + qiv::isa_name(isa)});
    return t;
}

std::vector<Call> gemm_calls(const KernelTarget& t, const std::vector<std::array<int, 3>>& mnk,
                             std::uint64_t seed) {
    std::vector<Call> calls;
    Rng rng(seed);
    int k_call = 0;
    for (const auto& [m, n, k] : mnk)
        for (const char* ta : kTrans)
            for (const char* tb : kTrans) {
                // Empty products reach only the routine (its quick returns).
                if (!t.routine && (m == 0 || n == 0 || k == 0)) continue;
                const bool nota = ta[0] == 'N', notb = tb[0] == 'N';
                const zcomplex alpha = rng.z(), beta = pick(rng, k_call++, true);
                Call c;
                c.label = prefix(t, "ZGEMM") + " TRANSA=" + ta + " TRANSB=" + tb +
                          " M=" + std::to_string(m) + " N=" + std::to_string(n) +
                          " K=" + std::to_string(k);
                c.arrays = {{"A", Elem::complex, nota ? m : k, nota ? k : m, true, true},
                            {"B", Elem::complex, notb ? k : n, notb ? n : k, true, true},
                            {"C", Elem::complex, m, n, true, true}};
                c.run = [=](void* const* p, const int* ld) {
                    if (t.routine) {
                        qiv::ZGEMM(ta, tb, &m, &n, &k, &alpha, zp(p[0]), &ld[0], zp(p[1]), &ld[1],
                                   &beta, zp(p[2]), &ld[2]);
                    } else {
                        const qiv::GemmArgs g{op_of<qiv::GemmOp>(ta),
                                              op_of<qiv::GemmOp>(tb),
                                              m,
                                              n,
                                              k,
                                              alpha,
                                              zp(p[0]),
                                              ld[0],
                                              zp(p[1]),
                                              ld[1],
                                              beta,
                                              zp(p[2]),
                                              ld[2]};
                        qiv::gemm_engine(t.isa, g);
                    }
                    return 0;
                };
                calls.push_back(std::move(c));
            }
    return calls;
}

std::vector<Call> trmat_calls(const KernelTarget& t, const std::vector<std::array<int, 2>>& mn,
                              std::uint64_t seed) {
    std::vector<Call> calls;
    Rng rng(seed);
    int k_call = 0;
    for (const auto& [m, n] : mn)
        for (const bool solve : {true, false})
            for (const char* side : {"L", "R"})
                for (const char* uplo : {"U", "L"})
                    for (const char* trans : kTrans)
                        for (const char* diag : {"N", "U"}) {
                            if (!t.routine && (m == 0 || n == 0)) continue;
                            const bool left = side[0] == 'L', upper = uplo[0] == 'U';
                            const bool unit = diag[0] == 'U';
                            const int na = left ? m : n;
                            const zcomplex alpha = pick(rng, k_call++, false);
                            Call c;
                            c.label = prefix(t, solve ? "ZTRSM" : "ZTRMM") + " SIDE=" + side +
                                      " UPLO=" + uplo + " TRANSA=" + trans + " DIAG=" + diag +
                                      " M=" + std::to_string(m) + " N=" + std::to_string(n);
                            c.arrays = {{"A", Elem::complex, na, na, true, true},
                                        {"B", Elem::complex, m, n, true, true}};
                            c.prepare = [=](void* const* p, const int* ld) {
                                shape_triangle(zp(p[0]), ld[0], na, upper, unit);
                            };
                            c.verify = [=](void* const* p, const int* ld) {
                                return no_nan(zp(p[1]), m, n, ld[1], 1);
                            };
                            c.run = [=](void* const* p, const int* ld) {
                                if (t.routine) {
                                    (solve ? qiv::ZTRSM : qiv::ZTRMM)(side, uplo, trans, diag, &m,
                                                                      &n, &alpha, zp(p[0]), &ld[0],
                                                                      zp(p[1]), &ld[1]);
                                } else {
                                    const qiv::TrmatArgs g{
                                        left,     upper,    op_of<qiv::TrOp>(trans),
                                        unit,     m,        n,
                                        alpha,    zp(p[0]), ld[0],
                                        zp(p[1]), ld[1]};
                                    if (solve) {
                                        qiv::trsm_engine(t.isa, g);
                                    } else {
                                        qiv::trmm_engine(t.isa, g);
                                    }
                                }
                                return 0;
                            };
                            calls.push_back(std::move(c));
                        }
    return calls;
}

std::vector<Call> level2_calls(const KernelTarget& t, const std::vector<std::array<int, 2>>& mn,
                               std::uint64_t seed) {
    std::vector<Call> calls;
    Rng rng(seed);
    int k_call = 0;
    for (const auto& [m, n] : mn) {
        if (!t.routine && (m == 0 || n == 0)) continue;
        // ZGEMV, each TRANS.
        for (const char* trans : kTrans) {
            const int kc = k_call++;
            const bool nt = trans[0] == 'N';
            const int lenx = nt ? n : m, leny = nt ? m : n;
            const int sx = kc % 2 ? -1 : 1, sy = kc / 2 % 2 ? -1 : 1;
            const zcomplex alpha = rng.z(), beta = pick(rng, kc, true);
            Call c;
            c.label = prefix(t, "ZGEMV") + " TRANS=" + trans + " M=" + std::to_string(m) +
                      " N=" + std::to_string(n) + (sx < 0 ? " INCX<0" : "") +
                      (sy < 0 ? " INCY<0" : "");
            c.arrays = {{"A", Elem::complex, m, n, true, true},
                        {"X", Elem::complex, 1, lenx, true, true},
                        {"Y", Elem::complex, 1, leny, true, true}};
            c.run = [=](void* const* p, const int* ld) {
                const int incx = sx * ld[1], incy = sy * ld[2];
                if (t.routine) {
                    qiv::ZGEMV(trans, &m, &n, &alpha, zp(p[0]), &ld[0], zp(p[1]), &incx, &beta,
                               zp(p[2]), &incy);
                } else {
                    const qiv::GemvArgs g{
                        op_of<qiv::MvOp>(trans),
                        m,
                        n,
                        alpha,
                        zp(p[0]),
                        ld[0],
                        qiv::walk(static_cast<const zcomplex*>(zp(p[1])), lenx, incx),
                        beta,
                        qiv::walk(zp(p[2]), leny, incy)};
                    qiv::gemv_engine(t.isa, g);
                }
                return 0;
            };
            calls.push_back(std::move(c));
        }
        // ZGERC.
        {
            const int kc = k_call++;
            const int sx = kc % 2 ? -1 : 1, sy = kc / 2 % 2 ? -1 : 1;
            const zcomplex alpha = rng.z();
            Call c;
            c.label = prefix(t, "ZGERC") + " M=" + std::to_string(m) + " N=" + std::to_string(n) +
                      (sx < 0 ? " INCX<0" : "") + (sy < 0 ? " INCY<0" : "");
            c.arrays = {{"X", Elem::complex, 1, m, true, true},
                        {"Y", Elem::complex, 1, n, true, true},
                        {"A", Elem::complex, m, n, true, true}};
            c.run = [=](void* const* p, const int* ld) {
                const int incx = sx * ld[0], incy = sy * ld[1];
                if (t.routine) {
                    qiv::ZGERC(&m, &n, &alpha, zp(p[0]), &incx, zp(p[1]), &incy, zp(p[2]), &ld[2]);
                } else {
                    const qiv::GercArgs g{
                        m,
                        n,
                        alpha,
                        qiv::walk(static_cast<const zcomplex*>(zp(p[0])), m, incx),
                        qiv::walk(static_cast<const zcomplex*>(zp(p[1])), n, incy),
                        zp(p[2]),
                        ld[2]};
                    qiv::gerc_engine(t.isa, g);
                }
                return 0;
            };
            calls.push_back(std::move(c));
        }
        // ZTRMV and ZTRSV of order m, at most 160: well past their engines'
        // column groups and prefetch distance, and the O(N^2) triangle stays
        // small.
        for (const bool solve : {true, false})
            for (const char* uplo : {"U", "L"})
                for (const char* trans : kTrans)
                    for (const char* diag : {"N", "U"}) {
                        const int kc = k_call++, nn = std::min(m, 160);
                        const int sx = kc % 2 ? -1 : 1;
                        const bool upper = uplo[0] == 'U', unit = diag[0] == 'U';
                        Call c;
                        c.label = prefix(t, solve ? "ZTRSV" : "ZTRMV") + " UPLO=" + uplo +
                                  " TRANS=" + trans + " DIAG=" + diag + " N=" + std::to_string(nn) +
                                  (sx < 0 ? " INCX<0" : "");
                        c.arrays = {{"A", Elem::complex, nn, nn, true, true},
                                    {"X", Elem::complex, 1, nn, true, true}};
                        c.prepare = [=](void* const* p, const int* ld) {
                            shape_triangle(zp(p[0]), ld[0], nn, upper, unit);
                        };
                        c.verify = [=](void* const* p, const int* ld) {
                            return no_nan(zp(p[1]), nn, 1, 0, ld[1]);
                        };
                        c.run = [=](void* const* p, const int* ld) {
                            const int incx = sx * ld[1];
                            if (t.routine) {
                                (solve ? qiv::ZTRSV : qiv::ZTRMV)(uplo, trans, diag, &nn, zp(p[0]),
                                                                  &ld[0], zp(p[1]), &incx);
                            } else {
                                const qiv::TrmvArgs g{
                                    upper, op_of<qiv::MvOp>(trans),      unit, nn, zp(p[0]),
                                    ld[0], qiv::walk(zp(p[1]), nn, incx)};
                                (solve ? qiv::trsv_engine : qiv::trmv_engine)(t.isa, g);
                            }
                            return 0;
                        };
                        calls.push_back(std::move(c));
                    }
    }
    return calls;
}

}  // namespace reltest
