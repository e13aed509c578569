// A .NET binding of the qivlapackdll2 module: one DllImport per export, with
// the exact marshalling of every argument.
//
//  - Complex arrays are double[] of interleaved parts (re, im, re, im, ...):
//    blittable, so they are pinned and passed by address, and the module
//    writes into the caller's array.
//  - Integers are passed by reference (ref int), INFO included,
//    as the module takes every argument by address.
//  - Option letters are single-byte strings (LPStr): only the first byte is
//    read.
//  - No character lengths are appended: the module never needs them.
//
// The same source serves both platforms. It names the Windows DLL; on Linux
// the Mono runtime maps that name to libqivlapackdll2.so through the dllmap
// of the program's .config file, and .NET (Core) through the resolver below.
//
// The module ends the process (after one line on standard output) when it is
// passed an illegal argument; the checked wrappers in Qivla throw
// ArgumentException first.
using System;
using System.Runtime.InteropServices;

namespace Qivlapackdll2
{
    public static class Native
    {
        public const string Library = "libqivlapackdll2.winx64.dll";

        [DllImport(Library, EntryPoint = "qivcppdlltemplate_exportedtestfn", CallingConvention = CallingConvention.Cdecl)]
        public static extern void TestFn();

        [DllImport(Library, EntryPoint = "qivlapackdll2_zgetrf", CallingConvention = CallingConvention.Cdecl)]
        public static extern void Zgetrf(ref int m, ref int n, [In, Out] double[] a, ref int lda,
                                         [Out] int[] ipiv, ref int info);

        [DllImport(Library, EntryPoint = "qivlapackdll2_zgesv", CallingConvention = CallingConvention.Cdecl)]
        public static extern void Zgesv(ref int n, ref int nrhs, [In, Out] double[] a, ref int lda,
                                        [Out] int[] ipiv, [In, Out] double[] b, ref int ldb, ref int info);

        [DllImport(Library, EntryPoint = "qivlapackdll2_zgeev", CallingConvention = CallingConvention.Cdecl)]
        public static extern void Zgeev([MarshalAs(UnmanagedType.LPStr)] string jobvl,
                                        [MarshalAs(UnmanagedType.LPStr)] string jobvr, ref int n,
                                        [In, Out] double[] a, ref int lda, [Out] double[] w,
                                        [Out] double[] vl, ref int ldvl, [Out] double[] vr, ref int ldvr,
                                        [Out] double[] work, ref int lwork, [Out] double[] rwork,
                                        ref int info);

#if NET5_0_OR_GREATER
        // .NET (Core) has no dllmap: map the Windows name on other systems.
        static Native()
        {
            NativeLibrary.SetDllImportResolver(typeof(Native).Assembly, (name, assembly, path) =>
            {
                if (name == Library && !OperatingSystem.IsWindows())
                    return NativeLibrary.Load(OperatingSystem.IsMacOS() ? "libqivlapackdll2.dylib" : "libqivlapackdll2.so",
                                              assembly, path);
                return IntPtr.Zero;
            });
        }
#endif
    }

    // Checked calls: every argument is tested first, in the routine's order,
    // and an illegal one throws ArgumentException naming it instead of
    // reaching the module (which would end the process).
    public static class Qivla
    {
        static void Check(bool ok, string argument, string why)
        {
            if (!ok) throw new ArgumentException(argument + " " + why, argument);
        }

        static void CheckArray(double[] a, long complexCount, string argument)
        {
            Check(a != null, argument, "is null");
            Check(a.LongLength >= 2 * complexCount, argument,
                  "holds " + a.LongLength / 2 + " complex elements, fewer than the " + complexCount + " needed");
        }

        // Elements a matrix of rows x cols with leading dimension ld spans.
        static long Span(int rows, int cols, int ld)
        {
            return rows == 0 || cols == 0 ? 0 : (long)ld * (cols - 1) + rows;
        }

        public static string ExplainLu(int info)
        {
            if (info == 0) return "every pivot is nonzero: U is nonsingular";
            if (info > 0)
                return "U(" + info + "," + info + ") is exactly zero: column " + info +
                       " has no nonzero pivot, so the matrix is singular";
            return "argument " + (-info) + " was illegal";
        }

