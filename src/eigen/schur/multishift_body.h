// The multishift QR algorithm with aggressive early deflation, written once
// for ZLAQR0 and ZLAQR4.
//
// Each iteration finds the active block KTOP..KBOT (split at the lowest exact
// zero on the subdiagonal), runs aggressive early deflation on a trailing
// window and, unless that deflated enough eigenvalues, chases a chain of
// bulges down the block with ZLAQR5, using the undeflatable window
// eigenvalues as shifts. The window size follows a schedule: the tuned size
// while deflation works, doubling after KEXNW iterations without deflation,
// then shrinking step by step; every KEXSH-th iteration without deflation
// uses exceptional shifts instead.
//
// Scratch inside H: the deflation window's V, T and WV and the sweep's U, WV
// and WH live below the first subdiagonal of the caller's H (rows up to N,
// columns from 1). Whatever is stored there is overwritten by assignment
// before it is read. WORK holds the sweep's reflectors (3 rows) and the
// workspace of the deflation routine.
//
// The two routines differ in their name (for the tuning queries), in their
// deflation routine and in how they find extra shifts; the Driver type says:
//   static constexpr char name[7];            "ZLAQR0" or "ZLAQR4"
//   static void deflate(...);                 ZLAQR3 or ZLAQR2 (same arguments)
//   static void block_eigenvalues(const int* ns, int nmin, zcomplex* b,
//                                 const int* ldb, zcomplex* wb,
//                                 zcomplex* work, const int* lwork, int* inf);
//       eigenvalues of the NS-by-NS Hessenberg block B into WB(1..NS),
//       INF > 0 when the leading INF of them did not converge.
// ZLAQR0 deflates with ZLAQR3 (which may call ZLAQR4); ZLAQR4 deflates with
// ZLAQR2 and uses ZLAHQR alone, so there is no recursion.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "env/tuning.h"
#include "frame/complex.h"
#include "kernels/matutil.h"

