"""Python host for the qivlapackdll2 module, using only ctypes.

The module is loaded by name (``libqivlapackdll2.so`` on Linux,
``libqivlapackdll2.winx64.dll`` on Windows x86-64) from the platform's library
search path (``LD_LIBRARY_PATH``, ``PATH``) or, when it is not found there,
from the directory of this file (``cmake --install`` puts both in the same
directory), or a path can be given explicitly::

    import qivlapackdll2
    lib = qivlapackdll2.Module()            # or Module("/path/to/libqivlapackdll2.so")
    lu, ipiv, info = lib.getrf([[4, 1j], [2, 3]])
    x, info = lib.gesv([[2, 1], [1, 3]], [1, 2])
    w, vl, vr, info = lib.eig([[2, 1], [1, 3]], left=True)

Matrices are lists of rows of numbers (int, float or complex); a right-hand
side may also be a plain list (one column). Results come back the same way,
with complex entries, as named tuples (``result.x``, ``result.info``, ...)
that unpack like plain tuples. Pivots are 1-based row numbers, as the module
gives them; positions in messages (a zero pivot's column, the element that
holds a NaN) are counted from 1 as well, in every host of the module (C++,
.NET, Python), while Python indexing stays 0-based.

A singular system raises SingularMatrix (an ArithmeticError) with its INFO
and the column of the zero pivot; getrf returns INFO instead, since its
factors are still useful.

Matrices may also live in any object with the buffer protocol that holds
complex binary64 values as interleaved parts (re, im, re, im, ...), such as an
``array.array('d')``, a ``bytearray`` or a ``memoryview``; wrap it in
``Matrix(buffer, rows, cols, order="F")`` (``order="C"`` for row-major), or pass
it bare: a flat buffer is then a square matrix by columns (or, as a right-hand
side, one column), and a shaped memoryview (format ``'Zd'`` of shape (m, n),
or ``'d'`` of shape (m, n, 2)) tells its own shape and order. Such matrices
are worked on in place: a writable column-major buffer is handed to the
module as it is, without a copy, and receives the results (the LU factors,
the solution, a destroyed matrix after ``eig``); a row-major one is copied in
and the results copied back in its own order::

    import array
    data = array.array('d', [4, 0, 2, 0, 0, 1, 3, 0])   # [[4, i], [2, 3]] by columns
    lu, ipiv, info = lib.getrf(qivlapackdll2.Matrix(data, 2, 2))
    # data now holds the factors; lu is the same Matrix

Nothing here depends on any numerical package.

The module ends the whole process when it is passed an illegal argument, so
this wrapper checks the shapes itself and raises ValueError first.
"""

import collections
import ctypes
import math
import os
import sys
from array import array

__all__ = ["Module", "Matrix", "SingularMatrix", "LuResult", "SolveResult", "EigResult",
           "default_name", "getrf", "gesv", "eig"]

LuResult = collections.namedtuple("LuResult", "lu ipiv info")
LuResult.__doc__ = """getrf's result: the factors, the 1-based pivots and INFO."""
SolveResult = collections.namedtuple("SolveResult", "x info")
SolveResult.__doc__ = """gesv's result: the solution and INFO (always 0: a singular
system raises SingularMatrix)."""
EigResult = collections.namedtuple("EigResult", "w vl vr info")
EigResult.__doc__ = """eig's result: the eigenvalues, the left and right vectors
(None when not asked for) and INFO."""


class SingularMatrix(ArithmeticError):
    """gesv met an exactly zero pivot: U(info, info) = 0, in column info
    (counted from 1); b is left unchanged."""

    def __init__(self, info, ipiv):
        self.info = info
        self.column = info
        self.ipiv = ipiv
        super().__init__("zgesv: no solution computed: U(%d,%d) is exactly zero, column %d has no "
                         "nonzero pivot, so the matrix is singular (INFO = %d)"
                         % (info, info, info, info))


class Complex(ctypes.Structure):
    """One complex binary64 element: real part, then imaginary part."""

    _fields_ = [("re", ctypes.c_double), ("im", ctypes.c_double)]


