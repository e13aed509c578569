/* A host program as a Windows application would write it: it loads the module
 * at run time, binds the exports by name (and checks the binding by ordinal),
 * factors and solves generated systems and prints every number it gets back as
 * the hexadecimal bit pattern of its binary64 value.
 *
 * The same source builds a Linux twin that loads the shared object with
 * dlopen. Both run the same inputs, so their standard output must agree byte
 * for byte; what only one platform can check (ordinals) goes to standard error.
 *
 * Usage: host_win [load|run|illegal] [module]
 *   load     binds the exports and calls the test entry only;
 *   run      that, then LU factorisations, solves and eigen decompositions
 *            with their checks (the default);
 *   illegal  one call with M = -1: the module reports it and ends the process
 *            with exit status 0, so the line after the call is never reached.
 * Exit status: 0 when every check holds, 1 when one fails, 2 when the module
 * cannot be loaded or bound. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

typedef struct {
    double re, im;
} zc;

typedef void (*any_fn)(void);
typedef void (*testfn_fn)(void);
typedef void (*zgetrf_fn)(const int* m, const int* n, zc* a, const int* lda, int* ipiv, int* info);
typedef void (*zgesv_fn)(const int* n, const int* nrhs, zc* a, const int* lda, int* ipiv, zc* b,
                         const int* ldb, int* info);
typedef void (*zgeev_fn)(const char* jobvl, const char* jobvr, const int* n, zc* a, const int* lda,
                         zc* w, zc* vl, const int* ldvl, zc* vr, const int* ldvr, zc* work,
                         const int* lwork, double* rwork, int* info);

/* ---- loading and binding ------------------------------------------------ */

#if defined(_WIN32)
static const char* const default_module = "libqivlapackdll2.winx64.dll";
typedef HMODULE module_t;
static module_t open_module(const char* name) { return LoadLibraryA(name); }
static any_fn bind_name(module_t m, const char* name) { return (any_fn)GetProcAddress(m, name); }
static any_fn bind_ordinal(module_t m, int ordinal) {
    return (any_fn)GetProcAddress(m, MAKEINTRESOURCEA(ordinal));
}
static void close_module(module_t m) { FreeLibrary(m); }
#else
static const char* const default_module = "libqivlapackdll2.so";
typedef void* module_t;
static module_t open_module(const char* name) { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }
static any_fn bind_name(module_t m, const char* name) { return (any_fn)dlsym(m, name); }
static void close_module(module_t m) { dlclose(m); }
#endif

/* The exports in the order of their ordinals. */
static const char* const export_names[] = {"qivcppdlltemplate_exportedtestfn",
                                           "qivlapackdll2_zgeev", "qivlapackdll2_zgesv",
                                           "qivlapackdll2_zgetrf"};
enum { export_count = 4 };

/* Checks that every ordinal binds the export of its name, and that no
 * ordinal past the table binds anything. Windows only; reports on stderr. */
static int check_ordinals(module_t m) {
#if defined(_WIN32)
    int ok = 1;
    for (int ord = 1; ord <= export_count + 1; ++ord) {
        const any_fn by_ordinal = bind_ordinal(m, ord);
        const any_fn by_name = ord <= export_count ? bind_name(m, export_names[ord - 1]) : NULL;
        const char* what = ord <= export_count ? export_names[ord - 1] : "(none)";
        if (by_ordinal != by_name) {
            fprintf(stderr, "ordinal %d does not bind %s\n", ord, what);
            ok = 0;
        } else {
            fprintf(stderr, "ordinal %d: %s%s\n", ord, what, by_name ? "" : " (not exported)");
        }
    }
    return ok;
#else
    (void)m;
    return 1;
#endif
}

/* ---- output --------------------------------------------------------------- */

static int failures = 0;

static void put_hex(double x) {
    uint64_t bits;
    memcpy(&bits, &x, sizeof bits);
    char text[17];
    for (int k = 15; k >= 0; --k) {
        text[k] = "0123456789abcdef"[bits & 15u];
        bits >>= 4;
    }
    text[16] = '\0';
    fputs(text, stdout);
}

