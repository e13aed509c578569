"""Python host for the qivlapackdll2 module, using only ctypes.

The module is loaded by name (``libqivlapackdll2.so`` on Linux,
``libqivlapackdll2.winx64.dll`` on Windows x86-64), so the directory that
holds it must be on the platform's library search path (``LD_LIBRARY_PATH``,
``PATH``), or a path can be given explicitly::

    import qivlapackdll2
    lib = qivlapackdll2.Module()            # or Module("/path/to/libqivlapackdll2.so")
    lu, ipiv, info = lib.getrf([[4, 1j], [2, 3]])
    x, info = lib.gesv([[2, 1], [1, 3]], [1, 2])
    w, vl, vr, info = lib.eig([[2, 1], [1, 3]], left=True)

Matrices are lists of rows of numbers (int, float or complex); a right-hand
side may also be a plain list (one column). Results come back the same way,
with complex entries. Pivots are 1-based row numbers, as the module gives them.

The module ends the whole process when it is passed an illegal argument, so
this wrapper checks the shapes itself and raises ValueError first.
"""

import ctypes
import sys

__all__ = ["Module", "default_name", "getrf", "gesv", "eig"]


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
    array = (Complex * max(1, m * n))()
    for i in range(m):
        for j in range(n):
            z = complex(rows[i][j])
            array[i + j * m] = Complex(z.real, z.imag)
    return array


def _to_rows(array, m, n):
    return [[complex(array[i + j * m].re, array[i + j * m].im) for j in range(n)]
            for i in range(m)]


class Module:
    """The loaded module with its exports bound by name."""

    def __init__(self, path=None):
        self.path = path or default_name()
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
        exactly zero.
        """
        m, n = _shape(a, "a")
        array = _to_columns(a, m, n)
        ipiv = (ctypes.c_int * max(1, min(m, n)))()
        info = ctypes.c_int(0)
        self._zgetrf(ctypes.byref(ctypes.c_int(m)), ctypes.byref(ctypes.c_int(n)), array,
                     ctypes.byref(ctypes.c_int(max(1, m))), ipiv, ctypes.byref(info))
        return _to_rows(array, m, n), list(ipiv[:min(m, n)]), info.value

    def gesv(self, a, b):
        """Solves a*x = b for the square matrix a.

        b is a list of rows (several right-hand sides) or a plain list (one).
        Returns (x, info) with x shaped like b; when info = k > 0, U(k,k) is
        exactly zero and x is b unchanged.
        """
        n, n2 = _shape(a, "a")
        if n != n2:
            raise ValueError("a must be square, not %d by %d" % (n, n2))
        vector = isinstance(b, (list, tuple)) and all(not isinstance(v, (list, tuple)) for v in b)
        rows = [[v] for v in b] if vector else b
        nb, nrhs = _shape(rows, "b")
        if nb != n:
            raise ValueError("b has %d rows for a %d by %d matrix" % (nb, n, n))
        array = _to_columns(a, n, n)
        rhs = _to_columns(rows, n, nrhs)
        ipiv = (ctypes.c_int * max(1, n))()
        info = ctypes.c_int(0)
        ld = ctypes.c_int(max(1, n))
        self._zgesv(ctypes.byref(ctypes.c_int(n)), ctypes.byref(ctypes.c_int(nrhs)), array,
                    ctypes.byref(ld), ipiv, rhs, ctypes.byref(ld), ctypes.byref(info))
        x = _to_rows(rhs, n, nrhs)
        return ([row[0] for row in x] if vector else x), info.value

    def eig(self, a, left=False, right=True):
        """Eigenvalues and, on request, eigenvectors of the square matrix a.

        Returns (w, vl, vr, info): w the list of eigenvalues; vr (if right)
        and vl (if left) lists of rows whose column j is the right eigenvector
        (a*v = w[j]*v) or the left one (u^H*a = w[j]*u^H) of w[j], each of
        Euclidean norm 1 with its largest component real and positive; None
        when not asked for. info = i > 0 means the QR algorithm failed: only
        w[i:] is meaningful and no vectors are returned (None).
        """
        n, n2 = _shape(a, "a")
        if n != n2:
            raise ValueError("a must be square, not %d by %d" % (n, n2))
        array = _to_columns(a, n, n)
        w = (Complex * max(1, n))()
        ld = max(1, n)
        vl = (Complex * (ld * ld if left else 1))()
        vr = (Complex * (ld * ld if right else 1))()
        rwork = (ctypes.c_double * max(1, 2 * n))()
        info = ctypes.c_int(0)
        jobvl = b"V" if left else b"N"
        jobvr = b"V" if right else b"N"
        ldvl = ctypes.c_int(ld if left else 1)
        ldvr = ctypes.c_int(ld if right else 1)
        size = ctypes.c_int(n)
        lda = ctypes.c_int(ld)

        def call(work, lwork):
            self._zgeev(jobvl, jobvr, ctypes.byref(size), array, ctypes.byref(lda), w, vl,
                        ctypes.byref(ldvl), vr, ctypes.byref(ldvr), work,
                        ctypes.byref(ctypes.c_int(lwork)), rwork, ctypes.byref(info))

        query = (Complex * 1)()
        call(query, -1)
        lwork = max(1, 2 * n, int(query[0].re))
        call((Complex * lwork)(), lwork)
        values = [complex(w[j].re, w[j].im) for j in range(n)]
        ok = info.value == 0
        return (values, _to_rows(vl, n, n) if left and ok else None,
                _to_rows(vr, n, n) if right and ok else None, info.value)


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
