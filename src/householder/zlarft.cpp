// ZLARFT: the triangular factor T of a block reflector built from K
// elementary reflectors, H = I - V*T*V^H (columnwise) or I - V^H*T*V
// (rowwise), for the forward product H(1)...H(K) (T upper triangular) or the
// backward product H(K)...H(1) (T lower triangular).
//
// The reflectors are split in halves; each half's factor comes from a
// recursive call and the off-diagonal block B joining them is
// B = -T11*(V1^H*V2)*T22 (forward) or -T22*(V2^H*V1)*T11 (backward), formed
// with a triangular multiply by the unit block of V, one general multiply-add
// over the remaining rows (columns) of V, and two triangular multiplies by the
// diagonal blocks of T. Only T's own triangle is written.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "householder/householder.h"
#include "kernels/gemm.h"
#include "kernels/matutil.h"
#include "kernels/trmat.h"

namespace qiv {

void ZLARFT(const char* direct, const char* storev, const int* n, const int* k, const zcomplex* v,
            const int* ldv, const zcomplex* tau, zcomplex* t, const int* ldt) {
    const int N = *n, K = *k, LDV = *ldv, LDT = *ldt;
    if (N == 0 || K == 0) return;
    if (N == 1 || K == 1) {
        t[0] = tau[0];
        return;
    }

    const int l = K / 2;
    const int kl = K - l;  // size of the second half (forward) or first half (backward)
    const int nl = N - l;
    const int nk = N - K;
    const zcomplex one = zc(1.0, 0.0);
    const zcomplex neg_one = zc(-1.0, 0.0);
    const bool forward = LSAME(direct, "F");
    const bool columnwise = LSAME(storev, "C");

    if (forward) {
        // T = [T11 B; 0 T22], T11 of order l, T22 of order K - l; B = T(1:l, l+1:K).
        ZLARFT(direct, storev, n, &l, v, ldv, tau, t, ldt);
        ZLARFT(direct, storev, &nl, &kl, v + at(l + 1, l + 1, LDV), ldv, tau + l,
               t + at(l + 1, l + 1, LDT), ldt);
        zcomplex* b = t + at(1, l + 1, LDT);
        if (columnwise) {
            // B := V(l+1:K, 1:l)^H
            for (int i = 1; i <= kl; ++i)
                for (int j = 1; j <= l; ++j) t[at(j, l + i, LDT)] = conj(v[at(l + i, j, LDV)]);
            // B := B * V(l+1:K, l+1:K), unit lower
            ZTRMM("Right", "Lower", "No transpose", "Unit", &l, &kl, &one,
                  v + at(l + 1, l + 1, LDV), ldv, b, ldt);
            // B += V(K+1:N, 1:l)^H * V(K+1:N, l+1:K)
            ZGEMM("Conjugate", "No transpose", &l, &kl, &nk, &one, v + at(K + 1, 1, LDV), ldv,
                  v + at(K + 1, l + 1, LDV), ldv, &one, b, ldt);
        } else {
            // B := V(1:l, l+1:K)
            ZLACPY("All", &l, &kl, v + at(1, l + 1, LDV), ldv, b, ldt);
            // B := B * V(l+1:K, l+1:K)^H, unit upper
            ZTRMM("Right", "Upper", "Conjugate", "Unit", &l, &kl, &one, v + at(l + 1, l + 1, LDV),
                  ldv, b, ldt);
            // B += V(1:l, K+1:N) * V(l+1:K, K+1:N)^H
            ZGEMM("No transpose", "Conjugate", &l, &kl, &nk, &one, v + at(1, K + 1, LDV), ldv,
                  v + at(l + 1, K + 1, LDV), ldv, &one, b, ldt);
        }
        // B := -T11 * B, then B := B * T22
        ZTRMM("Left", "Upper", "No transpose", "Non-unit", &l, &kl, &neg_one, t, ldt, b, ldt);
        ZTRMM("Right", "Upper", "No transpose", "Non-unit", &l, &kl, &one,
              t + at(l + 1, l + 1, LDT), ldt, b, ldt);
    } else {
        // T = [T11 0; B T22], T11 of order K - l (first reflectors), T22 of
        // order l (last reflectors); B = T(K-l+1:K, 1:K-l).
        const int q = kl + 1;  // first row/column of the second half
        if (columnwise) {
            ZLARFT(direct, storev, &nl, &kl, v, ldv, tau, t, ldt);
            ZLARFT(direct, storev, n, &l, v + at(1, q, LDV), ldv, tau + kl, t + at(q, q, LDT), ldt);
        } else {
            ZLARFT(direct, storev, &nl, &kl, v, ldv, tau, t, ldt);
            ZLARFT(direct, storev, n, &l, v + at(q, 1, LDV), ldv, tau + kl, t + at(q, q, LDT), ldt);
        }
        zcomplex* b = t + at(q, 1, LDT);
        if (columnwise) {
            // B := V(N-K+1:N-l, K-l+1:K)^H
            for (int j = 1; j <= kl; ++j)
                for (int i = 1; i <= l; ++i)
                    t[at(kl + i, j, LDT)] = conj(v[at(nk + j, kl + i, LDV)]);
            // B := B * V(N-K+1:N-l, 1:K-l), unit upper
            ZTRMM("Right", "Upper", "No transpose", "Unit", &l, &kl, &one, v + at(nk + 1, 1, LDV),
                  ldv, b, ldt);
            // B += V(1:N-K, K-l+1:K)^H * V(1:N-K, 1:K-l)
            ZGEMM("Conjugate", "No transpose", &l, &kl, &nk, &one, v + at(1, q, LDV), ldv, v, ldv,
                  &one, b, ldt);
        } else {
            // B := V(K-l+1:K, N-K+1:N-l)
            ZLACPY("All", &l, &kl, v + at(q, nk + 1, LDV), ldv, b, ldt);
            // B := B * V(1:K-l, N-K+1:N-l)^H, unit lower
            ZTRMM("Right", "Lower", "Conjugate", "Unit", &l, &kl, &one, v + at(1, nk + 1, LDV), ldv,
                  b, ldt);
            // B += V(K-l+1:K, 1:N-K) * V(1:K-l, 1:N-K)^H
            ZGEMM("No transpose", "Conjugate", &l, &kl, &nk, &one, v + at(q, 1, LDV), ldv, v, ldv,
                  &one, b, ldt);
        }
        // B := -T22 * B, then B := B * T11
        ZTRMM("Left", "Lower", "No transpose", "Non-unit", &l, &kl, &neg_one, t + at(q, q, LDT),
              ldt, b, ldt);
        ZTRMM("Right", "Lower", "No transpose", "Non-unit", &l, &kl, &one, t, ldt, b, ldt);
    }
}

}  // namespace qiv
