// ZLAQR5: one multishift QR sweep on the active block KTOP..KBOT of an upper
// Hessenberg matrix. Each pair of shifts drives a 3-by-3 bulge; the bulges
// travel down the diagonal together as a chain packed two columns apart. A
// bulge that reaches the bottom with room for a 2-by-2 bulge only leaves
// through a 2-element reflector.
//
// Near the diagonal every reflector is applied element by element, each
// element receiving exactly the operations of the plain loop; the vector
// engine (kernels/vector_engine.h) handles several rows or columns per
// register, and applies the chain's left updates (and its accumulation into
// U or Z) bulge after bulge with each row or column held in registers. With
// accumulation (KACC22 = 1 or 2) the right-hand transformations of one
// passage of the chain over the columns INCOL+1..INCOL+KDU are collected in
// the KDU-by-KDU unitary U, and the rows above and the columns right of the
// window (and Z) receive them afterwards as matrix products, in slabs of NV
// rows and NH columns formed in WV and WH and copied back.
//
// Column INCOL may lie before KTOP and INCOL+KDU beyond KBOT: those are
// phantom columns from which bulges enter and into which they leave. No
// element outside the matrices is ever addressed for them.
#include <algorithm>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "frame/complex.h"
#include "householder/householder.h"
#include "householder/zlarfg.h"
#include "kernels/gemm.h"
#include "kernels/matutil.h"
#include "kernels/vector_engine.h"