/* One line per element of the m-by-n matrix in column order. */
static void print_matrix(const char* label, int m, int n, const zc* a, int lda) {
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < m; ++i) {
            const zc z = a[i + (int64_t)j * lda];
            printf("%s %d %d ", label, i + 1, j + 1);
            put_hex(z.re);
            putchar(' ');
            put_hex(z.im);
            putchar('\n');
        }
    }
}

static void print_ints(const char* label, int n, const int* v) {
    printf("%s", label);
    for (int k = 0; k < n; ++k) printf(" %d", v[k]);
    putchar('\n');
}

static void verdict(const char* what, int ok) {
    printf("%s: %s\n", what, ok ? "ok" : "FAILED");
    if (!ok) ++failures;
}

/* ---- inputs ----------------------------------------------------------------- */

/* A 64-bit linear congruential sequence; each value is a multiple of 2^-52 in
 * [-1, 1), so the inputs are exact and identical on every platform. */
static uint64_t rng_state;
static double next_value(void) {
    rng_state = rng_state * 6364136223846793005ull + 1442695040888963407ull;
    return (double)(rng_state >> 11) * (1.0 / 4503599627370496.0) - 1.0;
}
static void fill(zc* a, int64_t count, uint64_t seed) {
    rng_state = seed;
    for (int64_t k = 0; k < count; ++k) {
        a[k].re = next_value();
        a[k].im = next_value();
    }
}

/* ---- host-side arithmetic for the checks ------------------------------------ */

static zc zmul(zc x, zc y) {
    const zc r = {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re};
    return r;
}
static double cabs1(zc x) { return fabs(x.re) + fabs(x.im); }

static double max_abs(int m, int n, const zc* a, int lda) {
    double r = 0.0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) {
            const double v = cabs1(a[i + (int64_t)j * lda]);
            if (v > r) r = v;
        }
    return r;
}

/* Rebuilds P*L*U from the factored m-by-n matrix f and its pivots and returns
 * the largest |A - P*L*U| entry relative to max|A|, the order and the unit
 * roundoff. Values of a few units are expected. */
static double lu_residual(int m, int n, const zc* a, int lda, const zc* f, const int* ipiv) {
    static zc prod[128 * 128];
    const int k = m < n ? m : n;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) {
            zc s = {0.0, 0.0};
            const int top = i < j ? i : j; /* L(i,l) U(l,j) for l <= min(i,j) */
            for (int l = 0; l <= top && l < k; ++l) {
                const zc lil = l == i ? (zc){1.0, 0.0} : f[i + (int64_t)l * lda];
                const zc t = zmul(lil, f[l + (int64_t)j * lda]);
                s.re += t.re;
                s.im += t.im;
            }
            prod[i + j * m] = s;
        }
    /* Apply the interchanges backwards: A = P * (L*U). */
    for (int i = k - 1; i >= 0; --i) {
        const int p = ipiv[i] - 1;
        if (p == i) continue;
        for (int j = 0; j < n; ++j) {
            const zc t = prod[i + j * m];
            prod[i + j * m] = prod[p + j * m];
            prod[p + j * m] = t;
        }
    }
    double worst = 0.0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) {
            const zc x = a[i + (int64_t)j * lda];
            const zc y = prod[i + j * m];
            const zc d = {x.re - y.re, x.im - y.im};
            const double v = cabs1(d);
            if (v > worst) worst = v;
        }
    const double scale = max_abs(m, n, a, lda) * (m > n ? m : n) * 0x1p-53;
    return scale > 0.0 ? worst / scale : worst;
}

/* Largest |A*X - B| entry relative to max|A| * max|X| * n * unit roundoff. */
static double solve_residual(int n, int nrhs, const zc* a, int lda, const zc* x, const zc* b,
                             int ldb) {
    double worst = 0.0;
    for (int r = 0; r < nrhs; ++r)
        for (int i = 0; i < n; ++i) {
            zc s = {0.0, 0.0};
            for (int l = 0; l < n; ++l) {
                const zc t = zmul(a[i + (int64_t)l * lda], x[l + (int64_t)r * ldb]);
                s.re += t.re;
                s.im += t.im;
            }
            const zc bi = b[i + (int64_t)r * ldb];
            const zc d = {s.re - bi.re, s.im - bi.im};
            const double v = cabs1(d);
            if (v > worst) worst = v;
        }
    const double scale = max_abs(n, n, a, lda) * max_abs(n, nrhs, x, ldb) * n * 0x1p-53;
    return scale > 0.0 ? worst / scale : worst;
}

