// The module's exported entry points. Each public export forwards its
// arguments unchanged to the routine of the same name and returns when it does.
#include <type_traits>

#include "eigen/eigen.h"
#include "lu/lu.h"
#include "qivlapackdll2.h"

// On Windows the module definition file names the exports; elsewhere only
// these functions get default visibility, everything else is hidden.
#if defined(_WIN32)
#define QIV_EXPORT extern "C"
#else
#define QIV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QIV_EXPORT void qivcppdlltemplate_exportedtestfn(void) {}

QIV_EXPORT void qivlapackdll2_zgetrf(const int* m, const int* n, qivlapackdll2_complex* a,
                                     const int* lda, int* ipiv, int* info) {
    qiv::ZGETRF(m, n, qiv::internal(a), lda, ipiv, info);
}

QIV_EXPORT void qivlapackdll2_zgesv(const int* n, const int* nrhs, qivlapackdll2_complex* a,
                                    const int* lda, int* ipiv, qivlapackdll2_complex* b,
                                    const int* ldb, int* info) {
    qiv::ZGESV(n, nrhs, qiv::internal(a), lda, ipiv, qiv::internal(b), ldb, info);
}

// The option letters' trailing lengths, when a host passes them, follow the 14
// explicit arguments; ZGEEV never reads them, so the forwarder does not either.
QIV_EXPORT void qivlapackdll2_zgeev(const char* jobvl, const char* jobvr, const int* n,
                                    qivlapackdll2_complex* a, const int* lda,
                                    qivlapackdll2_complex* w, qivlapackdll2_complex* vl,
                                    const int* ldvl, qivlapackdll2_complex* vr, const int* ldvr,
                                    qivlapackdll2_complex* work, const int* lwork, double* rwork,
                                    int* info) {
    qiv::ZGEEV(jobvl, jobvr, n, qiv::internal(a), lda, qiv::internal(w), qiv::internal(vl), ldvl,
               qiv::internal(vr), ldvr, qiv::internal(work), lwork, rwork, info);
}

// The header's function-pointer types, which hosts use with dlsym and
// GetProcAddress, are exactly the types of the exports.
static_assert(std::is_same_v<decltype(&qivcppdlltemplate_exportedtestfn),
                             qivcppdlltemplate_exportedtestfn_fn>);
static_assert(std::is_same_v<decltype(&qivlapackdll2_zgetrf), qivlapackdll2_zgetrf_fn>);
static_assert(std::is_same_v<decltype(&qivlapackdll2_zgesv), qivlapackdll2_zgesv_fn>);
static_assert(std::is_same_v<decltype(&qivlapackdll2_zgeev), qivlapackdll2_zgeev_fn>);