_INT_P = ctypes.POINTER(ctypes.c_int)
_COMPLEX_P = ctypes.POINTER(Complex)
_CHAR_P = ctypes.c_char_p
_DOUBLE_P = ctypes.POINTER(ctypes.c_double)

# Argument lists of the exports; every argument is an address.
_SIGNATURES = {
    "qivcppdlltemplate_exportedtestfn": [],
    "qivlapackdll2_zgetrf": [_INT_P, _INT_P, _COMPLEX_P, _INT_P, _INT_P, _INT_P],
    "qivlapackdll2_zgesv": [_INT_P, _INT_P, _COMPLEX_P, _INT_P, _INT_P, _COMPLEX_P, _INT_P,
                            _INT_P],
    "qivlapackdll2_zgeev": [_CHAR_P, _CHAR_P, _INT_P, _COMPLEX_P, _INT_P, _COMPLEX_P, _COMPLEX_P,
                            _INT_P, _COMPLEX_P, _INT_P, _COMPLEX_P, _INT_P, _DOUBLE_P, _INT_P],
}


_DOUBLE_FORMATS = ("d", "<d", "=d", "@d") if sys.byteorder == "little" else ("d", ">d", "=d", "@d")
_COMPLEX_FORMATS = tuple("Z" + f[-1] if len(f) == 1 else f[0] + "Zd" for f in _DOUBLE_FORMATS)


def _doubles(buffer, what):
    """A flat memoryview of binary64 values over the buffer, and its order.

    Returns (view, shape, order) where shape is (rows, cols) when the buffer
    says it, else None, and order is "F" or "C" (None when not told).
    """
    try:
        view = memoryview(buffer)
    except TypeError:
        raise ValueError("%s must be a list of rows or an object with the buffer protocol" % what)
    fmt = view.format
    shape, order = None, None
    if fmt in _COMPLEX_FORMATS:
        if view.ndim == 2:
            shape = tuple(view.shape)
            order = "F" if view.f_contiguous else "C" if view.c_contiguous else None
        elif view.ndim != 1:
            raise ValueError("%s: a complex buffer must have one or two dimensions" % what)
    elif fmt in _DOUBLE_FORMATS:
        if view.ndim == 3 and view.shape[2] == 2:
            shape = tuple(view.shape[:2])
            order = "C" if view.c_contiguous else None
        elif view.ndim != 1:
            raise ValueError("%s: a buffer of binary64 values must be flat or of shape (m, n, 2)" % what)
    elif view.format in ("B", "b", "c") and view.ndim == 1:
        pass  # raw bytes (a bytearray) of interleaved binary64 parts
    else:
        raise ValueError("%s must hold binary64 values (format 'd' or 'Zd'), not '%s'" % (what, fmt))
    if not view.contiguous:
        # Gather the elements in their logical (row-major) order.
        if shape is None or view.ndim == 1:
            raise ValueError("%s: a strided one-dimensional buffer is not supported" % what)
        view, order = memoryview(bytearray(view.tobytes(order="C"))), "C"
    elif view.ndim > 1 or view.format != "B":
        view = view.cast("B")
    if view.nbytes % 8:
        raise ValueError("%s: %d bytes are not a whole number of binary64 values" % (what, view.nbytes))
    return view.cast("d"), shape, order


