#include "reliability/exports.h"

#include <algorithm>
#include <string>

#include "qivlapackdll2.h"

namespace reltest {

namespace {

using cplx = qivlapackdll2_complex;

cplx* z(void* p) { return static_cast<cplx*>(p); }
int* i32(void* p) { return static_cast<int*>(p); }

std::string dims(const char* symbol, std::initializer_list<std::pair<const char*, int>> d) {
    std::string s = symbol;
    for (const auto& [name, v] : d) s += std::string(" ") + name + "=" + std::to_string(v);
    return s;
}

Call zgetrf_call(void* fn, int n, Rng* rng) {
    // M = n rows; N columns near n (wide and tall shapes when drawn).
    const int m = n;
    const int cols = rng ? std::max(1, n + rng->below(n / 2 + 1) - n / 4) : n;
    Call c;
    c.label = dims("qivlapackdll2_zgetrf", {{"M", m}, {"N", cols}});
    c.arrays = {{"A", Elem::complex, m, cols, true, true},
                {"IPIV", Elem::integer, std::min(m, cols), 1, false, false}};
    c.run = [fn, m, cols](void* const* p, const int* ld) {
        int info = -99;
        reinterpret_cast<decltype(&qivlapackdll2_zgetrf)>(fn)(&m, &cols, z(p[0]), &ld[0], i32(p[1]),
                                                              &info);
        return info;
    };
    return c;
}

Call zgesv_call(void* fn, int n, Rng* rng) {
    const int nrhs = rng ? 1 + rng->below(6) : 3;
    Call c;
    c.label = dims("qivlapackdll2_zgesv", {{"N", n}, {"NRHS", nrhs}});
    c.arrays = {{"A", Elem::complex, n, n, true, true},
                {"IPIV", Elem::integer, n, 1, false, false},
                {"B", Elem::complex, n, nrhs, true, true}};
    c.run = [fn, n, nrhs](void* const* p, const int* ld) {
        int info = -99;
        reinterpret_cast<decltype(&qivlapackdll2_zgesv)>(fn)(&n, &nrhs, z(p[0]), &ld[0], i32(p[1]),
                                                             z(p[2]), &ld[2], &info);
        return info;
    };
    return c;
}

// qivlapackdll2_zgeev(JOBVL, JOBVR, N, A, LDA, W, VL, LDVL, VR, LDVR, WORK,
// LWORK, RWORK, INFO).
using ZgeevFn = void(const char*, const char*, const int*, cplx*, const int*, cplx*, cplx*,
                     const int*, cplx*, const int*, cplx*, const int*, double*, int*);

Call zgeev_call(void* fn, int n, Rng* rng) {
    // Drawn: which eigenvectors, and the minimum workspace 2N or a generous
    // one (blocked paths). Usual shape: both sets of vectors, generous work.
    const bool wantvl = rng ? rng->below(2) == 1 : true;
    const bool wantvr = rng ? rng->below(2) == 1 : true;
    const int lwork = rng && rng->below(2) == 0 ? std::max(1, 2 * n) : std::max(1, 200 * n);
    const char jobvl = wantvl ? 'V' : 'N', jobvr = wantvr ? 'V' : 'N';
    Call c;
    c.label = dims("qivlapackdll2_zgeev", {{"N", n}, {"LWORK", lwork}}) + " JOBVL=" + jobvl +
              " JOBVR=" + jobvr;
    // VL and VR describe no element when not requested: the routine must not
    // touch them (a guarded placement gives them an inaccessible address).
    c.arrays = {{"A", Elem::complex, n, n, true, true},
                {"W", Elem::complex, n, 1, false, false},
                {"VL", Elem::complex, wantvl ? n : 0, wantvl ? n : 0, true, false},
                {"VR", Elem::complex, wantvr ? n : 0, wantvr ? n : 0, true, false},
                {"WORK", Elem::complex, lwork, 1, false, false},
                {"RWORK", Elem::real, std::max(1, 2 * n), 1, false, false}};
    c.run = [fn, n, jobvl, jobvr, lwork](void* const* p, const int* ld) {
        int info = -99;
        const char jl[2] = {jobvl, 0}, jr[2] = {jobvr, 0};
        reinterpret_cast<ZgeevFn*>(fn)(jl, jr, &n, z(p[0]), &ld[0], z(p[1]), z(p[2]), &ld[2],
                                       z(p[3]), &ld[3], z(p[4]), &lwork, static_cast<double*>(p[5]),
                                       &info);
        return info;
    };
    return c;
}

}  // namespace

ExportEntry zgeev_entry() { return {"qivlapackdll2_zgeev", zgeev_call}; }

const std::vector<ExportEntry>& export_table() {
    static const std::vector<ExportEntry> table = {
        {"qivlapackdll2_zgetrf", zgetrf_call},
        {"qivlapackdll2_zgesv", zgesv_call},
        zgeev_entry(),
    };
    return table;
}

}  // namespace reltest
