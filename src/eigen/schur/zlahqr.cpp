// ZLAHQR: eigenvalues and, on request, the Schur form and Schur vectors of a
// complex upper Hessenberg matrix in rows and columns ILO..IHI, by the
// single-shift implicit QR algorithm.
//
// Each iteration picks one complex shift (a Wilkinson-type shift from the
// trailing 2-by-2 block, or an exceptional shift every 10th iteration without
// convergence) and chases one bulge down the active block with 2-element
// reflectors. The subdiagonal is made real first and kept real, so the
// deflation and start-row tests read real parts only. A subdiagonal entry is
// declared negligible by the usual relative test backed by a more careful
// test that compares it with the 2-by-2 block around it, so small entries
// are not set to zero when that would perturb small eigenvalues.
//
// Only ILO..IHI of H is treated as data; entries more than one place below
// the diagonal are set to zero at the start. With WANTT the whole of H is
// kept consistent (rows 1..N, columns 1..N); without it only the current
// active block is transformed. Z is read and written only with WANTZ.
//
// Each 2-element reflector reaches its two rows (columns) through the vector
// engine (kernels/vector_engine.h), several columns (rows) per register, each
// element receiving exactly the operations of the plain loop, in the same
// order; the next reflector is generated as soon as its two entries are final.
#include <algorithm>
#include <cmath>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "frame/complex.h"
#include "householder/zlarfg.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

namespace {

// A complex value divided by a real one: both parts divided.
inline zcomplex div_real(zcomplex a, double s) { return zcomplex{a.re / s, a.im / s}; }

// Multiplies n elements starting at x, spaced inc apart, by a.
inline void scal(int n, zcomplex a, zcomplex* x, int inc) { ZSCAL(&n, &a, x, &inc); }

}  // namespace

