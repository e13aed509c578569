"""Tests of the Python host: the module loaded by name through ctypes.

Run with the module's directory on the library search path and the host on
the Python path, for example
    LD_LIBRARY_PATH=build/release PYTHONPATH=examples/python python3 tests/hosts/python_host_test.py
"""

import ctypes
import os
import struct
import subprocess
import sys
import unittest

from array import array

import qivlapackdll2

EPS = 2.0 ** -53


def cabs1(z):
    return abs(z.real) + abs(z.imag)


def generated(m, n, seed):
    """A deterministic m-by-n complex matrix with entries in [-1, 1)."""
    state = seed
    rows = [[0j] * n for _ in range(m)]
    for j in range(n):
        for i in range(m):
            parts = []
            for _ in range(2):
                state = (state * 6364136223846793005 + 1442695040888963407) % 2 ** 64
                parts.append((state >> 11) * 2.0 ** -52 - 1.0)
            rows[i][j] = complex(parts[0], parts[1])
    return rows


def rebuild(lu, ipiv, m, n):
    """P*L*U from the factored matrix and its pivots."""
    k = min(m, n)
    prod = [[sum(((1 if l == i else lu[i][l]) * lu[l][j] for l in range(min(i, j, k - 1) + 1)),
                 0j) for j in range(n)] for i in range(m)]
    for i in reversed(range(k)):
        p = ipiv[i] - 1
        prod[i], prod[p] = prod[p], prod[i]
    return prod


def max_abs(rows):
    return max((cabs1(z) for row in rows for z in row), default=0.0)


class LoadTest(unittest.TestCase):
    def test_loads_by_name_and_binds(self):
        lib = qivlapackdll2.Module()
        self.assertEqual(lib.path, qivlapackdll2.default_name())
        self.assertIsNone(lib.testfn())


class GetrfTest(unittest.TestCase):
    def setUp(self):
        self.lib = qivlapackdll2.Module()

    def test_exact_factors_of_small_matrices(self):
        # No interchange: the multiplier and the updated entry are exact.
        lu, ipiv, info = self.lib.getrf([[2, 4], [1, 3]])
        self.assertEqual((lu, ipiv, info), ([[2, 4], [0.5, 1]], [1, 2], 0))
        # The largest entry in column 1 is in row 2: rows are interchanged.
        lu, ipiv, info = self.lib.getrf([[0, 1], [1j, 0]])
        self.assertEqual((lu, ipiv, info), ([[1j, 0], [0, 1]], [2, 2], 0))

    def test_factors_rebuild_the_matrix(self):
        for m, n, seed in [(5, 5, 1), (7, 4, 2), (3, 6, 3), (70, 70, 4)]:
            with self.subTest(m=m, n=n):
                a = generated(m, n, seed)
                lu, ipiv, info = self.lib.getrf(a)
                self.assertEqual(info, 0)
                self.assertEqual(len(ipiv), min(m, n))
                for i, p in enumerate(ipiv, start=1):
                    self.assertTrue(i <= p <= m, ipiv)
                # The pivot is the largest entry by |re| + |im|, so no
                # multiplier exceeds sqrt(2) in modulus.
                self.assertLessEqual(max((abs(lu[i][j]) for j in range(min(m, n))
                                          for i in range(j + 1, m)), default=0.0),
                                     2 ** 0.5 * (1 + 4 * EPS))
                prod = rebuild(lu, ipiv, m, n)
                err = max(cabs1(prod[i][j] - a[i][j]) for i in range(m) for j in range(n))
                self.assertLess(err, 30 * max(m, n) * EPS * max_abs(a))

    def test_zero_column_gives_its_pivot_in_info(self):
        a = generated(6, 6, 9)
        for row in a:
            row[3] = 0
        _, _, info = self.lib.getrf(a)
        self.assertEqual(info, 4)

    def test_empty_and_ragged(self):
        self.assertEqual(self.lib.getrf([]), ([], [], 0))
        with self.assertRaises(ValueError):
            self.lib.getrf([[1, 2], [3]])