static int pivots_in_range(int k, int m, const int* ipiv) {
    for (int i = 0; i < k; ++i)
        if (ipiv[i] < i + 1 || ipiv[i] > m) return 0;
    return 1;
}

/* Sentinel for the rows between the described matrix and the leading
 * dimension, which the module must leave alone. */
static const zc sentinel = {-1234.5, 6789.25};
static void pad(int m, int n, zc* a, int lda) {
    for (int j = 0; j < n; ++j)
        for (int i = m; i < lda; ++i) a[i + (int64_t)j * lda] = sentinel;
}
static int pad_intact(int m, int n, const zc* a, int lda) {
    for (int j = 0; j < n; ++j)
        for (int i = m; i < lda; ++i)
            if (memcmp(&a[i + (int64_t)j * lda], &sentinel, sizeof sentinel) != 0) return 0;
    return 1;
}

/* ---- the cases ---------------------------------------------------------------- */

enum { max_order = 128 };
static zc a_in[max_order * max_order], a_lu[max_order * max_order];
static zc b_in[max_order * 4], b_x[max_order * 4];
static int ipiv[max_order];

/* Factors a generated m-by-n matrix stored with leading dimension lda; when
 * zero_column > 0 that column is zero, so U(zero_column, zero_column) is the
 * first zero pivot and INFO must name it. */
static void lu_case(zgetrf_fn zgetrf, int m, int n, int lda, int zero_column, uint64_t seed) {
    char label[64];
    snprintf(label, sizeof label, "zgetrf %dx%d lda %d", m, n, lda);
    printf("%s\n", label);
    fill(a_in, (int64_t)lda * n, seed);
    if (zero_column > 0)
        for (int i = 0; i < m; ++i) a_in[i + (int64_t)(zero_column - 1) * lda] = (zc){0.0, 0.0};
    pad(m, n, a_in, lda);
    memcpy(a_lu, a_in, sizeof(zc) * (size_t)lda * (size_t)n);
    const int k = m < n ? m : n;
    for (int i = 0; i < k; ++i) ipiv[i] = -7;
    int info = -99;
    zgetrf(&m, &n, a_lu, &lda, ipiv, &info);
    printf("info %d\n", info);
    print_ints("ipiv", k, ipiv);
    print_matrix("lu", m, n, a_lu, lda);

    verdict("  info", info == (zero_column > 0 ? zero_column : 0));
    verdict("  pivots in range", pivots_in_range(k, m, ipiv));
    verdict("  padding untouched", pad_intact(m, n, a_lu, lda));
    if (zero_column == 0) verdict("  A = P*L*U", lu_residual(m, n, a_in, lda, a_lu, ipiv) < 30.0);
}

/* Solves a generated n-by-n system with nrhs right-hand sides; with
 * singular set, column 2 of A is zero and B must come back unchanged. */
static void solve_case(zgesv_fn zgesv, int n, int nrhs, int lda, int ldb, int singular,
                       uint64_t seed) {
    printf("zgesv n %d nrhs %d lda %d ldb %d\n", n, nrhs, lda, ldb);
    fill(a_in, (int64_t)lda * n, seed);
    fill(b_in, (int64_t)ldb * nrhs, seed + 1);
    if (singular)
        for (int i = 0; i < n; ++i) a_in[i + (int64_t)lda] = (zc){0.0, 0.0};
    pad(n, n, a_in, lda);
    pad(n, nrhs, b_in, ldb);
    memcpy(a_lu, a_in, sizeof(zc) * (size_t)lda * (size_t)n);
    memcpy(b_x, b_in, sizeof(zc) * (size_t)ldb * (size_t)nrhs);
    int info = -99;
    zgesv(&n, &nrhs, a_lu, &lda, ipiv, b_x, &ldb, &info);
    printf("info %d\n", info);
    print_ints("ipiv", n, ipiv);
    print_matrix("lu", n, n, a_lu, lda);
    print_matrix("x", n, nrhs, b_x, ldb);

    verdict("  padding untouched", pad_intact(n, n, a_lu, lda) && pad_intact(n, nrhs, b_x, ldb));
    if (singular) {
        verdict("  info names the zero pivot", info == 2);
        verdict("  B unchanged", memcmp(b_x, b_in, sizeof(zc) * (size_t)ldb * (size_t)nrhs) == 0);
    } else {
        verdict("  info", info == 0);
        verdict("  A*X = B", solve_residual(n, nrhs, a_in, lda, b_x, b_in, ldb) < 30.0);
    }
}