void ZLAHQR(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz, zcomplex* z,
            const int* ldz, int* info) {
    const bool WANTT = *wantt != 0;
    const bool WANTZ = *wantz != 0;
    const int N = *n, ILO = *ilo, IHI = *ihi, LDH = *ldh;
    // The rows of Z to update are read only when Z is updated: callers that
    // want no Schur vectors may pass anything there.
    const int ILOZ = WANTZ ? *iloz : 1;
    const int IHIZ = WANTZ ? *ihiz : 0;
    const int LDZ = WANTZ ? *ldz : 1;

    constexpr double rzero = 0.0;
    constexpr double half = 0.5;
    constexpr double dat1 = 0.75;  // exceptional shift factor
    constexpr int kexsh = 10;      // period of the exceptional shifts

    auto H = [&](int i, int j) -> zcomplex& { return h[at(i, j, LDH)]; };
    auto Z = [&](int i, int j) -> zcomplex& { return z[at(i, j, LDZ)]; };

    *info = 0;
    if (N == 0) return;
    if (ILO == IHI) {
        w[ILO - 1] = H(ILO, ILO);
        return;
    }

    // Clear out the trash below the subdiagonal.
    for (int j = ILO; j <= IHI - 3; ++j) {
        H(j + 2, j) = zc(0.0, 0.0);
        H(j + 3, j) = zc(0.0, 0.0);
    }
    if (ILO <= IHI - 2) H(IHI, IHI - 2) = zc(0.0, 0.0);

    // Columns of the full matrix that the set-up scalings reach.
    const int jlo = WANTT ? 1 : ILO;
    const int jhi = WANTT ? N : IHI;

    // Make the subdiagonal real by a diagonal unitary similarity: row I is
    // multiplied by sc and column I by conj(sc).
    for (int i = ILO + 1; i <= IHI; ++i) {
        if (H(i, i - 1).im != rzero) {
            const zcomplex hii1 = H(i, i - 1);
            zcomplex sc = div_real(hii1, DCABS1(&hii1));
            sc = div_real(conj(sc), zabs(sc));
            H(i, i - 1) = zc(zabs(hii1), 0.0);
            scal(jhi - i + 1, sc, &H(i, i), LDH);
            scal(std::min(jhi, i + 1) - jlo + 1, conj(sc), &H(jlo, i), 1);
            if (WANTZ) scal(IHIZ - ILOZ + 1, conj(sc), &Z(ILOZ, i), 1);
        }
    }

    const int nh = IHI - ILO + 1;
    const int nz = IHIZ - ILOZ + 1;
    const double safmin = mach_sfmin;
    const double ulp = mach_prec;
    const double smlnum = (static_cast<double>(nh) / ulp) * safmin;
    const int itmax = 30 * std::max(10, nh);
    const Isa isa = best_isa();

    // I1 and I2 are the first row and the last column that a transformation
    // reaches: the whole matrix with WANTT, the active block otherwise.
    int i1 = 0, i2 = 0;
    if (WANTT) {
        i1 = 1;
        i2 = N;
    }

    // The eigenvalue in position I is isolated by iterating on the active
    // block L..I until H(I, I-1) is negligible.
    int i = IHI;
    while (i >= ILO) {
        int l = ILO;
        bool converged = false;
        int kdefl = 0;  // iterations for this position; picks the exceptional shifts

        for (int its = 0; its <= itmax; ++its) {
            // Look for a single small subdiagonal entry.
            int k = i;
            for (; k >= l + 1; --k) {
                if (DCABS1(&H(k, k - 1)) <= smlnum) break;
                double tst = DCABS1(&H(k - 1, k - 1)) + DCABS1(&H(k, k));
                if (tst == rzero) {
                    if (k - 2 >= ILO) tst = tst + std::fabs(H(k - 1, k - 2).re);
                    if (k + 1 <= IHI) tst = tst + std::fabs(H(k + 1, k).re);
                }
                if (std::fabs(H(k, k - 1).re) <= ulp * tst) {
                    // The conservative test: compare the entry with the 2-by-2
                    // block it belongs to, so that a small entry next to small
                    // eigenvalues is not discarded too early.
                    const double sub = DCABS1(&H(k, k - 1));
                    const double sup = DCABS1(&H(k - 1, k));
                    const double ab = max_nan_second(sub, sup);
                    const double ba = min_nan_second(sub, sup);
                    const zcomplex diff = H(k - 1, k - 1) - H(k, k);
                    const double dkk = DCABS1(&H(k, k));
                    const double ddf = DCABS1(&diff);
                    const double aa = max_nan_second(dkk, ddf);
                    const double bb = min_nan_second(dkk, ddf);
                    const double s = aa + ab;
                    if (ba * (ab / s) <= max_nan_second(smlnum, ulp * (bb * (aa / s)))) break;
                }
            }
            l = k;
            if (l > ILO) H(l, l - 1) = zc(0.0, 0.0);  // the entry is negligible

            if (l >= i) {
                converged = true;
                break;
            }

            // Without WANTT only the active block is transformed.
            if (!WANTT) {
                i1 = l;
                i2 = i;
            }

            ++kdefl;
            zcomplex t;  // the shift
            if (kdefl % (2 * kexsh) == 0) {
                // Exceptional shift at the bottom of the block.
                const double s = dat1 * std::fabs(H(i, i - 1).re);
                t = zc(s, 0.0) + H(i, i);
            } else if (kdefl % kexsh == 0) {
                // Exceptional shift at the top of the block.
                const double s = dat1 * std::fabs(H(l + 1, l).re);
                t = zc(s, 0.0) + H(l, l);
            } else {
                // Wilkinson-type shift: the eigenvalue of the trailing 2-by-2
                // block closer to H(I, I).
                t = H(i, i);
                const zcomplex u = zsqrt(H(i - 1, i)) * zsqrt(H(i, i - 1));
                double s = DCABS1(&u);
                if (s != rzero) {
                    const zcomplex x = scale(half, H(i - 1, i - 1) - t);
                    const double sx = DCABS1(&x);
                    s = max_nan_second(s, sx);
                    const zcomplex xs = div_real(x, s);
                    const zcomplex us = div_real(u, s);
                    zcomplex y = scale(s, zsqrt(xs * xs + us * us));
                    if (sx > rzero) {
                        const zcomplex xn = div_real(x, sx);
                        if (xn.re * y.re + xn.im * y.im < rzero) y = -y;
                    }
                    const zcomplex den = x + y;
                    t = t - u * zladiv(u, den);
                }
            }

            // Look for two consecutive small subdiagonal entries, so that the
            // step can start below L.
            zcomplex v[2];
            auto start_vector = [&](int m) {
                const zcomplex h11 = H(m, m);
                zcomplex h11s = h11 - t;
                double h21 = H(m + 1, m).re;
                const double s = DCABS1(&h11s) + std::fabs(h21);
                h11s = div_real(h11s, s);
                h21 = h21 / s;
                v[0] = h11s;
                v[1] = zc(h21, 0.0);
                return h21;
            };
            int m = i - 1;
            for (; m >= l + 1; --m) {
                const double h21 = start_vector(m);
                const zcomplex h11 = H(m, m);
                const zcomplex h22 = H(m + 1, m + 1);
                const double h10 = H(m, m - 1).re;
                if (std::fabs(h10) * std::fabs(h21) <=
                    ulp * (DCABS1(&v[0]) * (DCABS1(&h11) + DCABS1(&h22))))
                    break;
            }
            if (m == l) start_vector(l);

            // The single-shift QR step: a chain of 2-element reflectors that
            // chases the bulge from row M down to row I.
            //
            // Reflector KK acts from the left on rows KK and KK+1, columns
            // J = KK..I2: sum = conj(t1)*H(KK, J) + t2*H(KK+1, J),
            // H(KK, J) -= sum, H(KK+1, J) -= sum*v2; and from the right on
            // columns KK and KK+1, rows J = I1..min(KK+2, I) (and rows
            // ILOZ..IHIZ of Z): sum = t1*H(J, KK) + t2*H(J, KK+1),
            // H(J, KK) -= sum, H(J, KK+1) -= sum*conj(v2). Each element
            // receives these operations in this order, reflector after
            // reflector. The next reflector is formed from H(KK+1, KK) and
            // H(KK+2, KK) alone, which are final once the updates have
            // reached rows and columns KK..KK+2; so the step updates that
            // corner first, generates the next reflector, and only then
            // updates the rest of the two rows and columns (which the next
            // reflector does not read), letting the processor overlap the
            // generator's chain of divisions and square roots with those
            // independent updates. The long updates go through the vector
            // engine, several columns (rows) per register.
            struct Refl {
                zcomplex t1, v2;
                double t2;
            };
            auto generate = [&](int kk) {
                if (kk > m) {
                    v[0] = H(kk, kk - 1);
                    v[1] = H(kk + 1, kk - 1);
                }
                Refl r;
                zlarfg(2, v[0], &v[1], 1, r.t1);
                if (kk > m) {
                    H(kk, kk - 1) = v[0];
                    H(kk + 1, kk - 1) = zc(0.0, 0.0);
                }
                r.v2 = v[1];
                r.t2 = (r.t1 * r.v2).re;
                return r;
            };
            auto apply = [](zcomplex& x1, zcomplex& x2, zcomplex a, double t2, zcomplex b) {
                const zcomplex sum = a * x1 + scale(t2, x2);
                x1 = x1 - sum;
                x2 = x2 - sum * b;
            };
            Refl cur = generate(m);
            for (int kk = m; kk <= i - 1; ++kk) {
                const zcomplex t1 = cur.t1, v2 = cur.v2, ct1 = conj(t1), cv2 = conj(v2);
                const double t2 = cur.t2;
                const int jend = std::min(kk + 2, i);

                // The corner: columns KK, KK+1 from the left, then rows
                // KK..JEND from the right.
                for (int j = kk; j <= kk + 1; ++j) apply(H(kk, j), H(kk + 1, j), ct1, t2, v2);
                for (int j = kk; j <= jend; ++j) apply(H(j, kk), H(j, kk + 1), t1, t2, cv2);

                const zcomplex one_minus_tau = zc(1.0, 0.0) - t1;
                const bool rescale = kk == m && m > l && !is_zero(one_minus_tau);
                const bool more = kk + 1 <= i - 1;
                // The rescaling below changes H(M+1, M): the next reflector
                // then waits for it.
                if (more && !rescale) cur = generate(kk + 1);

                // The rest: columns KK+2..I2 from the left, rows I1..KK-1
                // from the right, and Z.
                if (i2 > kk + 1) {
                    refl2_apply(isa, Refl2Args{i2 - kk - 1, &H(kk, kk + 2), &H(kk + 1, kk + 2), LDH,
                                               ct1, t2, v2});
                }
                if (kk > i1) {
                    refl2_apply(isa,
                                Refl2Args{kk - i1, &H(i1, kk), &H(i1, kk + 1), 1, t1, t2, cv2});
                }
                if (WANTZ && nz > 0) {
                    refl2_apply(isa, Refl2Args{nz, &Z(ILOZ, kk), &Z(ILOZ, kk + 1), 1, t1, t2, cv2});
                }

                if (rescale) {
                    // The step started below L: H(M, M-1) was left out of the
                    // first reflector. A diagonal unitary similarity by the
                    // unit factor of 1 - tau keeps it real. When tau is
                    // exactly 1 (the shift equals H(M, M), the reflector
                    // swaps rows M and M+1) that factor has no phase: the
                    // reflector takes H(M, M-1) to zero, nothing is left to
                    // make real, and dividing by |1 - tau| = 0 would put NaN
                    // into H. The rescaling is then skipped.
                    zcomplex temp = div_real(one_minus_tau, zabs(one_minus_tau));
                    H(m + 1, m) = H(m + 1, m) * conj(temp);
                    if (m + 2 <= i) H(m + 2, m + 1) = H(m + 2, m + 1) * temp;
                    for (int j = m; j <= i; ++j) {
                        if (j == m + 1) continue;
                        if (i2 > j) scal(i2 - j, temp, &H(j, j + 1), LDH);
                        scal(j - i1, conj(temp), &H(i1, j), 1);
                        if (WANTZ) scal(nz, conj(temp), &Z(ILOZ, j), 1);
                    }
                    if (more) cur = generate(kk + 1);
                }
            }

            // The step leaves H(I, I-1) complex: make it real again.
            zcomplex temp = H(i, i - 1);
            if (temp.im != rzero) {
                const double rtemp = zabs(temp);
                H(i, i - 1) = zc(rtemp, 0.0);
                temp = div_real(temp, rtemp);
                if (i2 > i) scal(i2 - i, conj(temp), &H(i, i + 1), LDH);
                scal(i - i1, temp, &H(i1, i), 1);
                if (WANTZ) scal(nz, temp, &Z(ILOZ, i), 1);
            }
        }

        if (!converged) {
            // The iteration limit for this position ran out.
            *info = i;
            return;
        }

        // H(I, I-1) is negligible (or L = I after a split): one eigenvalue
        // has converged.
        w[i - 1] = H(i, i);
        i = l - 1;
    }
}

}  // namespace qiv