class GesvTest(unittest.TestCase):
    def setUp(self):
        self.lib = qivlapackdll2.Module()

    def test_exact_solution_with_interchange(self):
        x, info = self.lib.gesv([[0, 1], [1, 0]], [3, 5])
        self.assertEqual((x, info), ([5, 3], 0))

    def test_residual_with_several_right_hand_sides(self):
        for n, nrhs, seed in [(4, 1, 5), (9, 3, 6), (66, 2, 7)]:
            with self.subTest(n=n, nrhs=nrhs):
                a = generated(n, n, seed)
                b = generated(n, nrhs, seed + 100)
                x, info = self.lib.gesv(a, b)
                self.assertEqual(info, 0)
                self.assertEqual((len(x), len(x[0])), (n, nrhs))
                err = max(cabs1(sum((a[i][l] * x[l][r] for l in range(n)), 0j) - b[i][r])
                          for i in range(n) for r in range(nrhs))
                self.assertLess(err, 30 * n * EPS * max_abs(a) * max_abs(x))

    def test_vector_and_matrix_right_hand_sides_agree(self):
        a = generated(5, 5, 11)
        b = [row[0] for row in generated(5, 1, 12)]
        x_vec, _ = self.lib.gesv(a, b)
        x_mat, _ = self.lib.gesv(a, [[v] for v in b])
        self.assertEqual(x_vec, [row[0] for row in x_mat])

    def test_singular_matrix_raises_with_its_column_and_leaves_b(self):
        a = generated(4, 4, 13)
        for row in a:
            row[1] = 0
        b = [1, 2j, 3, 4]
        with self.assertRaises(qivlapackdll2.SingularMatrix) as caught:
            self.lib.gesv(a, b)
        self.assertEqual((caught.exception.info, caught.exception.column), (2, 2))
        self.assertIn("U(2,2) is exactly zero, column 2", str(caught.exception))
        self.assertIn("INFO = 2", str(caught.exception))
        # In place: b is left as it was, a holds the factors.
        b_buf = interleaved([[v] for v in b])
        before = bits(b_buf)
        with self.assertRaises(qivlapackdll2.SingularMatrix):
            self.lib.gesv(interleaved(a), b_buf)
        self.assertEqual(bits(b_buf), before)

    def test_results_are_named_and_readable(self):
        result = self.lib.gesv([[0, 1], [1, 0]], [3, 5])
        self.assertEqual((result.x, result.info), ([5, 3], 0))
        self.assertEqual(repr(result), "SolveResult(x=[(5+0j), (3+0j)], info=0)")
        lu = self.lib.getrf(qivlapackdll2.Matrix(array("d", [2, 0, 1, 0, 4, 0, 3, 0]), 2, 2))
        self.assertEqual(repr(lu), "LuResult(lu=Matrix(2 x 2, order='F', ld=2, "
                         "rows=[[(2+0j), (4+0j)], [(0.5+0j), (1+0j)]]), ipiv=[1, 2], info=0)")

    def test_shapes_are_checked_before_the_call(self):
        with self.assertRaises(ValueError):
            self.lib.gesv([[1, 2, 3], [4, 5, 6]], [1, 2])
        with self.assertRaises(ValueError):
            self.lib.gesv([[1, 0], [0, 1]], [1, 2, 3])


class EigTest(unittest.TestCase):
    def setUp(self):
        self.lib = qivlapackdll2.Module()

    def test_triangular_matrix_gives_its_diagonal_exactly(self):
        w, vl, vr, info = self.lib.eig([[2, 5, 1j], [0, -1j, 3], [0, 0, 4]])
        self.assertEqual((sorted(w, key=lambda z: (z.real, z.imag)), vl, info),
                         ([-1j, 2, 4], None, 0))
        self.assertEqual(len(vr), 3)

    def test_residuals_and_normalisation(self):
        for n, seed in [(1, 31), (7, 32), (80, 33)]:
            with self.subTest(n=n):
                a = generated(n, n, seed)
                w, vl, vr, info = self.lib.eig(a, left=True, right=True)
                self.assertEqual(info, 0)
                for j in range(n):
                    v = [vr[i][j] for i in range(n)]
                    u = [vl[i][j] for i in range(n)]
                    for vec in (u, v):
                        self.assertAlmostEqual(sum(abs(x) ** 2 for x in vec), 1.0, delta=1e-12)
                        top = max(vec, key=abs)
                        self.assertEqual(top.imag, 0.0)
                        self.assertGreater(top.real, 0.0)
                    right = max(cabs1(sum((a[i][l] * v[l] for l in range(n)), 0j) - w[j] * v[i])
                                for i in range(n))
                    left = max(cabs1(sum((u[l].conjugate() * a[l][i] for l in range(n)), 0j)
                                     - w[j] * u[i].conjugate()) for i in range(n))
                    self.assertLess(max(right, left), 30 * n * EPS * max_abs(a))

    def test_eigenvalues_alone_agree(self):
        a = generated(12, 12, 34)
        w, _, _, _ = self.lib.eig(a)
        w_only, vl, vr, info = self.lib.eig(a, right=False)
        self.assertEqual((vl, vr, info), (None, None, 0))
        self.assertLess(max(cabs1(x - y) for x, y in zip(w, w_only)), 1000 * EPS)