namespace qiv {
namespace {

constexpr int kNtiny = 15;  // orders up to this go to ZLAHQR
constexpr int kKexnw = 5;   // window growth after this many iterations without deflation
constexpr int kKexsh = 6;   // exceptional shifts every this many iterations without one
constexpr double kWilk1 = 0.75;

template <class Driver>
void multishift_qr(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
                   zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz,
                   zcomplex* z, const int* ldz, zcomplex* work, const int* lwork, int* info) {
    const bool WANTT = *wantt != 0, WANTZ = *wantz != 0;
    const int N = *n, ILO = *ilo, IHI = *ihi, LDH = *ldh, LWORK = *lwork;
    const zcomplex zero = zc(0.0, 0.0), one = zc(1.0, 0.0);
    auto H = [&](int i, int j) -> zcomplex& { return h[at(i, j, LDH)]; };

    *info = 0;
    if (N == 0) {
        work[0] = one;
        return;
    }
    if (N <= kNtiny) {
        if (LWORK != -1) ZLAHQR(wantt, wantz, n, ilo, ihi, h, ldh, w, iloz, ihiz, z, ldz, info);
        work[0] = one;
        return;
    }

    const char jbcmpz[3] = {WANTT ? 'S' : 'E', WANTZ ? 'V' : 'N', '\0'};

    // Tuned deflation window and shift count, limited by the block and by
    // the room below the subdiagonal.
    int nwr = ilaenv(13, Driver::name, jbcmpz, N, ILO, IHI, LWORK);
    nwr = std::max(2, nwr);
    nwr = std::min({IHI - ILO + 1, (N - 1) / 3, nwr});
    int nsr = ilaenv(15, Driver::name, jbcmpz, N, ILO, IHI, LWORK);
    nsr = std::min({nsr, (N - 3) / 6, IHI - ILO});
    nsr = std::max(2, nsr - nsr % 2);

    // Workspace: the deflation routine's answer for a window of NWR+1, or
    // the sweep's reflectors, whichever is longer.
    {
        const int nwq = nwr + 1, query = -1;
        int ls = 0, ld = 0;
        Driver::deflate(wantt, wantz, n, ilo, ihi, &nwq, h, ldh, iloz, ihiz, z, ldz, &ls, &ld, w, h,
                        ldh, n, h, ldh, n, h, ldh, work, &query);
    }
    const int lwkopt = std::max(3 * nsr / 2, static_cast<int>(work[0].re));
    if (LWORK == -1) {
        work[0] = zc(static_cast<double>(lwkopt), 0.0);
        return;
    }

    const int nmin = std::max(kNtiny, ilaenv(12, Driver::name, jbcmpz, N, ILO, IHI, LWORK));
    const int nibble = std::max(0, ilaenv(14, Driver::name, jbcmpz, N, ILO, IHI, LWORK));
    const int kacc22 =
        std::min(2, std::max(0, ilaenv(16, Driver::name, jbcmpz, N, ILO, IHI, LWORK)));

    // Largest window and shift count that the workspace allows. 2*LWORK
    // exceeds 32 bits for a legal LWORK of 2^30 or more: both limits are
    // formed in 64 bits.
    const std::int64_t lw = LWORK;
    const int nwmax = static_cast<int>(std::min<std::int64_t>((N - 1) / 3, lw / 2));
    int nsmax = static_cast<int>(std::min<std::int64_t>((N - 3) / 6, 2 * lw / 3));
    nsmax -= nsmax % 2;

    int nw = nwmax;
    int ndfl = 1;   // iterations since the last deflation
    int ndec = -1;  // steers the shrinking of an enlarged window
    int kbot = IHI;
    const std::int64_t itmax = 30 * static_cast<std::int64_t>(std::max(10, IHI - ILO + 1));

    bool converged = false;
    for (std::int64_t it = 1; it <= itmax; ++it) {
        if (kbot < ILO) {
            converged = true;
            break;
        }

        // Active block: split at the lowest exactly zero subdiagonal entry.
        int ktop = ILO;
        for (int k = kbot; k >= ILO + 1; --k) {
            if (is_zero(H(k, k - 1))) {
                ktop = k;
                break;
            }
        }
        const int nh = kbot - ktop + 1;
        const int nwupbd = std::min(nh, nwmax);

        // Window size: tuned while deflation works, doubled otherwise; one
        // more when that puts a smaller subdiagonal entry at its top edge.
        nw = ndfl < kKexnw ? std::min(nwupbd, nwr) : std::min(nwupbd, 2 * nw);
        if (nw < nwmax) {
            if (nw >= nh - 1) {
                nw = nh;
            } else {
                const int kwtop = kbot - nw + 1;
                if (DCABS1(&H(kwtop, kwtop - 1)) > DCABS1(&H(kwtop - 1, kwtop - 2))) ++nw;
            }
        }
        // Once the window is as large as it gets, shrink it by growing steps.
        if (ndfl < kKexnw) {
            ndec = -1;
        } else if (ndec >= 0 || nw >= nwupbd) {
            ++ndec;
            if (nw - ndec < 2) ndec = 0;
            nw -= ndec;
        }

        // Aggressive early deflation; V in the lower-left NW-by-NW corner, T
        // along the bottom to its right, WV up the left edge above V.
        const int kv = N - nw + 1;
        const int kt = nw + 1;
        const int nho = (N - nw - 1) - kt + 1;
        const int kwv = nw + 2;
        const int nve = (N - nw) - kwv + 1;
        int ls = 0, ld = 0;
        Driver::deflate(wantt, wantz, n, &ktop, &kbot, &nw, h, ldh, iloz, ihiz, z, ldz, &ls, &ld, w,
                        &H(kv, 1), ldh, &nho, &H(kv, kt), ldh, &nve, &H(kwv, 1), ldh, work, lwork);

        kbot -= ld;
        int ks = kbot - ls + 1;

        // Sweep unless the deflation removed enough of the block.
        if (ld == 0 || (100 * ld <= nw * nibble && kbot - ktop + 1 > std::min(nmin, nwmax))) {
            int ns = std::min({nsmax, nsr, std::max(2, kbot - ktop)});
            ns -= ns % 2;

            if (ndfl % kKexsh == 0) {
                // Exceptional shifts, each pair from one diagonal entry.
                ks = kbot - ns + 1;
                for (int i = kbot; i >= ks + 1; i -= 2) {
                    const zcomplex& hii = H(i, i);
                    w[i - 1] = zc(hii.re + kWilk1 * DCABS1(&H(i, i - 1)), hii.im);
                    w[i - 2] = w[i - 1];
                }
            } else {
                // Too few shifts from the window: take the eigenvalues of a
                // copy of the trailing NS-by-NS block, made in the scratch
                // corner at the lower left.
                if (kbot - ks + 1 <= ns / 2) {
                    ks = kbot - ns + 1;
                    const int kc = N - ns + 1;
                    ZLACPY("A", &ns, &ns, &H(ks, ks), ldh, &H(kc, 1), ldh);
                    int inf = 0;
                    Driver::block_eigenvalues(&ns, nmin, &H(kc, 1), ldh, w + (ks - 1), work, lwork,
                                              &inf);
                    ks += inf;

                    // Fewer than two converged: the eigenvalues of the
                    // trailing 2-by-2 block, scaled. An exactly zero block
                    // has the double eigenvalue 0.
                    if (ks >= kbot) {
                        const zcomplex a = H(kbot - 1, kbot - 1), c = H(kbot, kbot - 1),
                                       b = H(kbot - 1, kbot), d = H(kbot, kbot);
                        const double s = DCABS1(&a) + DCABS1(&c) + DCABS1(&b) + DCABS1(&d);
                        if (s == 0.0) {
                            w[kbot - 2] = zero;
                            w[kbot - 1] = zero;
                        } else {
                            const zcomplex aa = zc(a.re / s, a.im / s);
                            const zcomplex cc = zc(c.re / s, c.im / s);
                            const zcomplex bb = zc(b.re / s, b.im / s);
                            const zcomplex dd = zc(d.re / s, d.im / s);
                            const zcomplex sum = aa + dd;
                            const zcomplex tr2 = zc(sum.re / 2.0, sum.im / 2.0);
                            const zcomplex det = (aa - tr2) * (dd - tr2) - bb * cc;
                            const zcomplex rtdisc = zsqrt(-det);
                            w[kbot - 2] = scale(s, tr2 + rtdisc);
                            w[kbot - 1] = scale(s, tr2 - rtdisc);
                        }
                        ks = kbot - 1;
                    }
                }

                // More shifts than needed: sort by decreasing size (bubble
                // sort, stopping after a pass without a swap), so that the
                // smallest are used.
                if (kbot - ks + 1 > ns) {
                    for (int k = kbot; k >= ks + 1; --k) {
                        bool sorted = true;
                        for (int i = ks; i <= k - 1; ++i) {
                            if (DCABS1(&w[i - 1]) < DCABS1(&w[i])) {
                                sorted = false;
                                std::swap(w[i - 1], w[i]);
                            }
                        }
                        if (sorted) break;
                    }
                }

                // Exactly two shifts: use the one nearer H(KBOT, KBOT) twice.
                if (kbot - ks + 1 == 2) {
                    const zcomplex d2 = w[kbot - 1] - H(kbot, kbot);
                    const zcomplex d1 = w[kbot - 2] - H(kbot, kbot);
                    if (DCABS1(&d2) < DCABS1(&d1))
                        w[kbot - 2] = w[kbot - 1];
                    else
                        w[kbot - 1] = w[kbot - 2];
                }
            }

            ns = std::min(ns, kbot - ks + 1);
            ns -= ns % 2;
            ks = kbot - ns + 1;

            // The sweep; U in the lower-left KDU-by-KDU corner, WV up the
            // left edge above it, WH along the bottom to its right.
            const int kdu = 2 * ns;
            const int ku = N - kdu + 1;
            const int kwh = kdu + 1;
            const int nhs = (N - kdu + 1 - 4) - (kdu + 1) + 1;
            const int kwvs = kdu + 4;
            const int nvs = N - kdu - kwvs + 1;
            const int ldv = 3;
            ZLAQR5(wantt, wantz, &kacc22, n, &ktop, &kbot, &ns, w + (ks - 1), h, ldh, iloz, ihiz, z,
                   ldz, work, &ldv, &H(ku, 1), ldh, &nvs, &H(kwvs, 1), ldh, &nhs, &H(ku, kwh), ldh);
        }

        ndfl = ld > 0 ? 1 : ndfl + 1;
    }

    // The limit is a count of iterations: once it has run out the last row
    // of the unfinished block is reported.
    if (!converged) *info = kbot;
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
}

}  // namespace
}  // namespace qiv
