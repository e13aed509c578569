/* A host program as an application would write it: it loads the module by
 * name at run time, binds the exports by name and calls them. It factors and
 * solves a small complex system and checks the answer by its residual, then
 * prints the eigenvalues of the same matrix. */
#include <dlfcn.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

typedef struct {
    double re, im;
} cplx;

typedef void (*testfn_t)(void);
typedef void (*zgetrf_t)(const int*, const int*, cplx*, const int*, int*, int*);
typedef void (*zgesv_t)(const int*, const int*, cplx*, const int*, int*, cplx*, const int*, int*);
typedef void (*zgeev_t)(const char*, const char*, const int*, cplx*, const int*, cplx*, cplx*,
                        const int*, cplx*, const int*, cplx*, const int*, double*, int*);

enum { N = 4, NRHS = 2 };

static cplx cmul(cplx a, cplx b) {
    cplx r = {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    return r;
}

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "libqivlapackdll2.so";
    void* module = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "cannot load %s: %s\n", name, dlerror());
        return 1;
    }
    testfn_t testfn = (testfn_t)dlsym(module, "qivcppdlltemplate_exportedtestfn");
    zgetrf_t zgetrf = (zgetrf_t)dlsym(module, "qivlapackdll2_zgetrf");
    zgesv_t zgesv = (zgesv_t)dlsym(module, "qivlapackdll2_zgesv");
    zgeev_t zgeev = (zgeev_t)dlsym(module, "qivlapackdll2_zgeev");
    if (!testfn || !zgetrf || !zgesv || !zgeev) {
        fprintf(stderr, "cannot bind the exports of %s\n", name);
        return 1;
    }
    testfn();
    printf(
        "loaded %s; bound qivcppdlltemplate_exportedtestfn, qivlapackdll2_zgetrf, "
        "qivlapackdll2_zgesv, qivlapackdll2_zgeev\n\n",
        name);

    /* A, stored by columns. */
    const cplx a0[N * N] = {{2, 1},  {1, 0},  {0, -1}, {4, 2},  /* column 1 */
                            {1, -1}, {3, 0},  {2, 2},  {0, 1},  /* column 2 */
                            {0, 2},  {1, 1},  {5, 0},  {1, -2}, /* column 3 */
                            {1, 0},  {0, -3}, {1, 1},  {2, 0}}; /* column 4 */
    /* Right-hand sides: A times known solutions (1, i, -1, 2 - i) and (1, 1, 1, 1). */
    const cplx xtrue[N * NRHS] = {{1, 0}, {0, 1}, {-1, 0}, {2, -1}, {1, 0}, {1, 0}, {1, 0}, {1, 0}};
    cplx b0[N * NRHS];
    for (int r = 0; r < NRHS; ++r)
        for (int i = 0; i < N; ++i) {
            cplx s = {0, 0};
            for (int k = 0; k < N; ++k) {
                const cplx p = cmul(a0[i + k * N], xtrue[k + r * N]);
                s.re += p.re;
                s.im += p.im;
            }
            b0[i + r * N] = s;
        }

    cplx a[N * N], b[N * NRHS];
    memcpy(a, a0, sizeof a);
    memcpy(b, b0, sizeof b);
    const int n = N, nrhs = NRHS, lda = N, ldb = N;
    int ipiv[N], info = -1;
    zgesv(&n, &nrhs, a, &lda, ipiv, b, &ldb, &info);
    printf("qivlapackdll2_zgesv: INFO = %d\n", info);
    printf("pivots:");
    for (int i = 0; i < N; ++i) printf(" %d", ipiv[i]);
    printf("\nsolution (one column per right-hand side):\n");
    for (int i = 0; i < N; ++i) {
        for (int r = 0; r < NRHS; ++r) printf("  %+.15f %+.15fi", b[i + r * N].re, b[i + r * N].im);
        printf("\n");
    }
    /* Relative residual ||A X - B||_1 / (||A||_1 ||X||_1) with |re| + |im| sums. */
    double rnorm = 0, anorm = 0, xnorm = 0;
    for (int j = 0; j < N; ++j) {
        double s = 0;
        for (int i = 0; i < N; ++i) s += fabs(a0[i + j * N].re) + fabs(a0[i + j * N].im);
        if (s > anorm) anorm = s;
    }
    for (int r = 0; r < NRHS; ++r) {
        double sr = 0, sx = 0;
        for (int i = 0; i < N; ++i) {
            cplx s = {-b0[i + r * N].re, -b0[i + r * N].im};
            for (int k = 0; k < N; ++k) {
                const cplx p = cmul(a0[i + k * N], b[k + r * N]);
                s.re += p.re;
                s.im += p.im;
            }
            sr += fabs(s.re) + fabs(s.im);
            sx += fabs(b[i + r * N].re) + fabs(b[i + r * N].im);
        }
        if (sr > rnorm) rnorm = sr;
        if (sx > xnorm) xnorm = sx;
    }
    printf("relative residual ||A*X - B|| / (||A|| ||X||) = %.3e\n", rnorm / (anorm * xnorm));

    /* The factorisation alone, of a 3-by-5 matrix. */
    cplx c[3 * 5];
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 3; ++i) {
            c[i + 3 * j].re = (double)((i + 1) * (j + 2) % 7);
            c[i + 3 * j].im = (double)(i - j);
        }
    const int m3 = 3, n5 = 5, ldc = 3;
    int ipiv3[3];
    zgetrf(&m3, &n5, c, &ldc, ipiv3, &info);
    printf("\nqivlapackdll2_zgetrf of a 3-by-5 matrix: INFO = %d, pivots %d %d %d\n", info,
           ipiv3[0], ipiv3[1], ipiv3[2]);
    printf("U(1,1:3) = (%g%+gi) (%g%+gi) (%g%+gi)\n", c[0].re, c[0].im, c[3].re, c[3].im, c[6].re,
           c[6].im);
    /* The eigenvalues of A (no vectors: VL and VR are not referenced). */
    cplx e[N * N], w[N], work[2 * N], vdum[1];
    double rwork[2 * N];
    memcpy(e, a0, sizeof e);
    const int lwork = 2 * N, one = 1;
    int einfo = -1;
    zgeev("N", "N", &n, e, &lda, w, vdum, &one, vdum, &one, work, &lwork, rwork, &einfo);
    printf("\nqivlapackdll2_zgeev of A: INFO = %d, eigenvalues\n", einfo);
    for (int i = 0; i < N; ++i) printf("  %+.15f %+.15fi\n", w[i].re, w[i].im);
    dlclose(module);
    return info == 0 && einfo == 0 && rnorm / (anorm * xnorm) < 1e-13 ? 0 : 2;
}
