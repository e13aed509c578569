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
void qivlapackdll2_zgetrf(const int* m, const int* n, qivlapackdll2_complex* a,
                                            const int* lda, int* ipiv, int* info);

/* Solves A*X = B for the N-by-N matrix A and NRHS right-hand sides in B.
 * On return A holds its LU factors and B the solution (when INFO = 0). */
void qivlapackdll2_zgesv(const int* n, const int* nrhs, qivlapackdll2_complex* a,
                                           const int* lda, int* ipiv, qivlapackdll2_complex* b,
                                           const int* ldb, int* info);

#ifdef __cplusplus
}
#endif

#endif /* QIVLAPACKDLL2_H */