namespace qiv {

namespace {

// Column-major matrix with 1-based element access.
struct View {
    zcomplex* p;
    int ld;
    zcomplex& operator()(int i, int j) const { return p[at(i, j, ld)]; }
};

inline double cabs1(zcomplex z) { return DCABS1(&z); }

// Right application of the 3-element reflector vm = (tau, v2, v3) to
// columns c+1..c+3 of X, rows j1..j2: X := X*(I - tau*v*v^H).
void right3(View x, int j1, int j2, int c, const zcomplex* vm) {
    const zcomplex t1 = vm[0];
    const zcomplex t2 = t1 * conj(vm[1]);
    const zcomplex t3 = t1 * conj(vm[2]);
    // Row j: refsum = x1 + v2*x2 + v3*x3, then x_k -= refsum*t_k; the rows
    // are independent and go through the vector engine several at a time.
    if (j2 < j1) return;
    refl3_apply(best_isa(), Refl3Args{j2 - j1 + 1, &x(j1, c + 1), &x(j1, c + 2), &x(j1, c + 3), 1,
                                      vm[1], vm[2], t1, t2, t3});
}

// Left application of the conjugate transpose of the 3-element reflector to
// rows r+1..r+3 of H, columns j1..j2: H := (I - conj(tau)*v*v^H)*H.
void left3(View h, int r, int j1, int j2, const zcomplex* vm) {
    const zcomplex t1 = conj(vm[0]);
    const zcomplex t2 = t1 * vm[1];
    const zcomplex t3 = t1 * vm[2];
    const zcomplex c2 = conj(vm[1]);
    const zcomplex c3 = conj(vm[2]);
    // Column j: refsum = x1 + conj(v2)*x2 + conj(v3)*x3, then x_k -=
    // refsum*t_k; the columns are independent and go through the vector
    // engine several at a time.
    if (j2 < j1) return;
    zcomplex* x1 = &h(r + 1, j1);
    refl3_apply(best_isa(), Refl3Args{j2 - j1 + 1, x1, x1 + 1, x1 + 2, h.ld, c2, c3, t1, t2, t3});
}

// Right application of the 2-element reflector (tau, v2) to columns c+1, c+2
// of U or Z, rows j1..j2, in the form tau*(x1 + v2*x2).
void right2_accumulated(View x, int j1, int j2, int c, const zcomplex* vm) {
    const zcomplex cv2 = conj(vm[1]);
    for (int j = j1; j <= j2; ++j) {
        zcomplex& x1 = x(j, c + 1);
        zcomplex& x2 = x(j, c + 2);
        const zcomplex refsum = vm[0] * (x1 + vm[1] * x2);
        x1 = x1 - refsum;
        x2 = x2 - refsum * cv2;
    }
}

struct Limits {
    int ktop, kbot;
    double smlnum, ulp;
};

// Deflation test on the subdiagonal entry H(K+1, K) just produced by a bulge
// step: a negligible entry is set to exactly zero, so that the driver splits
// the matrix there afterwards. The neighbour-based criterion compares it with
// the diagonal entries and the size of the 2-by-2 block around it.
void deflate_in_sweep(View h, int k, const Limits& lim) {
    if (is_zero(h(k + 1, k))) return;
    double tst1 = cabs1(h(k, k)) + cabs1(h(k + 1, k + 1));
    if (tst1 == 0.0) {
        if (k >= lim.ktop + 1) tst1 = tst1 + cabs1(h(k, k - 1));
        if (k >= lim.ktop + 2) tst1 = tst1 + cabs1(h(k, k - 2));
        if (k >= lim.ktop + 3) tst1 = tst1 + cabs1(h(k, k - 3));
        if (k <= lim.kbot - 2) tst1 = tst1 + cabs1(h(k + 2, k + 1));
        if (k <= lim.kbot - 3) tst1 = tst1 + cabs1(h(k + 3, k + 1));
        if (k <= lim.kbot - 4) tst1 = tst1 + cabs1(h(k + 4, k + 1));
    }
    const double sub = cabs1(h(k + 1, k));
    if (!(sub <= max_nan_second(lim.smlnum, lim.ulp * tst1))) return;
    const double sup = cabs1(h(k, k + 1));
    const double h12 = max_nan_second(sub, sup);
    const double h21 = min_nan_second(sub, sup);
    const double d2 = cabs1(h(k + 1, k + 1));
    const double dd = cabs1(h(k, k) - h(k + 1, k + 1));
    const double h11 = max_nan_second(d2, dd);
    const double h22 = min_nan_second(d2, dd);
    const double scl = h11 + h12;
    const double tst2 = h22 * (h11 / scl);
    if (tst2 == 0.0 || h21 * (h12 / scl) <= max_nan_second(lim.smlnum, lim.ulp * tst2)) {
        h(k + 1, k) = zc(0.0, 0.0);
    }
}

}  // namespace

void ZLAQR5(const int* wantt, const int* wantz, const int* kacc22, const int* n, const int* ktop,
            const int* kbot, const int* nshfts, const zcomplex* s, zcomplex* h, const int* ldh,
            const int* iloz, const int* ihiz, zcomplex* z, const int* ldz, zcomplex* v,
            const int* ldv, zcomplex* u, const int* ldu, const int* nv, zcomplex* wv,
            const int* ldwv, const int* nh, zcomplex* wh, const int* ldwh) {
    const int N = *n, KTOP = *ktop, KBOT = *kbot, NSHFTS = *nshfts;
    if (NSHFTS < 2 || KTOP >= KBOT) return;

    const bool WANTT = *wantt != 0, WANTZ = *wantz != 0;
    const int ILOZ = *iloz, IHIZ = *ihiz, LDV = *ldv;
    const View H{h, *ldh};

    // An odd shift count drops its last shift; each pair drives one bulge.
    const int nbmps = (NSHFTS - NSHFTS % 2) / 2;
    const int kdu = 4 * nbmps;
    const int chain = 2 * nbmps;  // columns the chain covers, and one passage's step

    const double safmin = mach_sfmin;
    const double ulp = mach_prec;
    const Limits lim{KTOP, KBOT, (static_cast<double>(N) / ulp) * safmin, ulp};
    const bool accum = *kacc22 == 1 || *kacc22 == 2;

    const zcomplex zero = zc(0.0, 0.0);
    const zcomplex one = zc(1.0, 0.0);
    const int two = 2, three = 3;

    // The first bulge's fill reaches H(KTOP+2, KTOP): clear whatever is there.
    if (KTOP + 2 <= KBOT) H(KTOP + 2, KTOP) = zero;

    for (int incol = KTOP - chain + 1; incol <= KBOT - 2; incol += chain) {
        // First row of the right-hand updates within the passage.
        const int jtop = accum ? std::max(KTOP, incol) : (WANTT ? 1 : KTOP);
        const int ndcol = incol + kdu;
        if (accum) ZLASET("ALL", &kdu, &kdu, &zero, &one, u, ldu);
        const View U{u, accum ? *ldu : 1};

        const int krlast = std::min(incol + chain - 1, KBOT - 2);
        for (int krcol = incol; krcol <= krlast; ++krcol) {
            // Active bulges MTOP..MBOT; a bulge M22 = MBOT+1 sitting at
            // KBOT-2 has room for a 2-by-2 bulge only.
            const int mtop = std::max(1, (KTOP - krcol) / 2 + 1);
            const int mbot = std::min(nbmps, (KBOT - krcol - 1) / 2);
            const int m22 = mbot + 1;
            const bool bmp22 = mbot < nbmps && krcol + 2 * (m22 - 1) == KBOT - 2;
            // Last column of the left-hand updates within the passage.
            const int jbot = accum ? std::min(ndcol, KBOT) : (WANTT ? N : KBOT);

            if (bmp22) {
                const int k = krcol + 2 * (m22 - 1);
                zcomplex* vm = v + at(1, m22, LDV);
                if (k == KTOP - 1) {
                    ZLAQR1(&two, &H(k + 1, k + 1), ldh, s + (2 * m22 - 2), s + (2 * m22 - 1), vm);
                    zcomplex beta = vm[0];
                    zlarfg(2, beta, vm + 1, 1, vm[0]);
                } else {
                    zcomplex beta = H(k + 1, k);
                    vm[1] = H(k + 2, k);
                    zlarfg(2, beta, vm + 1, 1, vm[0]);
                    H(k + 1, k) = beta;
                    H(k + 2, k) = zero;
                }

                {
                    const zcomplex t1 = vm[0];
                    const zcomplex t2 = t1 * conj(vm[1]);
                    const int jend = std::min(KBOT, k + 3);
                    for (int j = jtop; j <= jend; ++j) {
                        zcomplex& x1 = H(j, k + 1);
                        zcomplex& x2 = H(j, k + 2);
                        const zcomplex refsum = x1 + vm[1] * x2;
                        x1 = x1 - refsum * t1;
                        x2 = x2 - refsum * t2;
                    }
                }
                {
                    const zcomplex t1 = conj(vm[0]);
                    const zcomplex t2 = t1 * vm[1];
                    const zcomplex c2 = conj(vm[1]);
                    for (int j = k + 1; j <= jbot; ++j) {
                        zcomplex& x1 = H(k + 1, j);
                        zcomplex& x2 = H(k + 2, j);
                        const zcomplex refsum = x1 + c2 * x2;
                        x1 = x1 - refsum * t1;
                        x2 = x2 - refsum * t2;
                    }
                }

                if (k >= KTOP) deflate_in_sweep(H, k, lim);

                if (accum) {
                    right2_accumulated(U, std::max(1, KTOP - incol), kdu, k - incol, vm);
                } else if (WANTZ) {
                    right2_accumulated(View{z, *ldz}, ILOZ, IHIZ, k, vm);
                }
            }

            // The chain of 3-by-3 bulges, leading bulge first.
            //
            // Bulge M's right update reaches rows JTOP..K+3 of columns
            // K+1..K+3. The next bulge's reflector (M-1, at K-2) depends on
            // bulge M's through H(K+1, K) and the deflation test, which read
            // rows K-1..K+3 of those columns only (a collapsed bulge's
            // restart reads rows K-1..K+1); the rows above, JTOP..K-2, are
            // next touched by bulge M-1's right update. So those far rows
            // receive bulge M's update after bulge M-1's reflector has been
            // generated and before its update: the processor overlaps the
            // generator's chain of divisions and square roots with them.
            // Every element sees the same operations in the same order.
            int far_k = 0;                     // bulge whose far rows wait, at K = far_k
            const zcomplex* far_vm = nullptr;  // and its reflector
            for (int m = mbot; m >= mtop; --m) {
                const int k = krcol + 2 * (m - 1);
                zcomplex* vm = v + at(1, m, LDV);
                if (k == KTOP - 1) {
                    ZLAQR1(&three, &H(KTOP, KTOP), ldh, s + (2 * m - 2), s + (2 * m - 1), vm);
                    zcomplex alpha = vm[0];
                    zlarfg(3, alpha, vm + 1, 1, vm[0]);
                } else {
                    // Row K+3 has not yet received the previous reflector of
                    // this bulge from the right; its entries in columns K and
                    // K+1 were zero, so they are assigned.
                    {
                        const zcomplex t1 = vm[0];
                        const zcomplex t2 = t1 * conj(vm[1]);
                        const zcomplex t3 = t1 * conj(vm[2]);
                        const zcomplex refsum = vm[2] * H(k + 3, k + 2);
                        H(k + 3, k) = -(refsum * t1);
                        H(k + 3, k + 1) = -(refsum * t2);
                        H(k + 3, k + 2) = H(k + 3, k + 2) - refsum * t3;
                    }

                    zcomplex beta = H(k + 1, k);
                    vm[1] = H(k + 2, k);
                    vm[2] = H(k + 3, k);
                    zlarfg(3, beta, vm + 1, 1, vm[0]);

                    if (!is_zero(H(k + 3, k)) || !is_zero(H(k + 3, k + 1)) ||
                        is_zero(H(k + 3, k + 2))) {
                        H(k + 1, k) = beta;
                        H(k + 2, k) = zero;
                        H(k + 3, k) = zero;
                    } else {
                        // The bulge has collapsed. Start a fresh one from the
                        // same shifts and keep it only if the fill it leaves
                        // in column K is negligible.
                        zcomplex vt[3];
                        ZLAQR1(&three, &H(k + 1, k + 1), ldh, s + (2 * m - 2), s + (2 * m - 1), vt);
                        zcomplex alpha = vt[0];
                        zlarfg(3, alpha, vt + 1, 1, vt[0]);
                        const zcomplex t1 = conj(vt[0]);
                        const zcomplex t2 = t1 * vt[1];
                        const zcomplex t3 = t1 * vt[2];
                        const zcomplex refsum = H(k + 1, k) + conj(vt[1]) * H(k + 2, k);
                        const double fill = cabs1(H(k + 2, k) - refsum * t2) + cabs1(refsum * t3);
                        const double size =
                            cabs1(H(k, k)) + cabs1(H(k + 1, k + 1)) + cabs1(H(k + 2, k + 2));
                        if (fill > ulp * size) {
                            H(k + 1, k) = beta;
                            H(k + 2, k) = zero;
                            H(k + 3, k) = zero;
                        } else {
                            H(k + 1, k) = H(k + 1, k) - refsum * t1;
                            H(k + 2, k) = zero;
                            H(k + 3, k) = zero;
                            vm[0] = vt[0];
                            vm[1] = vt[1];
                            vm[2] = vt[2];
                        }
                    }
                }

                // The previous bulge's far rows, now that this reflector is
                // known.
                if (far_vm != nullptr) right3(H, jtop, far_k - 2, far_k, far_vm);

                // From the right within the window (rows K-1..K+3 now, the
                // rows above after the next reflector), then column K+1 from
                // the left; the other columns follow for all bulges together.
                right3(H, std::max(jtop, k - 1), std::min(KBOT, k + 3), k, vm);
                left3(H, k, k + 1, k + 1, vm);

                if (k >= KTOP) deflate_in_sweep(H, k, lim);
                far_k = k;
                far_vm = vm;
            }
            if (far_vm != nullptr) right3(H, jtop, far_k - 2, far_k, far_vm);

            // From the left, bulge M (leading bulge first) on its rows
            // K+1..K+3 of columns max(KTOP, KRCOL+2M)..JBOT. Each column sees
            // the bulges in that order; the vector engine carries a column's
            // rows in registers from one bulge to the next.
            const int jchain = std::max(KTOP, krcol + 2 * mtop);
            if (mtop <= mbot && jchain <= jbot) {
                const int ktop_row = krcol + 2 * (mbot - 1) + 1;  // row K+1 of the leading bulge
                refl3_chain(best_isa(),
                            Refl3ChainArgs{jbot - jchain + 1, &H(ktop_row, jchain), *ldh, 1,
                                           mbot - mtop + 1, v + at(1, mbot, LDV), -LDV,
                                           KTOP - jchain, krcol + 2 * mbot - jchain, true});
            }

            if (accum) {
                // Columns of U correspond to columns INCOL+1.. of H; rows
                // outside the bulges' current reach are still those of I.
                // Bulge M acts from the right on columns KMS+1..KMS+3 (KMS =
                // K - INCOL), rows J1(M)..J2 with J1(M) = max(1, KTOP-INCOL,
                // 2M-1); each row sees the bulges leading bulge first.
                const int j2 = std::min(kdu, krcol + 2 * (mbot - 1) - incol + 5);
                const int jlow = std::max(1, KTOP - incol);
                const int j1top = std::max(jlow, 2 * mtop - 1);
                if (mtop <= mbot && j1top <= j2) {
                    const int kms = krcol + 2 * (mbot - 1) - incol;
                    refl3_chain(best_isa(),
                                Refl3ChainArgs{j2 - j1top + 1, &U(j1top, kms + 1), 1, U.ld,
                                               mbot - mtop + 1, v + at(1, mbot, LDV), -LDV,
                                               jlow - j1top, 2 * mbot - 1 - j1top, false});
                }
            } else if (WANTZ) {
                // Every row ILOZ..IHIZ of Z sees every bulge, leading first.
                const View Z{z, *ldz};
                if (mtop <= mbot && ILOZ <= IHIZ) {
                    refl3_chain(best_isa(),
                                Refl3ChainArgs{
                                    IHIZ - ILOZ + 1, &Z(ILOZ, krcol + 2 * (mbot - 1) + 1), 1, Z.ld,
                                    mbot - mtop + 1, v + at(1, mbot, LDV), -LDV, 0, 0, false});
                }
            }
        }

        if (!accum) continue;

        // The passage's transformations reach the rest of H and Z through the
        // active NU-by-NU block of U, which acts on rows or columns
        // INCOL+K1 .. min(NDCOL, KBOT).
        const int jtop_far = WANTT ? 1 : KTOP;
        const int jbot_far = WANTT ? N : KBOT;
        const int k1 = std::max(1, KTOP - incol);
        const int nu = (kdu - std::max(0, ndcol - KBOT)) - k1 + 1;
        const zcomplex* uact = u + at(k1, k1, *ldu);
        const int NH = *nh, NV = *nv;

        for (int jcol = std::min(ndcol, KBOT) + 1; jcol <= jbot_far; jcol += NH) {
            const int jlen = std::min(NH, jbot_far - jcol + 1);
            zcomplex* hblk = &H(incol + k1, jcol);
            ZGEMM("C", "N", &nu, &jlen, &nu, &one, uact, ldu, hblk, ldh, &zero, wh, ldwh);
            ZLACPY("ALL", &nu, &jlen, wh, ldwh, hblk, ldh);
        }

        const int rowstop = std::max(KTOP, incol);
        for (int jrow = jtop_far; jrow <= rowstop - 1; jrow += NV) {
            const int jlen = std::min(NV, rowstop - jrow);
            zcomplex* hblk = &H(jrow, incol + k1);
            ZGEMM("N", "N", &jlen, &nu, &nu, &one, hblk, ldh, uact, ldu, &zero, wv, ldwv);
            ZLACPY("ALL", &jlen, &nu, wv, ldwv, hblk, ldh);
        }

        if (WANTZ) {
            const View Z{z, *ldz};
            for (int jrow = ILOZ; jrow <= IHIZ; jrow += NV) {
                const int jlen = std::min(NV, IHIZ - jrow + 1);
                zcomplex* zblk = &Z(jrow, incol + k1);
                ZGEMM("N", "N", &jlen, &nu, &nu, &one, zblk, ldz, uact, ldu, &zero, wv, ldwv);
                ZLACPY("ALL", &jlen, &nu, wv, ldwv, zblk, ldz);
            }
        }
    }
}

}  // namespace qiv
