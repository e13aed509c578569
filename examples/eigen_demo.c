/* The eigen service on a matrix from practice: a host loads the module by
 * name, reads a real nonsymmetric matrix in Harwell-Boeing format (assembled,
 * compressed by columns), and asks qivlapackdll2_zgeev for all eigenvalues and
 * right eigenvectors. It prints the eigenvalues of largest modulus, the
 * largest residual ||A*v - w*v|| / (||A|| * ||v||) over all pairs (1-norms
 * with |re| + |im|), and the time the call took.
 *
 * Usage: eigen_demo MATRIX.rua [module] [count] */
#define _POSIX_C_SOURCE 200809L
#include <ctype.h>
#include <dlfcn.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef struct {
    double re, im;
} cplx;

typedef void (*zgeev_t)(const char*, const char*, const int*, cplx*, const int*, cplx*, cplx*,
                        const int*, cplx*, const int*, cplx*, const int*, double*, int*);

/* ---- a small Harwell-Boeing reader ---------------------------------------- */

/* Count and width of a Fortran format such as (20I4), (3D22.16), (1P,4E20.12). */
static int parse_format(const char* text, int* count, int* width) {
    const char* p = strchr(text, '(');
    if (!p) return 0;
    ++p;
    const char* comma = strchr(p, ',');
    const char* close = strchr(p, ')');
    if (comma && close && comma < close) p = comma + 1; /* skip a scale factor such as 1P */
    *count = (int)strtol(p, (char**)&p, 10);
    while (*p && isalpha((unsigned char)*p)) ++p;
    *width = (int)strtol(p, NULL, 10);
    return *count > 0 && *width > 0;
}

/* Reads n fixed-width fields of the given layout from the following lines. */
static int read_fields(FILE* f, int n, int per_line, int width, double* out) {
    char line[1024];
    int got = 0;
    while (got < n) {
        if (!fgets(line, sizeof line, f)) return 0;
        const size_t len = strcspn(line, "\r\n");
        for (int k = 0; k < per_line && got < n; ++k) {
            const size_t start = (size_t)k * (size_t)width;
            if (start >= len) break;
            char field[64];
            size_t w = (size_t)width < sizeof field - 2 ? (size_t)width : sizeof field - 2;
            if (start + w > len) w = len - start;
            /* Exponents may be written with D, or with the sign alone (0.5-100). */
            size_t o = 0;
            for (size_t c = 0; c < w; ++c) {
                char ch = line[start + c];
                if (ch == 'D' || ch == 'd') ch = 'E';
                if ((ch == '-' || ch == '+') && o > 0 && isdigit((unsigned char)field[o - 1]))
                    field[o++] = 'E';
                if (ch != ' ') field[o++] = ch;
            }
            field[o] = '\0';
            out[got++] = strtod(field, NULL);
        }
    }
    return 1;
}

/* The matrix as a dense complex array, column major, imaginary parts zero. */
static cplx* read_hb(const char* path, int* order) {
    FILE* f = fopen(path, "r");
    if (!f) return NULL;
    char line[1024], fmt[4][32];
    int ok = fgets(line, sizeof line, f) != NULL; /* title and key */
    int counts[5] = {0};
    ok = ok && fgets(line, sizeof line, f) &&
         sscanf(line, "%d %d %d %d %d", &counts[0], &counts[1], &counts[2], &counts[3],
                &counts[4]) >= 4;
    char type[4] = {0};
    int nrow = 0, ncol = 0, nnz = 0;
    ok = ok && fgets(line, sizeof line, f) && sscanf(line, "%3s %d %d %d", type, &nrow, &ncol, &nnz) == 4;
    ok = ok && fgets(line, sizeof line, f) &&
         sscanf(line, "%31s %31s %31s %31s", fmt[0], fmt[1], fmt[2], fmt[3]) >= 3;
    if (ok && counts[4] > 0) ok = fgets(line, sizeof line, f) != NULL; /* right-hand sides */
    int pc = 0, pw = 0, ic = 0, iw = 0, vc = 0, vw = 0;
    ok = ok && nrow == ncol && nrow > 0 && toupper((unsigned char)type[0]) == 'R' &&
         toupper((unsigned char)type[2]) == 'A' && parse_format(fmt[0], &pc, &pw) &&
         parse_format(fmt[1], &ic, &iw) && parse_format(fmt[2], &vc, &vw);
    double *ptr = NULL, *ind = NULL, *val = NULL;
    cplx* a = NULL;
    if (ok) {
        ptr = malloc(sizeof(double) * (size_t)(ncol + 1));
        ind = malloc(sizeof(double) * (size_t)nnz);
        val = malloc(sizeof(double) * (size_t)nnz);
        a = calloc((size_t)nrow * (size_t)ncol, sizeof(cplx));
        ok = ptr && ind && val && a && read_fields(f, ncol + 1, pc, pw, ptr) &&
             read_fields(f, nnz, ic, iw, ind) && read_fields(f, nnz, vc, vw, val);
    }
    for (int j = 0; ok && j < ncol; ++j)
        for (int k = (int)ptr[j] - 1; k < (int)ptr[j + 1] - 1; ++k) {
            const int i = (int)ind[k] - 1;
            if (i < 0 || i >= nrow || k < 0 || k >= nnz) {
                ok = 0;
                break;
            }
            a[i + (int64_t)j * nrow].re += val[k];
        }
    fclose(f);
    free(ptr);
    free(ind);
    free(val);
    if (!ok) {
        free(a);
        return NULL;
    }
    *order = nrow;
    return a;
}