/* Largest |A*v - w*v| (right) or |u^H*A - w*u^H| (left) over all pairs,
 * relative to max|A| * n * unit roundoff; the vectors have norm 1. */
static double eig_residual(int n, const zc* a, int lda, const zc* w, const zc* v, int ldv,
                           int left) {
    double worst = 0.0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            zc s = {0.0, 0.0};
            for (int l = 0; l < n; ++l) {
                /* right: (A v)(i) = sum A(i,l) v(l); left: (u^H A)(i) = sum conj(u(l)) A(l,i) */
                const zc x = left ? a[l + (int64_t)i * lda] : a[i + (int64_t)l * lda];
                zc y = v[l + (int64_t)j * ldv];
                if (left) y.im = -y.im;
                const zc t = zmul(x, y);
                s.re += t.re;
                s.im += t.im;
            }
            zc vi = v[i + (int64_t)j * ldv];
            if (left) vi.im = -vi.im;
            const zc t = zmul(w[j], vi);
            const zc d = {s.re - t.re, s.im - t.im};
            const double r = cabs1(d);
            if (r > worst) worst = r;
        }
    const double scale = max_abs(n, n, a, lda) * n * 0x1p-53;
    return scale > 0.0 ? worst / scale : worst;
}

/* Each vector has norm 1 and its largest component is real and positive. */
static int vectors_normalised(int n, const zc* v, int ldv) {
    for (int j = 0; j < n; ++j) {
        double norm2 = 0.0, big = -1.0;
        int at_big = 0;
        for (int i = 0; i < n; ++i) {
            const zc x = v[i + (int64_t)j * ldv];
            const double m2 = x.re * x.re + x.im * x.im;
            norm2 += m2;
            if (m2 > big) {
                big = m2;
                at_big = i;
            }
        }
        const zc top = v[at_big + (int64_t)j * ldv];
        if (fabs(norm2 - 1.0) > 1e-12 * n || top.im != 0.0 || !(top.re > 0.0)) return 0;
    }
    return 1;
}

enum { max_eig = 96 };
static zc e_a[max_eig * max_eig], e_vl[max_eig * max_eig], e_vr[max_eig * max_eig];
static zc e_w[max_eig], e_w2[max_eig], e_work[max_eig * 200];
static double e_rwork[2 * max_eig];

/* Eigenvalues and both kinds of vectors of a generated n-by-n matrix, then the
 * eigenvalues alone, which must be the same to rounding. */
