// ZGEBAL: balances a general matrix before its eigenvalues are computed.
// First a permutation similarity P^T*A*P pushes rows that are zero off the
// diagonal to the bottom and columns that are zero off the diagonal to the
// left, isolating eigenvalues that need no arithmetic and leaving a central
// block A(ILO:IHI, ILO:IHI). Then a diagonal similarity D^-1*A*D, D made of
// powers of 2, brings the row and column norms of that block closer together.
// SCALE records the interchanges (outside ILO..IHI) and D (inside).
#include <algorithm>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/vector.h"

namespace qiv {

namespace {

constexpr double sclfac = 2.0;   // radix of the scaling
constexpr double factor = 0.95;  // relative norm reduction that makes a scaling worthwhile

// True when row i of A is zero in columns 1..l apart from the diagonal.
bool row_isolated(const zcomplex* a, int lda, int i, int l) {
    for (int j = 1; j <= l; ++j) {
        if (j != i && !is_zero(a[at(i, j, lda)])) return false;
    }
    return true;
}

// True when column j of A is zero in rows k..l apart from the diagonal.
bool column_isolated(const zcomplex* a, int lda, int j, int k, int l) {
    for (int i = k; i <= l; ++i) {
        if (i != j && !is_zero(a[at(i, j, lda)])) return false;
    }
    return true;
}

// Interchanges rows and columns p and q: the columns over rows 1..l, the rows
// over columns k..n (the parts outside hold zeros in both).
void interchange(zcomplex* a, int lda, int n, int k, int l, int p, int q) {
    const int one = 1;
    const int ncols = n - k + 1;
    ZSWAP(&l, a + at(1, p, lda), &one, a + at(1, q, lda), &one);
    ZSWAP(&ncols, a + at(p, k, lda), &lda, a + at(q, k, lda), &lda);
}

}  // namespace

void ZGEBAL(const char* job, const int* n, zcomplex* a, const int* lda, int* ilo, int* ihi,
            double* scale, int* info) {
    const int N = *n, LDA = *lda;
    *info = 0;
    if (!LSAME(job, "N") && !LSAME(job, "P") && !LSAME(job, "S") && !LSAME(job, "B")) {
        *info = -1;
    } else if (N < 0) {
        *info = -2;
    } else if (LDA < std::max(1, N)) {
        *info = -4;
    }
    if (*info != 0) {
        report_illegal("ZGEBAL", -*info);
        return;
    }

    if (N == 0) {
        *ilo = 1;
        *ihi = 0;
        return;
    }
    if (LSAME(job, "N")) {
        for (int i = 0; i < N; ++i) scale[i] = 1.0;
        *ilo = 1;
        *ihi = N;
        return;
    }

    int k = 1;
    int l = N;
    if (!LSAME(job, "S")) {
        // Rows isolated from the rest, pushed to the bottom. Each pass walks
        // down from the L it started with; a row moved into position i is
        // only looked at again in the next pass.
        bool moved = true;
        while (moved) {
            moved = false;
            for (int i = l; i >= 1; --i) {
                if (!row_isolated(a, LDA, i, l)) continue;
                scale[l - 1] = static_cast<double>(i);
                if (i != l) interchange(a, LDA, N, k, l, i, l);
                moved = true;
                if (l == 1) {
                    *ilo = 1;
                    *ihi = 1;
                    return;
                }
                --l;
            }
        }

        // Columns isolated within rows K..L, pushed to the left.
        moved = true;
        while (moved) {
            moved = false;
            const int jlast = l;
            for (int j = k; j <= jlast; ++j) {
                if (!column_isolated(a, LDA, j, k, l)) continue;
                scale[k - 1] = static_cast<double>(j);
                if (j != k) interchange(a, LDA, N, k, l, j, k);
                moved = true;
                ++k;
            }
        }
    }

    for (int i = k; i <= l; ++i) scale[i - 1] = 1.0;

    if (LSAME(job, "P")) {
        *ilo = k;
        *ihi = l;
        return;
    }

    // Scaling by powers of 2 until a whole pass over K..L changes nothing.
    const double sfmin1 = mach_sfmin / mach_prec;
    const double sfmax1 = 1.0 / sfmin1;
    const double sfmin2 = sfmin1 * sclfac;
    const double sfmax2 = 1.0 / sfmin2;
    const int one = 1;
    const int nblock = l - k + 1;
    const int nright = N - k + 1;

    bool scaled = true;
    while (scaled) {
        scaled = false;
        for (int i = k; i <= l; ++i) {
            double c = DZNRM2(&nblock, a + at(k, i, LDA), &one);
            double r = DZNRM2(&nblock, a + at(i, k, LDA), &LDA);
            const int ica = IZAMAX(&l, a + at(1, i, LDA), &one);
            double ca = zabs(a[at(ica, i, LDA)]);
            const int ira = IZAMAX(&nright, a + at(i, k, LDA), &LDA);
            double ra = zabs(a[at(i, ira + k - 1, LDA)]);

            if (c == 0.0 || r == 0.0) continue;

            const double sum = c + ca + r + ra;
            if (DISNAN(&sum)) {
                *info = -3;
                report_illegal("ZGEBAL", 3);
                return;
            }

            // From here on none of c, ca, r, ra is a NaN, so the plain
            // max/min below need no NaN rule.
            double g = r / sclfac;
            double f = 1.0;
            const double s = c + r;
            while (c < g && std::max({f, c, ca}) < sfmax2 && std::min({r, g, ra}) > sfmin2) {
                f = f * sclfac;
                c = c * sclfac;
                ca = ca * sclfac;
                r = r / sclfac;
                g = g / sclfac;
                ra = ra / sclfac;
            }
            g = c / sclfac;
            while (g >= r && std::max(r, ra) < sfmax2 && std::min({f, c, g, ca}) > sfmin2) {
                f = f / sclfac;
                c = c / sclfac;
                g = g / sclfac;
                ca = ca / sclfac;
                r = r * sclfac;
                ra = ra * sclfac;
            }

            if (c + r >= factor * s) continue;
            const double si = scale[i - 1];
            if (f < 1.0 && si < 1.0 && f * si <= sfmin1) continue;
            if (f > 1.0 && si > 1.0 && si >= sfmax1 / f) continue;

            scale[i - 1] = si * f;
            const double finv = 1.0 / f;
            ZDSCAL(&nright, &finv, a + at(i, k, LDA), &LDA);
            ZDSCAL(&l, &f, a + at(1, i, LDA), &one);
            scaled = true;
        }
    }

    *ilo = k;
    *ihi = l;
}

}  // namespace qiv
