// A console host in C#: loads the module through the binding, factors and
// solves generated systems, computes eigen decompositions, and prints every
// number it gets back as the hexadecimal bit pattern of its binary64 value.
// It runs the very inputs of the C host examples/windows/host_win.c and
// prints the same lines, so the two outputs must agree byte for byte.
//
// Usage: HostExample.exe [load|run|illegal|checked]
//   load     calls the test entry only;
//   run      LU factorisations, solves and eigen decompositions with their
//            checks (the default);
//   illegal  one raw call with M = -1: the module reports it and ends the
//            process with status 0, so the line after the call never prints;
//   checked  the same call through the checked wrapper, which throws
//            ArgumentException instead, and the program goes on.
// Exit status: 0 when every check holds, 1 when one fails, 2 when the module
// cannot be loaded or bound.
using System;
using System.IO;
using Qivlapackdll2;

static class HostExample
{
    static TextWriter output;
    static int failures;

    // ---- output -----------------------------------------------------------------

    static string Hex(double x)
    {
        return BitConverter.DoubleToInt64Bits(x).ToString("x16");
    }

    static void Line(string s)
    {
        output.Write(s);
        output.Write('\n');
    }

    // One line per element of the m x n matrix in column order.
    static void PrintMatrix(string label, int m, int n, double[] a, int lda)
    {
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i)
            {
                long k = 2 * (i + (long)j * lda);
                Line(label + " " + (i + 1) + " " + (j + 1) + " " + Hex(a[k]) + " " + Hex(a[k + 1]));
            }
    }

    static void PrintInts(string label, int n, int[] v)
    {
        var s = new System.Text.StringBuilder(label);
        for (int k = 0; k < n; ++k) s.Append(' ').Append(v[k]);
        Line(s.ToString());
    }

    static void Verdict(string what, bool ok)
    {
        Line(what + ": " + (ok ? "ok" : "FAILED"));
        if (!ok) ++failures;
    }

    // ---- inputs ----------------------------------------------------------------------

    // The C host's 64-bit linear congruential sequence: multiples of 2^-52 in [-1, 1).
    static ulong state;

    static double NextValue()
    {
        unchecked { state = state * 6364136223846793005UL + 1442695040888963407UL; }
        return (double)(state >> 11) * (1.0 / 4503599627370496.0) - 1.0;
    }

    static double[] Filled(long count, ulong seed)
    {
        var a = new double[2 * Math.Max(1, count)];
        state = seed;
        for (long k = 0; k < count; ++k)
        {
            a[2 * k] = NextValue();
            a[2 * k + 1] = NextValue();
        }
        return a;
    }

    // ---- host-side arithmetic for the checks ---------------------------------------

    static double Cabs1(double re, double im) { return Math.Abs(re) + Math.Abs(im); }

    static double MaxAbs(int m, int n, double[] a, int lda)
    {
        double r = 0.0;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i)
            {
                long k = 2 * (i + (long)j * lda);
                r = Math.Max(r, Cabs1(a[k], a[k + 1]));
            }
        return r;
    }

    // Largest |A - P*L*U| relative to max|A|, the order and the unit roundoff.
    static double LuResidual(int m, int n, double[] a, int lda, double[] f, int[] ipiv)
    {
        int k = Math.Min(m, n);
        var prod = new double[2 * Math.Max(1, m * n)];
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i)
            {
                double sre = 0.0, sim = 0.0;
                int top = Math.Min(i, j);
                for (int l = 0; l <= top && l < k; ++l)
                {
                    double lre = l == i ? 1.0 : f[2 * (i + (long)l * lda)], lim = l == i ? 0.0 : f[2 * (i + (long)l * lda) + 1];
                    double ure = f[2 * (l + (long)j * lda)], uim = f[2 * (l + (long)j * lda) + 1];
                    sre += lre * ure - lim * uim;
                    sim += lre * uim + lim * ure;
                }
                prod[2 * (i + j * m)] = sre;
                prod[2 * (i + j * m) + 1] = sim;
            }
        for (int i = k - 1; i >= 0; --i)
        {
            int p = ipiv[i] - 1;
            if (p == i) continue;
            for (int j = 0; j < n; ++j)
                for (int c = 0; c < 2; ++c)
                {
                    double t = prod[2 * (i + j * m) + c];
                    prod[2 * (i + j * m) + c] = prod[2 * (p + j * m) + c];
                    prod[2 * (p + j * m) + c] = t;
                }
        }
        double worst = 0.0;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i)
            {
                long ka = 2 * (i + (long)j * lda);
                int kp = 2 * (i + j * m);
                worst = Math.Max(worst, Cabs1(a[ka] - prod[kp], a[ka + 1] - prod[kp + 1]));
            }
        double scale = MaxAbs(m, n, a, lda) * Math.Max(m, n) * Math.Pow(2, -53);
        return scale > 0.0 ? worst / scale : worst;
    }

    static double SolveResidual(int n, int nrhs, double[] a, int lda, double[] x, double[] b, int ldb)
    {
        double worst = 0.0;
        for (int r = 0; r < nrhs; ++r)
            for (int i = 0; i < n; ++i)
            {
                double sre = 0.0, sim = 0.0;
                for (int l = 0; l < n; ++l)
                {
                    long ka = 2 * (i + (long)l * lda), kx = 2 * (l + (long)r * ldb);
                    sre += a[ka] * x[kx] - a[ka + 1] * x[kx + 1];
                    sim += a[ka] * x[kx + 1] + a[ka + 1] * x[kx];
                }
                long kb = 2 * (i + (long)r * ldb);
                worst = Math.Max(worst, Cabs1(sre - b[kb], sim - b[kb + 1]));
            }
        double scale = MaxAbs(n, n, a, lda) * MaxAbs(n, nrhs, x, ldb) * n * Math.Pow(2, -53);
        return scale > 0.0 ? worst / scale : worst;
    }

    static bool PivotsInRange(int k, int m, int[] ipiv)
    {
        for (int i = 0; i < k; ++i)
            if (ipiv[i] < i + 1 || ipiv[i] > m) return false;
        return true;
    }

    // Rows between the described matrix and the leading dimension hold a
    // sentinel the module must leave alone.
    const double SentinelRe = -1234.5, SentinelIm = 6789.25;

    static void Pad(int m, int n, double[] a, int lda)
    {
        for (int j = 0; j < n; ++j)
            for (int i = m; i < lda; ++i)
            {
                long k = 2 * (i + (long)j * lda);
                a[k] = SentinelRe;
                a[k + 1] = SentinelIm;
            }
    }

    static bool PadIntact(int m, int n, double[] a, int lda)
    {
        for (int j = 0; j < n; ++j)
            for (int i = m; i < lda; ++i)
            {
                long k = 2 * (i + (long)j * lda);
                if (BitConverter.DoubleToInt64Bits(a[k]) != BitConverter.DoubleToInt64Bits(SentinelRe) ||
                    BitConverter.DoubleToInt64Bits(a[k + 1]) != BitConverter.DoubleToInt64Bits(SentinelIm))
                    return false;
            }
        return true;
    }

    static bool SameBits(double[] x, double[] y, long count)
    {
        for (long k = 0; k < count; ++k)
            if (BitConverter.DoubleToInt64Bits(x[k]) != BitConverter.DoubleToInt64Bits(y[k])) return false;
        return true;
    }

    // ---- the cases -------------------------------------------------------------------

    static void LuCase(int m, int n, int lda, int zeroColumn, ulong seed)
    {
        Line("zgetrf " + m + "x" + n + " lda " + lda);
        double[] aIn = Filled((long)lda * n, seed);
        if (zeroColumn > 0)
            for (int i = 0; i < m; ++i)
            {
                aIn[2 * (i + (long)(zeroColumn - 1) * lda)] = 0.0;
                aIn[2 * (i + (long)(zeroColumn - 1) * lda) + 1] = 0.0;
            }
        Pad(m, n, aIn, lda);
        var lu = (double[])aIn.Clone();
        int k = Math.Min(m, n);
        var ipiv = new int[Math.Max(1, k)];
        for (int i = 0; i < k; ++i) ipiv[i] = -7;
        int mm = m, nn = n, ld = lda, info = -99;
        Native.Zgetrf(ref mm, ref nn, lu, ref ld, ipiv, ref info);
        Line("info " + info);
        PrintInts("ipiv", k, ipiv);
        PrintMatrix("lu", m, n, lu, lda);
        Verdict("  info", info == (zeroColumn > 0 ? zeroColumn : 0));
        Verdict("  pivots in range", PivotsInRange(k, m, ipiv));
        Verdict("  padding untouched", PadIntact(m, n, lu, lda));
        if (zeroColumn == 0) Verdict("  A = P*L*U", LuResidual(m, n, aIn, lda, lu, ipiv) < 30.0);
    }

    static void SolveCase(int n, int nrhs, int lda, int ldb, bool singular, ulong seed)
    {
        Line("zgesv n " + n + " nrhs " + nrhs + " lda " + lda + " ldb " + ldb);
        double[] aIn = Filled((long)lda * n, seed);
        double[] bIn = Filled((long)ldb * nrhs, seed + 1);
        if (singular)
            for (int i = 0; i < n; ++i)
            {
                aIn[2 * (i + lda)] = 0.0;
                aIn[2 * (i + lda) + 1] = 0.0;
            }
        Pad(n, n, aIn, lda);
        Pad(n, nrhs, bIn, ldb);
        var lu = (double[])aIn.Clone();
        var x = (double[])bIn.Clone();
        var ipiv = new int[Math.Max(1, n)];
        int nn = n, nr = nrhs, la = lda, lb = ldb, info = -99;
        Native.Zgesv(ref nn, ref nr, lu, ref la, ipiv, x, ref lb, ref info);
        Line("info " + info);
        PrintInts("ipiv", n, ipiv);
        PrintMatrix("lu", n, n, lu, lda);
        PrintMatrix("x", n, nrhs, x, ldb);
        Verdict("  padding untouched", PadIntact(n, n, lu, lda) && PadIntact(n, nrhs, x, ldb));
        if (singular)
        {
            Verdict("  info names the zero pivot", info == 2);
            Verdict("  B unchanged", SameBits(x, bIn, 2L * ldb * nrhs));
        }
        else
        {
            Verdict("  info", info == 0);
            Verdict("  A*X = B", SolveResidual(n, nrhs, aIn, lda, x, bIn, ldb) < 30.0);
        }
    }

    // Largest |A*v - w*v| (right) or |u^H*A - w*u^H| (left) over all pairs.
    static double EigResidual(int n, double[] a, int lda, double[] w, double[] v, int ldv, bool left)
    {
        double worst = 0.0;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
            {
                double sre = 0.0, sim = 0.0;
                for (int l = 0; l < n; ++l)
                {
                    long ka = left ? 2 * (l + (long)i * lda) : 2 * (i + (long)l * lda);
                    double yre = v[2 * (l + (long)j * ldv)], yim = v[2 * (l + (long)j * ldv) + 1];
                    if (left) yim = -yim;
                    sre += a[ka] * yre - a[ka + 1] * yim;
                    sim += a[ka] * yim + a[ka + 1] * yre;
                }
                double vre = v[2 * (i + (long)j * ldv)], vim = v[2 * (i + (long)j * ldv) + 1];
                if (left) vim = -vim;
                double tre = w[2 * j] * vre - w[2 * j + 1] * vim, tim = w[2 * j] * vim + w[2 * j + 1] * vre;
                worst = Math.Max(worst, Cabs1(sre - tre, sim - tim));
            }
        double scale = MaxAbs(n, n, a, lda) * n * Math.Pow(2, -53);
        return scale > 0.0 ? worst / scale : worst;
    }

    static bool VectorsNormalised(int n, double[] v, int ldv)
    {
        for (int j = 0; j < n; ++j)
        {
            double norm2 = 0.0, big = -1.0;
            int atBig = 0;
            for (int i = 0; i < n; ++i)
            {
                double re = v[2 * (i + (long)j * ldv)], im = v[2 * (i + (long)j * ldv) + 1];
                double m2 = re * re + im * im;
                norm2 += m2;
                if (m2 > big)
                {
                    big = m2;
                    atBig = i;
                }
            }
            double topRe = v[2 * (atBig + (long)j * ldv)], topIm = v[2 * (atBig + (long)j * ldv) + 1];
            if (Math.Abs(norm2 - 1.0) > 1e-12 * n || topIm != 0.0 || !(topRe > 0.0)) return false;
        }
        return true;
    }

    const int MaxEig = 96;

    static void EigCase(int n, int lda, ulong seed)
    {
        Line("zgeev n " + n + " lda " + lda);
        double[] aIn = Filled((long)lda * n, seed);
        Pad(n, n, aIn, lda);
        var a = (double[])aIn.Clone();
        var w = new double[2 * MaxEig];
        var w2 = new double[2 * MaxEig];
        var vl = new double[2 * MaxEig * MaxEig];
        var vr = new double[2 * MaxEig * MaxEig];
        var work = new double[2 * MaxEig * 200];
        var rwork = new double[2 * MaxEig];
        int nn = n, la = lda, ldv = n, lwork = -1, info = -99;
        Native.Zgeev("V", "V", ref nn, a, ref la, w, vl, ref ldv, vr, ref ldv, work, ref lwork, rwork, ref info);
        Line("optimal lwork " + (int)work[0]);
        lwork = (int)work[0];
        if (lwork > MaxEig * 200) lwork = MaxEig * 200;
        Native.Zgeev("V", "V", ref nn, a, ref la, w, vl, ref ldv, vr, ref ldv, work, ref lwork, rwork, ref info);
        Line("info " + info);
        PrintMatrix("w", n, 1, w, n);
        PrintMatrix("vl", n, n, vl, ldv);
        PrintMatrix("vr", n, n, vr, ldv);
        Verdict("  info", info == 0);
        Verdict("  padding untouched", PadIntact(n, n, a, lda));
        Verdict("  A*v = w*v", EigResidual(n, aIn, lda, w, vr, ldv, false) < 30.0);
        Verdict("  u^H*A = w*u^H", EigResidual(n, aIn, lda, w, vl, ldv, true) < 30.0);
        Verdict("  vectors normalised", VectorsNormalised(n, vl, ldv) && VectorsNormalised(n, vr, ldv));

        a = (double[])aIn.Clone();
        int one = 1;
        lwork = 2 * n;
        Native.Zgeev("N", "N", ref nn, a, ref la, w2, vl, ref one, vr, ref one, work, ref lwork, rwork, ref info);
        PrintMatrix("w only", n, 1, w2, n);
        double worst = 0.0;
        for (int j = 0; j < n; ++j) worst = Math.Max(worst, Cabs1(w[2 * j] - w2[2 * j], w[2 * j + 1] - w2[2 * j + 1]));
        Verdict("  same eigenvalues without vectors",
                info == 0 && worst <= 1e3 * n * Math.Pow(2, -53) * MaxAbs(n, n, aIn, lda));
    }

    static int Main(string[] args)
    {
        string mode = args.Length > 0 ? args[0] : "run";
        output = new StreamWriter(Console.OpenStandardOutput()) { AutoFlush = false };
        try
        {
            try
            {
                Native.TestFn();
            }
            catch (Exception e) when (e is DllNotFoundException || e is EntryPointNotFoundException)
            {
                Console.Error.WriteLine("cannot load or bind " + Native.Library + ": " + e.Message);
                return 2;
            }
            Line("qivcppdlltemplate_exportedtestfn returned");
            if (mode == "load") return failures == 0 ? 0 : 1;

            if (mode == "illegal")
            {
                int m = -1, n = 3, lda = 1, info = 0;
                var a = new double[6];
                var piv = new int[1];
                Line("calling qivlapackdll2_zgetrf with M = -1");
                output.Flush();  // the module ends the process: nothing buffered may be left
                Native.Zgetrf(ref m, ref n, a, ref lda, piv, ref info);
                Line("returned from an illegal call with INFO = " + info);
                return 1;
            }
            if (mode == "checked")
            {
                try
                {
                    Qivla.Getrf(-1, 3, new double[6], 1, new int[1]);
                    Line("the checked call was not refused");
                    return 1;
                }
                catch (ArgumentException e)
                {
                    Line("refused " + e.ParamName + ": " + e.Message.Split('\n')[0].Split('\r')[0]);
                }
                var x = new double[] { 0, 0, 1, 0, 1, 0, 0, 0 };  // [[0, 1], [1, 0]] by columns
                var b = new double[] { 3, 0, 5, 0 };
                int info2 = Qivla.Gesv(2, 1, x, 2, new int[2], b, 2);
                Line("solved after the refusal: info " + info2 + ", x = (" + b[0] + ", " + b[2] + ")");
                return 0;
            }

            LuCase(4, 3, 4, 0, 11);
            LuCase(3, 5, 6, 0, 12);
            LuCase(70, 70, 73, 0, 13);
            LuCase(90, 66, 90, 0, 14);
            LuCase(6, 6, 6, 3, 15);
            LuCase(0, 4, 1, 0, 16);
            SolveCase(5, 3, 7, 6, false, 21);
            SolveCase(80, 2, 80, 81, false, 22);
            SolveCase(4, 2, 4, 4, true, 23);
            EigCase(1, 1, 31);
            EigCase(6, 8, 32);
            EigCase(40, 41, 33);
            EigCase(90, 96, 34);
            Line(failures + " check(s) failed");
            return failures == 0 ? 0 : 1;
        }
        finally
        {
            output.Flush();
        }
    }
}