def interleaved(rows, order="F"):
    """array('d') of the matrix's interleaved parts, by columns or by rows."""
    m, n = len(rows), len(rows[0]) if rows else 0
    cells = ([rows[i][j] for j in range(n) for i in range(m)] if order == "F"
             else [rows[i][j] for i in range(m) for j in range(n)])
    return array("d", [part for z in cells for part in (complex(z).real, complex(z).imag)])


def bits(values):
    return [struct.pack("<d", v) for v in values]


class BufferTest(unittest.TestCase):
    """Matrices in buffers: worked on in place, by columns without a copy,
    with the same bits as the list interface."""

    def setUp(self):
        self.lib = qivlapackdll2.Module()

    def test_getrf_in_place_by_columns_and_by_rows(self):
        for m, n, seed in [(5, 5, 41), (7, 3, 42), (3, 6, 43), (70, 68, 44)]:
            with self.subTest(m=m, n=n):
                a = generated(m, n, seed)
                lu, ipiv, info = self.lib.getrf(a)
                for order in ("F", "C"):
                    data = interleaved(a, order)
                    mat = qivlapackdll2.Matrix(data, m, n, order=order)
                    self.assertEqual(mat.direct, order == "F")
                    got, ipiv2, info2 = self.lib.getrf(mat)
                    self.assertIs(got, mat)
                    self.assertEqual((ipiv2, info2), (ipiv, info))
                    # The caller's own buffer holds the factors, bit for bit.
                    self.assertEqual(bits(data), bits(interleaved(lu, order)))

    def test_no_copy_for_a_slice_of_a_larger_buffer(self):
        # A 4 x 3 matrix inside a 6 x 3 column-major array (ld 6), starting
        # at row 2: the module writes straight into the bytearray.
        full = generated(6, 3, 45)
        raw = bytearray(interleaved(full).tobytes())
        view = memoryview(raw)[2 * 16:]
        mat = qivlapackdll2.Matrix(view, 4, 3, order="F", ld=6)
        self.assertTrue(mat.direct)
        address = ctypes.addressof((ctypes.c_char * len(raw)).from_buffer(raw)) + 32
        self.assertEqual(ctypes.cast(mat._pointer()[0], ctypes.c_void_p).value, address)
        lu, ipiv, info = self.lib.getrf([row[:] for row in full[2:6]])
        self.lib.getrf(mat)
        self.assertEqual([[mat[i, j] for j in range(3)] for i in range(4)], lu)
        # Rows outside the view are untouched.
        after = array("d", bytes(raw))
        before = interleaved(full)
        for j in range(3):
            for i in (0, 1):
                k = 2 * (i + 6 * j)
                self.assertEqual(after[k:k + 2], before[k:k + 2])

    def test_shaped_memoryviews_tell_their_shape_and_order(self):
        a = generated(3, 4, 46)
        data = interleaved(a, "C")
        view = memoryview(data).cast("B").cast("d", (3, 4, 2))
        mat = qivlapackdll2.Matrix(view)
        self.assertEqual((mat.rows, mat.cols, mat.order), (3, 4, "C"))
        self.assertEqual(mat.to_rows(), a)
        lu, ipiv, _ = self.lib.getrf(a)
        self.assertEqual(self.lib.getrf(view)[1], ipiv)
        self.assertEqual(bits(data), bits(interleaved(lu, "C")))

    def test_gesv_with_buffers_and_lists_mixed(self):
        n, nrhs = 9, 2
        a, b = generated(n, n, 47), generated(n, nrhs, 48)
        x, info = self.lib.gesv(a, b)
        a_buf, b_buf = interleaved(a), interleaved(b)
        got, info2 = self.lib.gesv(a_buf, b_buf)  # flat: square a, whole columns of b
        self.assertEqual((got.rows, got.cols, info2), (n, nrhs, info))
        self.assertEqual(bits(b_buf), bits(interleaved(x)))
        # A list a with a buffer b, and a row-major b.
        b_rows = interleaved(b, "C")
        got, _ = self.lib.gesv(a, qivlapackdll2.Matrix(b_rows, n, nrhs, order="C"))
        self.assertEqual(bits(b_rows), bits(interleaved(x, "C")))
        # A single right-hand side stored by rows is a column: no copy.
        col = qivlapackdll2.Matrix(interleaved([[v[0]] for v in b], "C"), n, 1, order="C")
        self.assertTrue(col.direct)
        got, _ = self.lib.gesv(a, col)
        self.assertEqual(got.to_rows(), self.lib.gesv(a, [[v[0]] for v in b])[0])

    def test_eig_on_buffers_matches_lists(self):
        a = generated(12, 12, 49)
        w, vl, vr, info = self.lib.eig(a, left=True, right=True)
        for order in ("F", "C"):
            data = interleaved(a, order)
            w2, vl2, vr2, info2 = self.lib.eig(qivlapackdll2.Matrix(data, 12, 12, order=order),
                                                left=True, right=True)
            self.assertEqual((w2, info2), (w, info))
            self.assertEqual((vl2.to_rows(), vr2.to_rows()), (vl, vr))
        # A read-only buffer is only read: it is copied for the module.
        frozen = bytes(interleaved(a))
        self.assertEqual(self.lib.eig(frozen)[0], w)

    def test_bad_buffers_raise_before_any_call(self):
        with self.assertRaises(ValueError):
            qivlapackdll2.Matrix(array("d", [1.0, 2.0, 3.0]))  # odd count
        with self.assertRaises(ValueError):
            qivlapackdll2.Matrix(array("d", [0.0] * 6), 2, 2)  # too short for 2 x 2
        with self.assertRaises(ValueError):
            qivlapackdll2.Matrix(array("i", [0] * 8), 2, 2)  # not binary64
        with self.assertRaises(ValueError):
            qivlapackdll2.Matrix(array("d", [0.0] * 12))  # 6 values: not square
        with self.assertRaises(ValueError):
            self.lib.getrf(bytes(16 * 4))  # read-only: nowhere for the factors
        with self.assertRaises(ValueError):
            self.lib.gesv(array("d", [0.0] * 8), array("d", [0.0] * 6))  # 3 rows for order 2
        nan = interleaved([[1, 2], [float("nan"), 4]])
        with self.assertRaises(ValueError):
            self.lib.eig(nan)
        with self.assertRaises(ValueError):
            self.lib.eig([[1, float("inf")], [0, 1]])


class IllegalArgumentTest(unittest.TestCase):
    def test_module_reports_and_ends_the_process(self):
        # Bypasses the wrapper's checks: N = -1 reaches ZGESV, which reports
        # argument 1 and ends the host process with status 0.
        program = (
            "import ctypes, qivlapackdll2 as q\n"
            "lib = q.Module()\n"
            "i = ctypes.c_int\n"
            "a = (q.Complex * 1)(); b = (q.Complex * 1)(); piv = (i * 1)()\n"
            "lib._zgesv(ctypes.byref(i(-1)), ctypes.byref(i(1)), a, ctypes.byref(i(1)), piv,"
            " b, ctypes.byref(i(1)), ctypes.byref(i(0)))\n"
            "print('returned')\n")
        # The child imports the host from where this process found it.
        env = dict(os.environ)
        env["PYTHONPATH"] = os.path.dirname(os.path.abspath(qivlapackdll2.__file__))
        done = subprocess.run([sys.executable, "-c", program], capture_output=True, env=env,
                              timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout,
                         b" ** On entry to ZGESV parameter number  1 had an illegal value\n")


if __name__ == "__main__":
    unittest.main()