        // LU factorisation of the m x n matrix a (leading dimension lda),
        // overwritten by its factors. Returns INFO; ipiv receives min(m, n) pivots.
        public static int Getrf(int m, int n, double[] a, int lda, int[] ipiv)
        {
            Check(m >= 0, "M", "must not be negative");
            Check(n >= 0, "N", "must not be negative");
            CheckArray(a, Span(m, n, lda), "A");
            Check(lda >= Math.Max(1, m), "LDA", "must be at least max(1, M)");
            Check(ipiv != null && ipiv.Length >= Math.Min(m, n), "IPIV", "must hold min(M, N) entries");
            int info = 0;
            Native.Zgetrf(ref m, ref n, a, ref lda, ipiv, ref info);
            return info;
        }

        // Solves A*X = B; a receives the factors, b the solution when INFO = 0.
        public static int Gesv(int n, int nrhs, double[] a, int lda, int[] ipiv, double[] b, int ldb)
        {
            Check(n >= 0, "N", "must not be negative");
            Check(nrhs >= 0, "NRHS", "must not be negative");
            CheckArray(a, Span(n, n, lda), "A");
            Check(lda >= Math.Max(1, n), "LDA", "must be at least max(1, N)");
            Check(ipiv != null && ipiv.Length >= n, "IPIV", "must hold N entries");
            CheckArray(b, Span(n, nrhs, ldb), "B");
            Check(ldb >= Math.Max(1, n), "LDB", "must be at least max(1, N)");
            int info = 0;
            Native.Zgesv(ref n, ref nrhs, a, ref lda, ipiv, b, ref ldb, ref info);
            return info;
        }

        // Eigenvalues into w (n complex) and, with "V", left/right vectors into
        static bool IsFinite(double x) { return !double.IsNaN(x) && !double.IsInfinity(x); }

        // vl/vr; a is destroyed. The workspace is sized by a query.
        public static int Geev(string jobvl, string jobvr, int n, double[] a, int lda, double[] w,
                               double[] vl, int ldvl, double[] vr, int ldvr)
        {
            Check(jobvl != null && jobvl.Length > 0 && "NnVv".IndexOf(jobvl[0]) >= 0, "JOBVL", "must be N or V");
            Check(jobvr != null && jobvr.Length > 0 && "NnVv".IndexOf(jobvr[0]) >= 0, "JOBVR", "must be N or V");
            bool wantvl = char.ToUpperInvariant(jobvl[0]) == 'V', wantvr = char.ToUpperInvariant(jobvr[0]) == 'V';
            Check(n >= 0, "N", "must not be negative");
            CheckArray(a, Span(n, n, lda), "A");
            Check(lda >= Math.Max(1, n), "LDA", "must be at least max(1, N)");
            // Positions in the message are counted from 1, as in every host.
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                {
                    long k = 2 * ((long)j * lda + i);
                    if (!IsFinite(a[k]) || !IsFinite(a[k + 1]))
                        Check(false, "A", string.Format("holds a NaN or an infinity at ({0},{1}), counted from 1", i + 1, j + 1));
                }
            CheckArray(w, n, "W");
            Check(ldvl >= 1 && (!wantvl || ldvl >= n), "LDVL", "is too small");
            if (wantvl) CheckArray(vl, Span(n, n, ldvl), "VL");
            Check(ldvr >= 1 && (!wantvr || ldvr >= n), "LDVR", "is too small");
            if (wantvr) CheckArray(vr, Span(n, n, ldvr), "VR");
            double[] dummy = new double[2];
            double[] query = new double[2];
            double[] rwork = new double[Math.Max(1, 2 * n)];
            int lwork = -1, info = 0;
            Native.Zgeev(jobvl, jobvr, ref n, a, ref lda, w, wantvl ? vl : dummy, ref ldvl, wantvr ? vr : dummy,
                         ref ldvr, query, ref lwork, rwork, ref info);
            lwork = Math.Max(Math.Max(1, 2 * n), (int)query[0]);
            double[] work = new double[2 * lwork];
            Native.Zgeev(jobvl, jobvr, ref n, a, ref lda, w, wantvl ? vl : dummy, ref ldvl, wantvr ? vr : dummy,
                         ref ldvr, work, ref lwork, rwork, ref info);
            return info;
        }
    }
}