class Matrix:
    """A complex matrix in a buffer of interleaved binary64 parts.

    Element (i, j), counted from 0, is at complex offset i + j*ld (order "F",
    by columns) or i*ld + j (order "C", by rows); ld defaults to rows ("F")
    or cols ("C"). The buffer is shared, not copied: writes through the
    Matrix (and by the module) change it.
    """

    def __init__(self, buffer, rows=None, cols=None, order=None, ld=None):
        data, shape, buffer_order = _doubles(buffer, "matrix buffer")
        if shape is not None:
            if (rows is not None and rows != shape[0]) or (cols is not None and cols != shape[1]):
                raise ValueError("the buffer's shape %r disagrees with %r x %r" % (shape, rows, cols))
            rows, cols = shape
            if order is not None and buffer_order is not None and order != buffer_order:
                raise ValueError("the buffer is in order %s, not %s" % (buffer_order, order))
            order = order or buffer_order or "C"
        order = order or "F"
        count = len(data) // 2
        if len(data) % 2:
            raise ValueError("an odd number of binary64 values cannot hold complex numbers")
        if rows is None and cols is None:
            rows = cols = math.isqrt(count)
            if rows * cols != count:
                raise ValueError("a flat buffer of %d complex values is not a square matrix; "
                                 "give rows and cols" % count)
        elif rows is None or cols is None:
            known = rows if rows is not None else cols
            if known <= 0 or count % known:
                raise ValueError("%d complex values do not make %d %s" %
                                 (count, known, "rows" if rows is not None else "columns"))
            rows, cols = (rows, count // rows) if rows is not None else (count // cols, cols)
        if order not in ("F", "C"):
            raise ValueError("order must be 'F' (by columns) or 'C' (by rows), not %r" % (order,))
        if rows < 0 or cols < 0:
            raise ValueError("a matrix cannot have %d rows and %d columns" % (rows, cols))
        inner = rows if order == "F" else cols
        ld = inner if ld is None else ld
        if ld < max(1, inner):
            raise ValueError("ld = %d is smaller than %d" % (ld, max(1, inner)))
        outer = cols if order == "F" else rows
        need = (ld * (outer - 1) + inner) if rows and cols else 0
        if need > count:
            raise ValueError("the buffer holds %d complex values; a %d x %d matrix with ld %d needs %d"
                             % (count, rows, cols, ld, need))
        self.data, self.rows, self.cols, self.order, self.ld = data, rows, cols, order, ld

    def __repr__(self):
        shape = "Matrix(%d x %d, order=%r, ld=%d" % (self.rows, self.cols, self.order, self.ld)
        if self.rows * self.cols > 100:
            return shape + ")"
        return shape + ", rows=%r)" % (self.to_rows(),)

    @classmethod
    def zeros(cls, rows, cols, order="F"):
        """A new matrix of zeros in an array('d')."""
        return cls(array("d", bytes(16 * max(1, rows) * cols)), rows, cols, order)

    def _offset(self, i, j):
        return 2 * (i + j * self.ld if self.order == "F" else i * self.ld + j)

    def __getitem__(self, index):
        i, j = index
        k = self._offset(i, j)
        return complex(self.data[k], self.data[k + 1])

    def __setitem__(self, index, value):
        i, j = index
        k = self._offset(i, j)
        z = complex(value)
        self.data[k], self.data[k + 1] = z.real, z.imag

    def to_rows(self):
        """The matrix as a list of rows of complex numbers."""
        return [[self[i, j] for j in range(self.cols)] for i in range(self.rows)]

    @property
    def writable(self):
        return not self.data.readonly

    def _by_columns(self):
        """Whether the elements already lie as the module wants them, by
        columns: order "F", or a single column with unit stride, or a single row."""
        return self.order == "F" or (self.cols == 1 and self.ld == 1) or self.rows == 1

    @property
    def direct(self):
        """True when the module works on this buffer itself, without a copy:
        the elements lie by columns, the buffer is writable and aligned for
        binary64."""
        if not self._by_columns() or not self.writable:
            return False
        return len(self.data) == 0 or self._address() % 8 == 0

    def _address(self):
        return ctypes.addressof(ctypes.c_double.from_buffer(self.data))

    def _pointer(self):
        """(pointer, leading dimension, write_back) for the module: the buffer
        itself when direct (write_back None), else a column-major copy whose
        write_back() stores the results in the buffer's own order."""
        if self.direct and len(self.data):
            ld = self.ld if self.order == "F" else max(1, self.rows)
            return ctypes.cast(ctypes.c_void_p(self._address()), _COMPLEX_P), max(1, ld), None
        return self._copied()

    def _copied(self):
        m, n = self.rows, self.cols
        ld = max(1, m)
        tmp = (Complex * max(1, m * n))()
        for j in range(n):
            for i in range(m):
                k = self._offset(i, j)
                tmp[i + j * m] = Complex(self.data[k], self.data[k + 1])

        def write_back():
            if not self.writable:
                return
            for j in range(n):
                for i in range(m):
                    k = self._offset(i, j)
                    z = tmp[i + j * m]
                    self.data[k], self.data[k + 1] = z.re, z.im

        write_back.keep = tmp  # the copy lives as long as its write-back
        return ctypes.cast(tmp, _COMPLEX_P), ld, write_back


def default_name():
    """The module's file name on this platform."""
    if sys.platform == "win32":
        return "libqivlapackdll2.winx64.dll"
    if sys.platform == "darwin":
        return "libqivlapackdll2.dylib"
    return "libqivlapackdll2.so"


def _shape(rows, what):
    """Rows and columns of a list-of-rows matrix; ValueError if ragged."""
    if not isinstance(rows, (list, tuple)):
        raise ValueError("%s must be a list of rows" % what)
    m = len(rows)
    n = len(rows[0]) if m else 0
    for row in rows:
        if not isinstance(row, (list, tuple)) or len(row) != n:
            raise ValueError("%s must be a list of rows of equal length" % what)
    return m, n


def _to_columns(rows, m, n):
    """Column-major array of Complex elements (at least one element)."""
    columns = (Complex * max(1, m * n))()
    for i in range(m):
        for j in range(n):
            z = complex(rows[i][j])
            columns[i + j * m] = Complex(z.real, z.imag)
    return columns


def _to_rows(array, m, n):
    return [[complex(array[i + j * m].re, array[i + j * m].im) for j in range(n)]
            for i in range(m)]


class Module:
    """The loaded module with its exports bound by name."""

    def __init__(self, path=None):
        self.path = path or default_name()
        try:
            self._lib = ctypes.CDLL(self.path)
        except OSError as by_name:
            # Installed: the module lies beside this file.
            beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), default_name())
            if path is not None or not os.path.exists(beside):
                raise OSError("cannot load %s: %s (put its directory on the library search path "
                              "or pass its path)" % (self.path, by_name)) from None
            self.path = beside
            self._lib = ctypes.CDLL(self.path)
        for name, argtypes in _SIGNATURES.items():
            function = getattr(self._lib, name)
            function.argtypes = argtypes
            function.restype = None
        self._testfn = self._lib.qivcppdlltemplate_exportedtestfn
        self._zgetrf = self._lib.qivlapackdll2_zgetrf
        self._zgesv = self._lib.qivlapackdll2_zgesv
        self._zgeev = self._lib.qivlapackdll2_zgeev

    def testfn(self):
        """Calls the test entry, which does nothing."""
        self._testfn()

    def getrf(self, a):
        """LU factorisation with partial pivoting of the M-by-N matrix a.

        Returns (lu, ipiv, info): lu holds U on and above the diagonal and the
        multipliers of the unit lower triangular L below it; row i was
        interchanged with row ipiv[i] (1-based); info = k > 0 means U(k,k) is
        exactly zero. When a is a buffer (or a Matrix), the factors are
        written into it and lu is its Matrix.
        """
        mat = _matrix_arg(a, "a")
        if mat is None:
            m, n = _shape(a, "a")
            columns = _to_columns(a, m, n)
            pointer, ld, write_back = columns, max(1, m), None
        else:
            m, n = mat.rows, mat.cols
            if not mat.writable:
                raise ValueError("a is read-only, but the factors are written into it")
            pointer, ld, write_back = mat._pointer()
        ipiv = (ctypes.c_int * max(1, min(m, n)))()
        info = ctypes.c_int(0)
        self._zgetrf(ctypes.byref(ctypes.c_int(m)), ctypes.byref(ctypes.c_int(n)), pointer,
                     ctypes.byref(ctypes.c_int(ld)), ipiv, ctypes.byref(info))
        pivots = list(ipiv[:min(m, n)])
        if mat is None:
            return LuResult(_to_rows(columns, m, n), pivots, info.value)
        if write_back:
            write_back()
        return LuResult(mat, pivots, info.value)

    def gesv(self, a, b):
        """Solves a*x = b for the square matrix a.

        b is a list of rows (several right-hand sides) or a plain list (one).
        Returns (x, info) with x shaped like b and info 0. When U(k,k) is
        exactly zero, raises SingularMatrix with info = column = k (b is left
        unchanged, a holds the factors). When a or b is a buffer (or a
        Matrix), the work is done in place: a buffer a receives the LU
        factors, and x is the Matrix of b (a list b is copied into a new one),
        which receives the solution; a flat buffer b holds whole columns.
        """
        mat_a = _matrix_arg(a, "a")
        mat_b = _matrix_arg(b, "b", rows=mat_a.rows if mat_a is not None else len(a))
        if mat_a is None and mat_b is None:
            return self._gesv_lists(a, b)
        if mat_a is None:
            mat_a = _matrix_from_rows(a, "a")
        if mat_b is None:
            vector = isinstance(b, (list, tuple)) and all(not isinstance(v, (list, tuple)) for v in b)
            mat_b = _matrix_from_rows([[v] for v in b] if vector else b, "b")
        n = mat_a.rows
        if mat_a.cols != n:
            raise ValueError("a must be square, not %d by %d" % (n, mat_a.cols))
        if mat_b.rows != n:
            raise ValueError("b has %d rows for a %d by %d matrix" % (mat_b.rows, n, n))
        for mat, what in ((mat_a, "a"), (mat_b, "b")):
            if not mat.writable:
                raise ValueError("%s is read-only, but the results are written into it" % what)
        pa, lda, back_a = mat_a._pointer()
        pb, ldb, back_b = mat_b._pointer()
        ipiv = (ctypes.c_int * max(1, n))()
        info = ctypes.c_int(0)
        self._zgesv(ctypes.byref(ctypes.c_int(n)), ctypes.byref(ctypes.c_int(mat_b.cols)), pa,
                    ctypes.byref(ctypes.c_int(lda)), ipiv, pb, ctypes.byref(ctypes.c_int(ldb)),
                    ctypes.byref(info))
        for back in (back_a, back_b):
            if back:
                back()
        if info.value > 0:
            raise SingularMatrix(info.value, list(ipiv[:n]))
        return SolveResult(mat_b, info.value)

    def _gesv_lists(self, a, b):
        n, n2 = _shape(a, "a")
        if n != n2:
            raise ValueError("a must be square, not %d by %d" % (n, n2))
        vector = isinstance(b, (list, tuple)) and all(not isinstance(v, (list, tuple)) for v in b)
        rows = [[v] for v in b] if vector else b
        nb, nrhs = _shape(rows, "b")
        if nb != n:
            raise ValueError("b has %d rows for a %d by %d matrix" % (nb, n, n))
        columns = _to_columns(a, n, n)
        rhs = _to_columns(rows, n, nrhs)
        ipiv = (ctypes.c_int * max(1, n))()
        info = ctypes.c_int(0)
        ld = ctypes.c_int(max(1, n))
        self._zgesv(ctypes.byref(ctypes.c_int(n)), ctypes.byref(ctypes.c_int(nrhs)), columns,
                    ctypes.byref(ld), ipiv, rhs, ctypes.byref(ld), ctypes.byref(info))
        if info.value > 0:
            raise SingularMatrix(info.value, list(ipiv[:n]))
        x = _to_rows(rhs, n, nrhs)
        return SolveResult([row[0] for row in x] if vector else x, info.value)

    def eig(self, a, left=False, right=True):
        """Eigenvalues and, on request, eigenvectors of the square matrix a.

        Returns (w, vl, vr, info): w the list of eigenvalues; vr (if right)
        and vl (if left) lists of rows whose column j is the right eigenvector
        (a*v = w[j]*v) or the left one (u^H*a = w[j]*u^H) of w[j], each of
        Euclidean norm 1 with its largest component real and positive; None
        when not asked for. info = i > 0 means the QR algorithm failed: only
        w[i:] is meaningful and no vectors are returned (None).

        When a is a buffer (or a Matrix), the module works on it in place
        (a writable buffer by columns is not copied) and its contents are
        destroyed; vl and vr then come back as Matrix objects (by columns).
        """
        mat = _matrix_arg(a, "a")
        if mat is None:
            n, n2 = _shape(a, "a")
            if n != n2:
                raise ValueError("a must be square, not %d by %d" % (n, n2))
            columns = _to_columns(a, n, n)
            pointer, lda, write_back = columns, max(1, n), None
        else:
            n = mat.rows
            if mat.cols != n:
                raise ValueError("a must be square, not %d by %d" % (n, mat.cols))
            pointer, lda, write_back = mat._pointer()
        # The balancing step ends the process on a NaN, so refuse one here.
        for j in range(n):
            for i in range(n):
                z = pointer[i + j * lda]
                if not (math.isfinite(z.re) and math.isfinite(z.im)):
                    raise ValueError("a holds a NaN or an infinity at (%d,%d), counted from 1"
                                     % (i + 1, j + 1))
        w = (Complex * max(1, n))()
        ld = max(1, n)
        vl_mat = Matrix.zeros(n, n) if left and mat is not None else None
        vr_mat = Matrix.zeros(n, n) if right and mat is not None else None
        vl = vl_mat._pointer()[0] if vl_mat is not None and n else (Complex * (ld * ld if left else 1))()
        vr = vr_mat._pointer()[0] if vr_mat is not None and n else (Complex * (ld * ld if right else 1))()
        rwork = (ctypes.c_double * max(1, 2 * n))()
        info = ctypes.c_int(0)
        jobvl = b"V" if left else b"N"
        jobvr = b"V" if right else b"N"
        ldvl = ctypes.c_int(ld if left else 1)
        ldvr = ctypes.c_int(ld if right else 1)
        size = ctypes.c_int(n)
        lda_c = ctypes.c_int(lda)

        def call(work, lwork):
            self._zgeev(jobvl, jobvr, ctypes.byref(size), pointer, ctypes.byref(lda_c), w, vl,
                        ctypes.byref(ldvl), vr, ctypes.byref(ldvr), work,
                        ctypes.byref(ctypes.c_int(lwork)), rwork, ctypes.byref(info))

        query = (Complex * 1)()
        call(query, -1)
        lwork = max(1, 2 * n, int(query[0].re))
        call((Complex * lwork)(), lwork)
        if write_back:
            write_back()
        values = [complex(w[j].re, w[j].im) for j in range(n)]
        ok = info.value == 0
        if mat is not None:
            return EigResult(values, vl_mat if left and ok else None,
                             vr_mat if right and ok else None, info.value)
        return EigResult(values, _to_rows(vl, n, n) if left and ok else None,
                         _to_rows(vr, n, n) if right and ok else None, info.value)


def _matrix_arg(obj, what, rows=None):
    """obj as a Matrix when it is one or a buffer; None for lists of rows."""
    if isinstance(obj, Matrix):
        return obj
    if isinstance(obj, (list, tuple)):
        return None
    try:
        memoryview(obj)
    except TypeError:
        raise ValueError("%s must be a list of rows, a Matrix or an object with the buffer protocol"
                         % what)
    return Matrix(obj, rows=rows)


def _matrix_from_rows(rows, what):
    m, n = _shape(rows, what)
    mat = Matrix.zeros(m, n)
    for i in range(m):
        for j in range(n):
            mat[i, j] = rows[i][j]
    return mat


_default = None


def _module():
    global _default
    if _default is None:
        _default = Module()
    return _default


def getrf(a):
    """getrf of the module loaded by its default name."""
    return _module().getrf(a)


def gesv(a, b):
    """gesv of the module loaded by its default name."""
    return _module().gesv(a, b)


def eig(a, left=False, right=True):
    """eig of the module loaded by its default name."""
    return _module().eig(a, left, right)