static void eig_case(zgeev_fn zgeev, int n, int lda, uint64_t seed) {
    printf("zgeev n %d lda %d\n", n, lda);
    fill(a_in, (int64_t)lda * n, seed);
    pad(n, n, a_in, lda);
    memcpy(e_a, a_in, sizeof(zc) * (size_t)lda * (size_t)n);
    int lwork = -1, info = -99;
    const int ldv = n;
    zgeev("V", "V", &n, e_a, &lda, e_w, e_vl, &ldv, e_vr, &ldv, e_work, &lwork, e_rwork, &info);
    printf("optimal lwork %d\n", (int)e_work[0].re);
    lwork = (int)e_work[0].re;
    if (lwork > max_eig * 200) lwork = max_eig * 200;
    zgeev("V", "V", &n, e_a, &lda, e_w, e_vl, &ldv, e_vr, &ldv, e_work, &lwork, e_rwork, &info);
    printf("info %d\n", info);
    print_matrix("w", n, 1, e_w, n);
    print_matrix("vl", n, n, e_vl, ldv);
    print_matrix("vr", n, n, e_vr, ldv);
    verdict("  info", info == 0);
    verdict("  padding untouched", pad_intact(n, n, e_a, lda));
    verdict("  A*v = w*v", eig_residual(n, a_in, lda, e_w, e_vr, ldv, 0) < 30.0);
    verdict("  u^H*A = w*u^H", eig_residual(n, a_in, lda, e_w, e_vl, ldv, 1) < 30.0);
    verdict("  vectors normalised",
            vectors_normalised(n, e_vl, ldv) && vectors_normalised(n, e_vr, ldv));

    memcpy(e_a, a_in, sizeof(zc) * (size_t)lda * (size_t)n);
    const int one = 1;
    lwork = 2 * n;
    zgeev("N", "N", &n, e_a, &lda, e_w2, e_vl, &one, e_vr, &one, e_work, &lwork, e_rwork, &info);
    print_matrix("w only", n, 1, e_w2, n);
    double worst = 0.0;
    for (int j = 0; j < n; ++j) {
        const zc d = {e_w[j].re - e_w2[j].re, e_w[j].im - e_w2[j].im};
        if (cabs1(d) > worst) worst = cabs1(d);
    }
    verdict("  same eigenvalues without vectors",
            info == 0 && worst <= 1e3 * n * 0x1p-53 * max_abs(n, n, a_in, lda));
}

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "run";
    const char* name = argc > 2 ? argv[2] : default_module;
#if defined(_WIN32)
    /* Plain line ends, so that the output compares with the Linux twin's. */
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    module_t module = open_module(name);
    if (!module) {
        fprintf(stderr, "cannot load %s\n", name);
        return 2;
    }
    const testfn_fn testfn = (testfn_fn)bind_name(module, export_names[0]);
    if (!testfn) {
        fprintf(stderr, "cannot bind %s in %s\n", export_names[0], name);
        return 2;
    }
    if (!check_ordinals(module)) ++failures;
    testfn();
    printf("qivcppdlltemplate_exportedtestfn returned\n");
    if (strcmp(mode, "load") == 0) {
        close_module(module);
        return failures == 0 ? 0 : 1;
    }

    const zgeev_fn zgeev = (zgeev_fn)bind_name(module, export_names[1]);
    const zgesv_fn zgesv = (zgesv_fn)bind_name(module, export_names[2]);
    const zgetrf_fn zgetrf = (zgetrf_fn)bind_name(module, export_names[3]);
    if (!zgeev || !zgesv || !zgetrf) {
        fprintf(stderr, "cannot bind the exports of %s\n", name);
        return 2;
    }

    if (strcmp(mode, "illegal") == 0) {
        const int m = -1, n = 3, lda = 1;
        zc a[3];
        int piv[1], info = 0;
        printf("calling qivlapackdll2_zgetrf with M = -1\n");
        fflush(stdout);
        zgetrf(&m, &n, a, &lda, piv, &info);
        printf("returned from an illegal call with INFO = %d\n", info);
        return 1;
    }

    lu_case(zgetrf, 4, 3, 4, 0, 11);
    lu_case(zgetrf, 3, 5, 6, 0, 12);
    lu_case(zgetrf, 70, 70, 73, 0, 13); /* more columns than one panel */
    lu_case(zgetrf, 90, 66, 90, 0, 14); /* tall, blocked */
    lu_case(zgetrf, 6, 6, 6, 3, 15);    /* exactly singular */
    lu_case(zgetrf, 0, 4, 1, 0, 16);    /* empty */
    solve_case(zgesv, 5, 3, 7, 6, 0, 21);
    solve_case(zgesv, 80, 2, 80, 81, 0, 22);
    solve_case(zgesv, 4, 2, 4, 4, 1, 23);
    eig_case(zgeev, 1, 1, 31);
    eig_case(zgeev, 6, 8, 32);
    eig_case(zgeev, 40, 41, 33);
    eig_case(zgeev, 90, 96, 34); /* above the crossover to the multishift QR */

    printf("%d check(s) failed\n", failures);
    close_module(module);
    return failures == 0 ? 0 : 1;
}