/* ---- the demonstration ---------------------------------------------------- */

static double cabs1(cplx z) { return fabs(z.re) + fabs(z.im); }

static double wall_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

static int by_modulus_desc(const void* x, const void* y) {
    const double a = hypot(((const cplx*)x)->re, ((const cplx*)x)->im);
    const double b = hypot(((const cplx*)y)->re, ((const cplx*)y)->im);
    return a < b ? 1 : a > b ? -1 : 0;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s MATRIX.rua [module] [count]\n", argv[0]);
        return 1;
    }
    const char* name = argc > 2 ? argv[2] : "libqivlapackdll2.so";
    const int show = argc > 3 ? atoi(argv[3]) : 8;
    void* module = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "cannot load %s: %s\n", name, dlerror());
        return 1;
    }
    const zgeev_t zgeev = (zgeev_t)dlsym(module, "qivlapackdll2_zgeev");
    if (!zgeev) {
        fprintf(stderr, "cannot bind qivlapackdll2_zgeev in %s\n", name);
        return 1;
    }
    int n = 0;
    cplx* a0 = read_hb(argv[1], &n);
    if (!a0) {
        fprintf(stderr, "cannot read %s as an assembled real Harwell-Boeing matrix\n", argv[1]);
        return 1;
    }
    const size_t nn = (size_t)n * (size_t)n;
    cplx* a = malloc(sizeof(cplx) * nn);
    cplx* vr = malloc(sizeof(cplx) * nn);
    cplx* w = malloc(sizeof(cplx) * (size_t)n);
    double* rwork = malloc(sizeof(double) * 2 * (size_t)n);
    memcpy(a, a0, sizeof(cplx) * nn);

    int lwork = -1, info = 0, one = 1;
    cplx query;
    zgeev("N", "V", &n, a, &n, w, NULL, &one, vr, &n, &query, &lwork, rwork, &info);
    lwork = (int)query.re;
    cplx* work = malloc(sizeof(cplx) * (size_t)lwork);
    const double t0 = wall_seconds();
    zgeev("N", "V", &n, a, &n, w, NULL, &one, vr, &n, work, &lwork, rwork, &info);
    const double seconds = wall_seconds() - t0;

    printf("%s: order %d, eigenvalues and right eigenvectors by qivlapackdll2_zgeev\n", argv[1], n);
    printf("INFO = %d, time %.3f s (workspace %d elements)\n", info, seconds, lwork);

    /* Largest ||A v - w v||_1 / (||A||_1 ||v||_1) over all pairs. */
    double anorm = 0.0;
    for (int j = 0; j < n; ++j) {
        double s = 0.0;
        for (int i = 0; i < n; ++i) s += cabs1(a0[i + (int64_t)j * n]);
        if (s > anorm) anorm = s;
    }
    double worst = 0.0;
    cplx* r = malloc(sizeof(cplx) * (size_t)n);
    for (int j = 0; info == 0 && j < n; ++j) {
        const cplx* v = vr + (int64_t)j * n;
        for (int i = 0; i < n; ++i) r[i] = (cplx){-(w[j].re * v[i].re - w[j].im * v[i].im),
                                                  -(w[j].re * v[i].im + w[j].im * v[i].re)};
        for (int k = 0; k < n; ++k) {
            const cplx vk = v[k];
            const cplx* col = a0 + (int64_t)k * n;
            for (int i = 0; i < n; ++i) {
                r[i].re += col[i].re * vk.re - col[i].im * vk.im;
                r[i].im += col[i].re * vk.im + col[i].im * vk.re;
            }
        }
        double rn = 0.0, vn = 0.0;
        for (int i = 0; i < n; ++i) {
            rn += cabs1(r[i]);
            vn += cabs1(v[i]);
        }
        const double rel = rn / (anorm * vn);
        if (rel > worst) worst = rel;
    }
    printf("largest residual ||A*v - w*v|| / (||A|| ||v||) = %.3e (unit roundoff %.3e)\n", worst,
           0x1p-53);

    qsort(w, (size_t)n, sizeof(cplx), by_modulus_desc);
    printf("eigenvalues of largest modulus:\n");
    for (int j = 0; j < show && j < n; ++j)
        printf("  %2d  %+.15e %+.15ei   |w| = %.15e\n", j + 1, w[j].re, w[j].im,
               hypot(w[j].re, w[j].im));

    free(r);
    free(work);
    free(rwork);
    free(w);
    free(vr);
    free(a);
    free(a0);
    dlclose(module);
    return info == 0 && worst < 1e-12 ? 0 : 2;
}
