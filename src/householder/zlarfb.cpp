// ZLARFB: applies a block reflector H = I - V*T*V^H (columnwise V) or
// I - V^H*T*V (rowwise V), or its conjugate transpose, to C from the left or
// the right.
//
// Every case runs the same seven steps on an N-by-K (left) or M-by-K (right)
// work matrix W: copy the rows (columns) of C that meet the unit block of V
// into W (conjugated for the left side), multiply by the unit block, add the
// product with the rest of C and V, multiply by op(T), subtract the rest of
// the update from C, multiply W by the unit block again and finally subtract
// W from the copied rows (columns) of C.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "householder/householder.h"
#include "kernels/gemm.h"
#include "kernels/trmat.h"
#include "kernels/vector.h"

namespace qiv {

namespace {

// W(:, j) := conj(C(r0 + j, 1:ncols)) for j = 1..k: rows of C, conjugated.
void copy_rows_conj(int k, int ncols, const zcomplex* c, int ldc, int r0, zcomplex* w, int ldw) {
    const int one = 1;
    for (int j = 1; j <= k; ++j) {
        ZCOPY(&ncols, c + at(r0 + j, 1, ldc), &ldc, w + at(1, j, ldw), &one);
        ZLACGV(&ncols, w + at(1, j, ldw), &one);
    }
}

// W(:, j) := C(1:nrows, c0 + j) for j = 1..k: columns of C.
void copy_cols(int k, int nrows, const zcomplex* c, int ldc, int c0, zcomplex* w, int ldw) {
    const int one = 1;
    for (int j = 1; j <= k; ++j)
        ZCOPY(&nrows, c + at(1, c0 + j, ldc), &one, w + at(1, j, ldw), &one);
}

// C(r0 + j, i) -= conj(W(i, j)), j = 1..k, i = 1..ncols.
void sub_rows_conj(int k, int ncols, const zcomplex* w, int ldw, zcomplex* c, int ldc, int r0) {
    for (int j = 1; j <= k; ++j)
        for (int i = 1; i <= ncols; ++i) {
            zcomplex& cji = c[at(r0 + j, i, ldc)];
            cji = cji - conj(w[at(i, j, ldw)]);
        }
}

// C(i, c0 + j) -= W(i, j), j = 1..k, i = 1..nrows.
void sub_cols(int k, int nrows, const zcomplex* w, int ldw, zcomplex* c, int ldc, int c0) {
    for (int j = 1; j <= k; ++j)
        for (int i = 1; i <= nrows; ++i) {
            zcomplex& cij = c[at(i, c0 + j, ldc)];
            cij = cij - w[at(i, j, ldw)];
        }
}

}  // namespace

void ZLARFB(const char* side, const char* trans, const char* direct, const char* storev,
            const int* m, const int* n, const int* k, const zcomplex* v, const int* ldv,
            const zcomplex* t, const int* ldt, zcomplex* c, const int* ldc, zcomplex* work,
            const int* ldwork) {
    const int M = *m, N = *n, K = *k;
    const int LDV = *ldv, LDC = *ldc, LDW = *ldwork;
    if (M <= 0 || N <= 0) return;

    const char* transt = LSAME(trans, "N") ? "C" : "N";
    const zcomplex one = zc(1.0, 0.0);
    const zcomplex neg_one = zc(-1.0, 0.0);
    const bool forward = LSAME(direct, "F");
    const bool left = LSAME(side, "L");
    const bool right = LSAME(side, "R");
    const int mk = M - K;
    const int nk = N - K;

    if (LSAME(storev, "C")) {
        if (forward) {
            // V = [V1; V2], V1 = V(1:K, 1:K) unit lower triangular.
            if (left) {
                // H*C or H^H*C, C = [C1; C2], W = C1^H (N-by-K).
                copy_rows_conj(K, N, c, LDC, 0, work, LDW);
                ZTRMM("Right", "Lower", "No transpose", "Unit", n, k, &one, v, ldv, work, ldwork);
                if (M > K)
                    ZGEMM("Conjugate transpose", "No transpose", n, k, &mk, &one,
                          c + at(K + 1, 1, LDC), ldc, v + at(K + 1, 1, LDV), ldv, &one, work,
                          ldwork);
                ZTRMM("Right", "Upper", transt, "Non-unit", n, k, &one, t, ldt, work, ldwork);
                if (M > K)
                    ZGEMM("No transpose", "Conjugate transpose", &mk, n, k, &neg_one,
                          v + at(K + 1, 1, LDV), ldv, work, ldwork, &one, c + at(K + 1, 1, LDC),
                          ldc);
                ZTRMM("Right", "Lower", "Conjugate transpose", "Unit", n, k, &one, v, ldv, work,
                      ldwork);
                sub_rows_conj(K, N, work, LDW, c, LDC, 0);
            } else if (right) {
                // C*H or C*H^H, C = [C1 C2], W = C1 (M-by-K).
                copy_cols(K, M, c, LDC, 0, work, LDW);
                ZTRMM("Right", "Lower", "No transpose", "Unit", m, k, &one, v, ldv, work, ldwork);
                if (N > K)
                    ZGEMM("No transpose", "No transpose", m, k, &nk, &one, c + at(1, K + 1, LDC),
                          ldc, v + at(K + 1, 1, LDV), ldv, &one, work, ldwork);
                ZTRMM("Right", "Upper", trans, "Non-unit", m, k, &one, t, ldt, work, ldwork);
                if (N > K)
                    ZGEMM("No transpose", "Conjugate transpose", m, &nk, k, &neg_one, work, ldwork,
                          v + at(K + 1, 1, LDV), ldv, &one, c + at(1, K + 1, LDC), ldc);
                ZTRMM("Right", "Lower", "Conjugate transpose", "Unit", m, k, &one, v, ldv, work,
                      ldwork);
                sub_cols(K, M, work, LDW, c, LDC, 0);
            }
        } else {
            // V = [V1; V2], V2 = last K rows, unit upper triangular.
            if (left) {
                // C = [C1; C2], W = C2^H (N-by-K).
                copy_rows_conj(K, N, c, LDC, mk, work, LDW);
                ZTRMM("Right", "Upper", "No transpose", "Unit", n, k, &one, v + at(mk + 1, 1, LDV),
                      ldv, work, ldwork);
                if (M > K)
                    ZGEMM("Conjugate transpose", "No transpose", n, k, &mk, &one, c, ldc, v, ldv,
                          &one, work, ldwork);
                ZTRMM("Right", "Lower", transt, "Non-unit", n, k, &one, t, ldt, work, ldwork);
                if (M > K)
                    ZGEMM("No transpose", "Conjugate transpose", &mk, n, k, &neg_one, v, ldv, work,
                          ldwork, &one, c, ldc);
                ZTRMM("Right", "Upper", "Conjugate transpose", "Unit", n, k, &one,
                      v + at(mk + 1, 1, LDV), ldv, work, ldwork);
                sub_rows_conj(K, N, work, LDW, c, LDC, mk);
            } else if (right) {
                // C = [C1 C2], W = C2 (M-by-K).
                copy_cols(K, M, c, LDC, nk, work, LDW);
                ZTRMM("Right", "Upper", "No transpose", "Unit", m, k, &one, v + at(nk + 1, 1, LDV),
                      ldv, work, ldwork);
                if (N > K)
                    ZGEMM("No transpose", "No transpose", m, k, &nk, &one, c, ldc, v, ldv, &one,
                          work, ldwork);
                ZTRMM("Right", "Lower", trans, "Non-unit", m, k, &one, t, ldt, work, ldwork);
                if (N > K)
                    ZGEMM("No transpose", "Conjugate transpose", m, &nk, k, &neg_one, work, ldwork,
                          v, ldv, &one, c, ldc);
                ZTRMM("Right", "Upper", "Conjugate transpose", "Unit", m, k, &one,
                      v + at(nk + 1, 1, LDV), ldv, work, ldwork);
                sub_cols(K, M, work, LDW, c, LDC, nk);
            }
        }
    } else if (LSAME(storev, "R")) {
        if (forward) {
            // V = [V1 V2], V1 = V(1:K, 1:K) unit upper triangular.
            if (left) {
                copy_rows_conj(K, N, c, LDC, 0, work, LDW);
                ZTRMM("Right", "Upper", "Conjugate transpose", "Unit", n, k, &one, v, ldv, work,
                      ldwork);
                if (M > K)
                    ZGEMM("Conjugate transpose", "Conjugate transpose", n, k, &mk, &one,
                          c + at(K + 1, 1, LDC), ldc, v + at(1, K + 1, LDV), ldv, &one, work,
                          ldwork);
                ZTRMM("Right", "Upper", transt, "Non-unit", n, k, &one, t, ldt, work, ldwork);
                if (M > K)
                    ZGEMM("Conjugate transpose", "Conjugate transpose", &mk, n, k, &neg_one,
                          v + at(1, K + 1, LDV), ldv, work, ldwork, &one, c + at(K + 1, 1, LDC),
                          ldc);
                ZTRMM("Right", "Upper", "No transpose", "Unit", n, k, &one, v, ldv, work, ldwork);
                sub_rows_conj(K, N, work, LDW, c, LDC, 0);
            } else if (right) {
                copy_cols(K, M, c, LDC, 0, work, LDW);
                ZTRMM("Right", "Upper", "Conjugate transpose", "Unit", m, k, &one, v, ldv, work,
                      ldwork);
                if (N > K)
                    ZGEMM("No transpose", "Conjugate transpose", m, k, &nk, &one,
                          c + at(1, K + 1, LDC), ldc, v + at(1, K + 1, LDV), ldv, &one, work,
                          ldwork);
                ZTRMM("Right", "Upper", trans, "Non-unit", m, k, &one, t, ldt, work, ldwork);
                if (N > K)
                    ZGEMM("No transpose", "No transpose", m, &nk, k, &neg_one, work, ldwork,
                          v + at(1, K + 1, LDV), ldv, &one, c + at(1, K + 1, LDC), ldc);
                ZTRMM("Right", "Upper", "No transpose", "Unit", m, k, &one, v, ldv, work, ldwork);
                sub_cols(K, M, work, LDW, c, LDC, 0);
            }
        } else {
            // V = [V1 V2], V2 = last K columns, unit lower triangular.
            if (left) {
                copy_rows_conj(K, N, c, LDC, mk, work, LDW);
                ZTRMM("Right", "Lower", "Conjugate transpose", "Unit", n, k, &one,
                      v + at(1, mk + 1, LDV), ldv, work, ldwork);
                if (M > K)
                    ZGEMM("Conjugate transpose", "Conjugate transpose", n, k, &mk, &one, c, ldc, v,
                          ldv, &one, work, ldwork);
                ZTRMM("Right", "Lower", transt, "Non-unit", n, k, &one, t, ldt, work, ldwork);
                if (M > K)
                    ZGEMM("Conjugate transpose", "Conjugate transpose", &mk, n, k, &neg_one, v, ldv,
                          work, ldwork, &one, c, ldc);
                ZTRMM("Right", "Lower", "No transpose", "Unit", n, k, &one, v + at(1, mk + 1, LDV),
                      ldv, work, ldwork);
                sub_rows_conj(K, N, work, LDW, c, LDC, mk);
            } else if (right) {
                copy_cols(K, M, c, LDC, nk, work, LDW);
                ZTRMM("Right", "Lower", "Conjugate transpose", "Unit", m, k, &one,
                      v + at(1, nk + 1, LDV), ldv, work, ldwork);
                if (N > K)
                    ZGEMM("No transpose", "Conjugate transpose", m, k, &nk, &one, c, ldc, v, ldv,
                          &one, work, ldwork);
                ZTRMM("Right", "Lower", trans, "Non-unit", m, k, &one, t, ldt, work, ldwork);
                if (N > K)
                    ZGEMM("No transpose", "No transpose", m, &nk, k, &neg_one, work, ldwork, v, ldv,
                          &one, c, ldc);
                ZTRMM("Right", "Lower", "No transpose", "Unit", m, k, &one, v + at(1, nk + 1, LDV),
                      ldv, work, ldwork);
                sub_cols(K, M, work, LDW, c, LDC, nk);
            }
        }
    }
}

}  // namespace qiv
