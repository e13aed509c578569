/*
 * qivlapackdll2 — dense complex linear algebra in one self-contained module.
 *
 * Calling convention (every export):
 *  - every argument is passed by address; integers are 32-bit signed;
 *  - a complex element is two IEEE binary64 values, real part first (16 bytes,
 *    binary64 alignment is enough);
 *  - matrices are stored by columns: element (i, j), counted from 1, lies
 *    (i-1) + (j-1)*LDx elements after the first, with LDx the leading dimension;
 *  - results come back through the arguments; INFO = 0 is success, -i an
 *    illegal argument i (reported on standard output, then the process ends
 *    with status 0), a positive value a numerical condition of the routine;
 *  - option letters are read by their first character only, case-insensitively;
 *  - each character argument may be followed, after all explicit arguments, by
 *    its length as an unsigned 64-bit value passed by value; the lengths are
 *    optional and never needed.
 */
#ifndef QIVLAPACKDLL2_H
#define QIVLAPACKDLL2_H

#ifdef __cplusplus
extern "C" {
#endif

/* One complex binary64 element: real part, then imaginary part. */
typedef struct qivlapackdll2_complex {
    double re;
    double im;
} qivlapackdll2_complex;

/* Does nothing; lets a host check that the module loads and binds. */
void qivcppdlltemplate_exportedtestfn(void);

/* LU factorisation with partial pivoting of the M-by-N matrix A:
 * A = P*L*U. IPIV has min(M, N) entries. INFO = k > 0: U(k,k) is exactly zero. */
void qivlapackdll2_zgetrf(const int* m, const int* n, qivlapackdll2_complex* a, const int* lda,
                          int* ipiv, int* info);

/* Solves A*X = B for the N-by-N matrix A and NRHS right-hand sides in B.
 * On return A holds its LU factors and B the solution (when INFO = 0). */
void qivlapackdll2_zgesv(const int* n, const int* nrhs, qivlapackdll2_complex* a, const int* lda,
                         int* ipiv, qivlapackdll2_complex* b, const int* ldb, int* info);

/* All eigenvalues of the general N-by-N matrix A in W and, on request, the
 * left (JOBVL = "V") and right (JOBVR = "V") eigenvectors in the columns of VL
 * and VR: A*v = w*v and u^H*A = w*u^H, each vector of Euclidean norm 1 with
 * its component of largest modulus real and positive. JOBVL, JOBVR: "N" or
 * "V". LDVL, LDVR >= 1, and >= N when the vectors are asked for. WORK has
 * LWORK >= max(1, 2N) elements (LWORK = -1 returns the optimal length in
 * WORK[0] and computes nothing); RWORK has 2N elements. A is overwritten.
 * INFO = i > 0: the QR algorithm failed; W[i..N-1] hold the eigenvalues that
 * converged and no vectors are computed. */
void qivlapackdll2_zgeev(const char* jobvl, const char* jobvr, const int* n,
                         qivlapackdll2_complex* a, const int* lda, qivlapackdll2_complex* w,
                         qivlapackdll2_complex* vl, const int* ldvl, qivlapackdll2_complex* vr,
                         const int* ldvr, qivlapackdll2_complex* work, const int* lwork,
                         double* rwork, int* info);

/* The types of the exports as function pointers, for hosts that bind them at
 * run time by name (dlsym, GetProcAddress):
 *     qivlapackdll2_zgesv_fn zgesv =
 *         (qivlapackdll2_zgesv_fn)dlsym(handle, "qivlapackdll2_zgesv"); */
typedef void (*qivcppdlltemplate_exportedtestfn_fn)(void);
typedef void (*qivlapackdll2_zgetrf_fn)(const int* m, const int* n, qivlapackdll2_complex* a,
                                        const int* lda, int* ipiv, int* info);
typedef void (*qivlapackdll2_zgesv_fn)(const int* n, const int* nrhs, qivlapackdll2_complex* a,
                                       const int* lda, int* ipiv, qivlapackdll2_complex* b,
                                       const int* ldb, int* info);
typedef void (*qivlapackdll2_zgeev_fn)(const char* jobvl, const char* jobvr, const int* n,
                                       qivlapackdll2_complex* a, const int* lda,
                                       qivlapackdll2_complex* w, qivlapackdll2_complex* vl,
                                       const int* ldvl, qivlapackdll2_complex* vr, const int* ldvr,
                                       qivlapackdll2_complex* work, const int* lwork, double* rwork,
                                       int* info);

#ifdef __cplusplus
}
#endif

#endif /* QIVLAPACKDLL2_H */
