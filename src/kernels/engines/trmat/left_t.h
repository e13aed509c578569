// Structure 2 of the ZTRSM/ZTRMM engine: left side, op(A) = A^T or A^H
// (ZTRSM upper, ZTRMM both).
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

// Far rows per piece, columns per block.
constexpr int kPieceDot = 256;
constexpr int kColBlockDot = 128;

template <class O, class T>
class LeftT {
   public:
    static constexpr int W = O::W, NR = T::NR, KP = kPieceDot, NC = kColBlockDot;

    LeftT(const TrmatArgs& g, bool solve)
        : g_(g), solve_(solve), cj_(g.op == TrOp::conj), lda_(g.lda), ldb_(g.ldb) {}

    void run() {
        const int M = g_.m;
        // ZTRSM: TEMP starts as ALPHA*B(i, j), formed even when ALPHA is one.
        if (solve_) scale_all(g_);
        // Units run down (ZTRSM upper, ZTRMM lower) or up (ZTRMM upper).
        const bool down = solve_ || !g_.upper;
        const int units = (M + W - 1) / W;
        for (int jc = 0; jc < g_.n; jc += NC) {
            const int nc = imin(NC, g_.n - jc);
            for (int q = 0; q < units; ++q) {
                const int i0 = (down ? q : units - 1 - q) * W;
                const int rows = imin(W, M - i0);
                unit(i0, rows, jc, nc);
            }
        }
    }

   private:
    zcomplex opA(int k, int i) const {
        const zcomplex v = g_.a[k + i * lda_];
        return cj_ ? conj(v) : v;
    }
    zcomplex& B(int i, int j) const { return g_.b[i + j * ldb_]; }

    void unit(int i0, int rows, int jc, int nc) {
        alignas(64) double pack[KP * 2 * W];
        alignas(64) zcomplex orig[W * NC];
        static_assert(sizeof(pack) + sizeof(orig) <= trmat_engine_stack_bound - 1024,
                      "scratch too large");
        const int i1 = i0 + rows;
        const bool nounit = !g_.unit;
        if (!solve_) {
            if (g_.upper) {
                // TEMP := B(i, j) (times op(A)(i, i)); the originals are kept
                // for the in-unit terms, which come last.
                for (int c = 0; c < nc; ++c)
                    for (int r = 0; r < rows; ++r) {
                        zcomplex& b = B(i0 + r, jc + c);
                        orig[c * W + r] = b;
                        if (nounit) b = b * opA(i0 + r, i0 + r);
                    }
            } else {
                // The in-unit terms come first: rows in increasing order,
                // each reading only the rows after it, still original.
                for (int c = 0; c < nc; ++c)
                    for (int i = i0; i < i1; ++i) {
                        zcomplex t = B(i, jc + c);
                        if (nounit) t = t * opA(i, i);
                        for (int k = i + 1; k < i1; ++k) t = t + opA(k, i) * B(k, jc + c);
                        B(i, jc + c) = t;
                    }
            }
        }
        // The far rows, always in increasing order: before the unit for the
        // upper cases, after it for the lower one.
        const int f0 = g_.upper ? 0 : i1, f1 = g_.upper ? i0 : g_.m;
        for (int k0 = f0; k0 < f1; k0 += KP) {
            const int kc = imin(KP, f1 - k0);
            pack_unit<O>(g_.a, lda_, i0, rows, k0, kc, cj_, pack);
            for (int jt = jc; jt < jc + nc; jt += NR) {
                const int nr = imin(NR, jc + nc - jt);
                with_width<NR>(nr, [&](auto w) {
                    constexpr int nw = decltype(w)::value;
                    zcomplex* cp = &B(i0, jt);
                    const ColumnsOfB mult{&B(k0, jt), ldb_};
                    if (solve_) {
                        unit_tile<O, nw, Subtract>(kc, PackedUnit{pack}, mult, rows, cp, ldb_);
                    } else {
                        unit_tile<O, nw, Add>(kc, PackedUnit{pack}, mult, rows, cp, ldb_);
                    }
                });
            }
        }
        if (solve_) {
            // In-unit terms in increasing k, then the division.
            for (int c = 0; c < nc; ++c)
                for (int i = i0; i < i1; ++i) {
                    zcomplex t = B(i, jc + c);
                    for (int k = i0; k < i; ++k) t = t - opA(k, i) * B(k, jc + c);
                    if (nounit) t = t / opA(i, i);
                    B(i, jc + c) = t;
                }
        } else if (g_.upper) {
            for (int c = 0; c < nc; ++c)
                for (int i = i0; i < i1; ++i) {
                    zcomplex t = B(i, jc + c);
                    for (int k = i0; k < i; ++k) t = t + opA(k, i) * orig[c * W + (k - i0)];
                    B(i, jc + c) = g_.alpha * t;
                }
        } else {
            for (int c = 0; c < nc; ++c)
                for (int i = i0; i < i1; ++i) B(i, jc + c) = g_.alpha * B(i, jc + c);
        }
    }

    const TrmatArgs& g_;
    const bool solve_, cj_;
    const idx lda_, ldb_;
};

}  // namespace
}  // namespace qiv
