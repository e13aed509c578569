"""qivla end to end: the built program on shipped and written matrices, its
JSON checked against the module called directly through the Python host, its
SVG plots parsed, its exit statuses and messages for bad command lines and
broken files, and its progress line on a terminal only.

Environment: QIVLA (the program), QIV_MODULE (the module it loads, also used
by the Python host), QIV_SOURCE_DIR (the source tree).
"""

import gzip
import json
import math
import os
import pty
import random
import resource
import signal
import select
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

SOURCE = os.environ.get("QIV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
QIVLA = os.environ.get("QIVLA", "qivla")
MODULE = os.environ.get("QIV_MODULE", "libqivlapackdll2.so")
PDE225 = os.path.join(SOURCE, "tests", "data", "pde225.rua")
PDE900 = os.path.join(SOURCE, "examples", "data", "pde900.rua")

sys.path.insert(0, os.path.join(SOURCE, "examples", "python"))
import qivlapackdll2  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"


def run(*args, env=None, timeout=300):
    full_env = dict(os.environ)
    full_env.pop("QIVLA_MEMORY_LIMIT", None)
    full_env.update(env or {})
    return subprocess.run([QIVLA] + list(args) + (["--module", MODULE] if args and args[0] != "convert" else []),
                          capture_output=True, text=True, env=full_env, timeout=timeout)


def run_json(*args):
    done = run(*args, "--json")
    return done, (json.loads(done.stdout) if done.stdout.strip() else None)


def read_mtx(path):
    """A Matrix Market coordinate or array file written by qivla, as rows."""
    with open(path) as f:
        header = f.readline().split()
        lines = [line for line in f if line.strip() and not line.startswith("%")]
    size = [int(t) for t in lines[0].split()]
    m, n = size[0], size[1]
    rows = [[0j] * n for _ in range(m)]
    complex_field = header[3] == "complex"
    if header[2] == "coordinate":
        for line in lines[1:]:
            t = line.split()
            rows[int(t[0]) - 1][int(t[1]) - 1] = complex(float(t[2]), float(t[3]) if complex_field else 0.0)
    else:
        values = [line.split() for line in lines[1:]]
        for k, t in enumerate(values):
            rows[k % m][k // m] = complex(float(t[0]), float(t[1]) if complex_field else 0.0)
    return rows


def write_mtx(path, rows):
    m, n = len(rows), len(rows[0])
    with open(path, "w") as f:
        f.write("%%MatrixMarket matrix array complex general\n")
        f.write("%d %d\n" % (m, n))
        for j in range(n):
            for i in range(m):
                z = complex(rows[i][j])
                f.write("%r %r\n" % (z.real, z.imag))


def bits(z):
    return struct.pack("<dd", z.real, z.imag)


def read_terminal(master, proc, timeout):
    """All that proc writes to the terminal whose master end is given, until it
    ends; waits for proc and closes the master end."""
    chunks = []
    while True:
        ready, _, _ = select.select([master], [], [], 1.0)
        if ready:
            try:
                data = os.read(master, 65536)
            except OSError:
                break
            if not data:
                break
            chunks.append(data)
        elif proc.poll() is not None:
            break
    proc.wait(timeout=timeout)
    os.close(master)
    return b"".join(chunks)

class QivlaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="qivla_e2e_")
        cls.dir = cls.tmp.name
        cls.lib = qivlapackdll2.Module(MODULE)
        # The shipped matrix as the module sees it, through qivla's own
        # writer: the test reads that text itself.
        cls.pde_mtx = os.path.join(cls.dir, "pde225.mtx")
        done = run("convert", PDE225, cls.pde_mtx)
        assert done.returncode == 0, done.stderr
        cls.pde = read_mtx(cls.pde_mtx)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    # ---- the commands against the module called directly ------------------------

    def test_info_names_the_module_its_exports_and_kernels(self):
        done, info = run_json("info")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(info["module"], os.path.realpath(MODULE))
        self.assertEqual(info["exports"], ["qivcppdlltemplate_exportedtestfn", "qivlapackdll2_zgeev",
                                           "qivlapackdll2_zgesv", "qivlapackdll2_zgetrf"])
        self.assertIn(info["isa"], ("baseline", "avx2", "avx512"))
        text = run("info").stdout
        self.assertIn(os.path.realpath(MODULE), text)
        self.assertIn("qivlapackdll2_zgeev", text)

    def test_eig_json_is_the_module_bit_for_bit(self):
        done, out = run_json("eig", PDE225, "--vectors", "both", "--check", "all")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(out["check"], {"kind": "all", "pairs": 225})
        self.assertEqual((out["info"], out["rows"], out["name"], out["vectors"]), (0, 225, "PDE225", "both"))
        w, vl, vr, info = self.lib.eig(self.pde, left=True, right=True)
        self.assertEqual(info, 0)
        got = [complex(re, im) for re, im in out["eigenvalues"]]
        self.assertEqual([bits(z) for z in got], [bits(z) for z in w])  # the module's own order
        self.assertEqual(len(out["residuals"]["right"]), 225)
        self.assertEqual(len(out["residuals"]["left"]), 225)
        self.assertLess(out["max_residual_right"], 1e-13)
        self.assertLess(out["max_residual_left"], 1e-13)
        self.assertEqual(out["max_residual_right"], max(out["residuals"]["right"]))
        # The residual of the first right vector, recomputed here.
        a, v = self.pde, [vr[i][0] for i in range(225)]
        num = sum(abs((sum(a[i][k] * v[k] for k in range(225)) - w[0] * v[i]).real) +
                  abs((sum(a[i][k] * v[k] for k in range(225)) - w[0] * v[i]).imag) for i in range(225))
        norm1 = max(sum(abs(a[i][j].real) + abs(a[i][j].imag) for i in range(225)) for j in range(225))
        vnorm = sum(abs(x.real) + abs(x.imag) for x in v)
        self.assertAlmostEqual(out["residuals"]["right"][0], num / (norm1 * vnorm), delta=1e-17)
        self.assertGreater(out["seconds"], 0.0)
        # By default a sample of the pairs, spread over the module's order,
        # gives the same residuals as the full check.
        done, sampled = run_json("eig", PDE225, "--vectors", "both")
        self.assertEqual(sampled["check"], {"kind": "sample", "pairs": 64})
        checked = [k for k, r in enumerate(sampled["residuals"]["right"]) if r is not None]
        self.assertEqual((len(checked), checked[0], checked[-1]), (64, 0, 224))
        self.assertEqual([sampled["residuals"]["left"][k] for k in checked], [out["residuals"]["left"][k] for k in checked])
        self.assertIn("residual check: a sample of 64 of 225 pairs (--check all checks every one)",
                      run("eig", PDE225).stdout)
        # Eigenvalues alone: no residuals.
        done, alone = run_json("eig", PDE225, "--vectors", "none")
        self.assertEqual((alone["residuals"]["right"], alone["max_residual_left"]), (None, None))

    def test_eig_text_lists_by_modulus(self):
        done = run("eig", PDE225, "--all")
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = [line for line in done.stdout.splitlines() if "|w| = " in line]
        self.assertEqual(len(lines), 225)
        moduli = [float(line.split("|w| = ")[1]) for line in lines]
        self.assertEqual(moduli, sorted(moduli, reverse=True))
        self.assertIn("INFO = 0: all eigenvalues converged", done.stdout)
        self.assertNotIn("\r", done.stdout)  # no progress line into a pipe
        self.assertNotIn("\x1b", done.stdout)
        short = run("eig", PDE225).stdout
        self.assertIn("(20 of 225; --all lists every one)", short)

    def test_solve_json_is_the_module_bit_for_bit(self):
        done, out = run_json("solve", PDE225)
        self.assertEqual(done.returncode, 0, done.stderr)
        n = 225
        b = [0j] * n
        for j in range(n):  # b = A*(1, ..., 1), added column by column as qivla does
            for i in range(n):
                b[i] += self.pde[i][j]
        x, info = self.lib.gesv(self.pde, b)
        self.assertEqual((out["info"], info, out["rhs"], out["nrhs"]), (0, 0, "ones", 1))
        got = [complex(re, im) for re, im in out["solution"][0]]
        self.assertEqual([bits(z) for z in got], [bits(z) for z in x])
        self.assertAlmostEqual(out["error"], max(abs(z - 1) for z in x), delta=1e-18)
        self.assertLess(out["error"], 1e-10)
        self.assertLess(out["residuals"][0], 1e-15)
        self.assertEqual(len(out["ipiv"]), n)

    def test_solve_with_a_right_hand_side_file(self):
        rhs = [[complex(i, -j) for j in range(3)] for i in range(225)]
        path = self.path("rhs.mtx")
        write_mtx(path, rhs)
        done, out = run_json("solve", PDE225, path)
        self.assertEqual(done.returncode, 0, done.stderr)
        x, _ = self.lib.gesv(self.pde, rhs)
        for c in range(3):
            self.assertEqual([bits(complex(*p)) for p in out["solution"][c]], [bits(row[c]) for row in x])
        self.assertIsNone(out["error"])
        write_mtx(self.path("short.mtx"), rhs[:5])
        done = run("solve", PDE225, self.path("short.mtx"))
        self.assertEqual(done.returncode, 2)
        self.assertIn("the right-hand sides have 5 rows, but the matrix has order 225", done.stderr)

    def test_lu_json_is_the_module(self):
        done, out = run_json("lu", PDE225)
        self.assertEqual(done.returncode, 0, done.stderr)
        lu, ipiv, info = self.lib.getrf(self.pde)
        self.assertEqual((out["ipiv"], out["info"]), (ipiv, info))
        umax = max(abs(lu[i][j]) for i in range(225) for j in range(i, 225))
        amax = max(abs(z) for row in self.pde for z in row)
        self.assertAlmostEqual(out["growth_factor"], umax / amax, delta=1e-15)
        pivots = [abs(lu[k][k]) for k in range(225)]
        self.assertAlmostEqual(out["reciprocal_pivot_ratio"], min(pivots) / max(pivots), delta=1e-15)

    def test_singular_matrix_names_the_zero_pivot_column(self):
        a = [[complex(i + 2 * j + 1, (i * j) % 3) if j != 2 else 0 for j in range(5)] for i in range(5)]
        path = self.path("singular.mtx")
        write_mtx(path, a)
        done, out = run_json("solve", path)
        self.assertEqual(done.returncode, 1)
        self.assertEqual((out["info"], out["zero_pivot_column"], out["solution"]), (3, 3, None))
        text = run("solve", path)
        self.assertEqual(text.returncode, 1)
        self.assertIn("INFO = 3: no solution computed: U(3,3) is exactly zero, column 3", text.stdout)
        done, out = run_json("lu", path)
        self.assertEqual((done.returncode, out["info"], out["zero_pivot_column"]), (1, 3, 3))
        self.assertEqual(out["reciprocal_pivot_ratio"], 0.0)

    def test_converted_files_give_the_same_results(self):
        # Harwell-Boeing to compressed Matrix Market to complex Harwell-Boeing.
        first, second = self.path("p.mtx.gz"), self.path("p.cua")
        self.assertEqual(run("convert", PDE225, first).returncode, 0)
        self.assertEqual(run("convert", first, second).returncode, 0)
        outs = [run_json("lu", f)[1] for f in (PDE225, first, second)]
        self.assertEqual(outs[0]["ipiv"], outs[1]["ipiv"])
        self.assertEqual(outs[0]["ipiv"], outs[2]["ipiv"])
        self.assertTrue(outs[1]["compressed"])

    # ---- results out ----------------------------------------------------------------

    def test_out_files_read_back_bit_for_bit(self):
        w_path = self.path("w.mtx")
        done, out = run_json("eig", PDE225, "--cond", "--out", w_path, "--full")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(out["out"], [w_path, self.path("w.right.mtx"), self.path("w.left.mtx")])
        w, vl, vr, _ = self.lib.eig(self.pde, left=True, right=True)
        values = read_mtx(w_path)
        self.assertEqual([bits(row[0]) for row in values], [bits(z) for z in w])
        for name, v, key in (("w.right.mtx", vr, "right_vectors"), ("w.left.mtx", vl, "left_vectors")):
            got = read_mtx(self.path(name))
            self.assertEqual([bits(z) for row in got for z in row], [bits(z) for row in v for z in row])
            self.assertEqual([bits(complex(*z)) for col in out[key] for z in col],
                             [bits(v[i][j]) for j in range(225) for i in range(225)])
        # Condition numbers 1/|u^H v| of unit vectors, in column 2 and in JSON.
        for j in (0, 100, 224):
            u, v = [vl[i][j] for i in range(225)], [vr[i][j] for i in range(225)]
            dot = abs(sum(a.conjugate() * b for a, b in zip(u, v)))
            norms = math.sqrt(sum(abs(a) ** 2 for a in u)) * math.sqrt(sum(abs(b) ** 2 for b in v))
            self.assertAlmostEqual(out["condition"][j] / (norms / dot), 1.0, delta=1e-12)
            self.assertEqual(values[j][1], complex(out["condition"][j], 0))
        self.assertIn("cond = ", run("eig", PDE225, "--cond").stdout)
        # Harwell-Boeing by the name; solve's X and lu's factors and pivots.
        self.assertEqual(run("eig", PDE225, "--vectors", "none", "--out", self.path("w.cua")).returncode, 0)
        self.assertEqual(run("convert", self.path("w.cua"), self.path("w2.mtx")).returncode, 0)
        alone = [complex(*z) for z in run_json("eig", PDE225, "--vectors", "none")[1]["eigenvalues"]]
        self.assertEqual([bits(row[0]) for row in read_mtx(self.path("w2.mtx"))], [bits(z) for z in alone])
        b = [0j] * 225
        for j in range(225):
            for i in range(225):
                b[i] += self.pde[i][j]
        x, _ = self.lib.gesv(self.pde, b)
        done = run("solve", PDE225, "--out", "-")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("backward error", done.stderr)  # the report moves aside
        with open(self.path("x.mtx"), "w") as f:
            f.write(done.stdout)
        self.assertEqual([bits(row[0]) for row in read_mtx(self.path("x.mtx"))], [bits(z) for z in x])
        # Standard input, compressed or not, is a file like any other.
        with open(PDE225, "rb") as f:
            piped = subprocess.run([QIVLA, "solve", "-", "--out", "-", "--module", MODULE], input=gzip.compress(f.read()),
                                   capture_output=True, timeout=60)
        self.assertEqual(piped.stdout.decode(), done.stdout)
        self.assertIn("-: PDE225, 225 x 225, 1065 nonzeros (Harwell-Boeing RUA, gzip)", piped.stderr.decode())
        lu, ipiv, _ = self.lib.getrf(self.pde)
        self.assertEqual(run("lu", PDE225, "--out", self.path("f.mtx")).returncode, 0)
        self.assertEqual([bits(z) for row in read_mtx(self.path("f.mtx")) for z in row],
                         [bits(z) for row in lu for z in row])
        self.assertEqual([int(row[0].real) for row in read_mtx(self.path("f.pivots.mtx"))], ipiv)
        self.assertEqual(run_json("lu", PDE225, "--full")[1]["factors"][7], [[z.real, z.imag] for z in
                                                                              (lu[i][7] for i in range(225))])
        # --all lists everything; the default, a summary.
        self.assertEqual(sum(1 for line in run("solve", PDE225, "--all").stdout.splitlines()
                             if line.strip().startswith(tuple("0123456789"))), 225)
        self.assertEqual(len(run("lu", PDE225, "--all").stdout.splitlines()) - len(run("lu", PDE225).stdout.splitlines()),
                         225 * 225 + 1)

    def test_batch_of_files_in_parallel(self):
        folder = self.path("batch")
        os.makedirs(folder, exist_ok=True)
        small = [[complex(i + j, i - j) if abs(i - j) < 2 else 0 for j in range(6)] for i in range(6)]
        write_mtx(os.path.join(folder, "a.mtx"), small)
        write_mtx(os.path.join(folder, "b.mtx"), [[2, 1], [1, 2]])
        with open(os.path.join(folder, "c.mtx"), "w") as f:
            f.write("%%MatrixMarket matrix coordinate real general\n2 2 1\n3 3 1\n")
        with open(os.path.join(folder, "notes.txt"), "w") as f:
            f.write("not a matrix\n")
        done = run("eig", folder, PDE225, "--json", "--jobs", "3")
        self.assertEqual(done.returncode, 2)  # the worst of the files'
        lines = [json.loads(line) for line in done.stdout.splitlines()]
        self.assertEqual([os.path.basename(line["file"]) for line in lines], ["a.mtx", "b.mtx", "c.mtx", "pde225.rua"])
        self.assertIn("lies outside the 2 x 2 matrix", lines[2]["error"])
        self.assertEqual(done.stderr.count("\n"), 1)
        alone = run_json("eig", PDE225)[1]
        self.assertEqual(lines[3]["eigenvalues"], alone["eigenvalues"])
        self.assertEqual([round(z[0], 12) for z in sorted(lines[1]["eigenvalues"])], [1.0, 3.0])
        text = run("eig", os.path.join(folder, "a.mtx"), os.path.join(folder, "b.mtx"))
        self.assertEqual(text.returncode, 0)
        self.assertEqual(text.stdout.count("INFO = 0"), 2)
        # On a terminal, a progress line for the batch, erased before each report.
        master, slave = pty.openpty()
        proc = subprocess.Popen([QIVLA, "eig", os.path.join(folder, "b.mtx"), PDE900, PDE225, "--jobs", "1",
                                 "--module", MODULE], stdout=slave, stderr=subprocess.PIPE, close_fds=True)
        os.close(slave)
        screen = read_terminal(master, proc, 300).decode()
        proc.stderr.close()
        self.assertEqual(proc.returncode, 0)
        self.assertIn("eig: 1 of 3 files done, 1 at a time", screen)
        self.assertEqual(screen.count("INFO = 0"), 3)

    # ---- plots ---------------------------------------------------------------------

    def plot(self, matrix, name, *extra):
        path = self.path(name)
        done = run("eig", matrix, "--vectors", "none", "--plot", path, *extra, "--json")
        self.assertEqual(done.returncode, 0, done.stderr)
        return json.loads(done.stdout), ET.parse(path).getroot()

    def check_plot(self, out, root, log):
        w = [complex(re, im) for re, im in out["eigenvalues"]]
        self.assertEqual(root.tag, SVG + "svg")
        title = root.find(SVG + "text[@id='title']").text
        self.assertIn(out["name"], title)
        points = root.findall(SVG + "g[@id='points']/" + SVG + "circle")
        self.assertEqual(len(points), len(w))
        axes = {}
        for name in ("x", "y"):
            axis = root.find(SVG + "g[@id='%s-axis']" % name)
            self.assertEqual(axis.get("data-scale"), "symlog" if log else "linear")
            lo, hi = float(axis.get("data-min")), float(axis.get("data-max"))
            ticks = [float(t.get("data-value")) for t in axis.findall(SVG + "line[@class='tick']")]
            labels = axis.findall(SVG + "text[@class='tick-label']")
            self.assertEqual(len(ticks), len(labels))
            self.assertGreaterEqual(len(ticks), 2)
            self.assertEqual(ticks, sorted(ticks))
            self.assertTrue(all(lo * (1 + 1e-12) - 1e-300 <= t <= hi * (1 + 1e-12) + 1e-300 for t in ticks))
            if log:
                for t in ticks:
                    if t != 0.0:
                        self.assertAlmostEqual(math.log10(abs(t)), round(math.log10(abs(t))), places=9)
            axes[name] = (lo, hi)
        data = [(float(p.get("data-re")), float(p.get("data-im")), float(p.get("cx")), float(p.get("cy")))
                for p in points]
        self.assertEqual(sorted((re, im) for re, im, _, _ in data), sorted((z.real, z.imag) for z in w))
        frame = root.find(SVG + "rect[@id='frame']")
        x0, y0 = float(frame.get("x")), float(frame.get("y"))
        x1, y1 = x0 + float(frame.get("width")), y0 + float(frame.get("height"))
        for re, im, cx, cy in data:
            self.assertTrue(axes["x"][0] <= re <= axes["x"][1], (re, axes["x"]))
            self.assertTrue(axes["y"][0] <= im <= axes["y"][1], (im, axes["y"]))
            self.assertTrue(x0 <= cx <= x1 and y0 <= cy <= y1, (cx, cy))
        # Larger real parts lie further right, larger imaginary parts higher up.
        by_re = sorted(data, key=lambda p: p[0])
        self.assertTrue(all(a[2] <= b[2] + 0.01 for a, b in zip(by_re, by_re[1:])))
        by_im = sorted(data, key=lambda p: p[1])
        self.assertTrue(all(a[3] >= b[3] - 0.01 for a, b in zip(by_im, by_im[1:])))
        return axes

    def test_plot_of_a_shipped_matrix(self):
        out, root = self.plot(PDE225, "pde225.svg")
        axes = self.check_plot(out, root, log=False)
        w = [complex(re, im) for re, im in out["eigenvalues"]]
        # The axes hug the data: no more than half the range to spare.
        span = max(z.real for z in w) - min(z.real for z in w)
        self.assertLess(axes["x"][1] - axes["x"][0], 2 * span)
        self.assertEqual(out["plot"], self.path("pde225.svg"))

    def test_png_plot(self):
        path = self.path("pde225.png")
        done = run("eig", PDE225, "--vectors", "none", "--plot", path)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", data[16:24]), (1520, 1200))  # the SVG's size, twice
        self.assertGreater(len(data), 20000)  # points, axes and text, not a blank page

    def test_log_plot_of_a_spectrum_over_many_decades(self):
        # A triangular matrix: its eigenvalues are its diagonal, from 1e-9 to
        # 1e9 with both signs and some imaginary parts.
        diag = [s * 10.0 ** e + (1j * 10.0 ** (e - 1) if e % 3 == 0 else 0) for e in range(-9, 10)
                for s in (1, -1)]
        n = len(diag)
        a = [[diag[i] if i == j else (0.5 if j == i + 1 else 0) for j in range(n)] for i in range(n)]
        write_mtx(self.path("decades.mtx"), a)
        out, root = self.plot(self.path("decades.mtx"), "decades.svg", "--log")
        axes = self.check_plot(out, root, log=True)
        self.assertLessEqual(axes["x"][0], -1e9)
        self.assertGreaterEqual(axes["x"][1], 1e9)
        # The linear plot of the same spectrum squeezes the small ones together;
        # the logarithmic one keeps the decades apart.
        cx = sorted(float(p.get("cx")) for p in root.iter(SVG + "circle") if float(p.get("data-re")) > 0)
        self.assertTrue(all(b - a > 5 for a, b in zip(cx, cx[1:])), cx)

    # ---- what goes wrong ------------------------------------------------------------

    def test_bad_command_lines_get_one_line_and_status_2(self):
        plot = self.path("spectrum.pdf")
        for args in ([], ["frobnicate"], ["eig"], ["eig", PDE225, "--vectors", "some"],
                     ["eig", PDE225, "--log"], ["eig", PDE225, "--plot"], ["lu", PDE225, "--bogus"],
                     ["solve", PDE225, PDE225, PDE225], ["info", PDE225], ["eig", PDE225, "--json", "--json"],
                     ["convert", PDE225, self.path("x.txt")], ["eig", PDE225, "--plot", plot],
                     ["eig", PDE225, "--jobs", "0"], ["eig", PDE225, "--full"], ["eig", PDE225, "--check", "half"],
                     ["eig", "-", "-"], ["eig", PDE225, PDE225, "--out", self.path("w.mtx")]):
            with self.subTest(args=args):
                done = subprocess.run([QIVLA] + args + ["--module", MODULE], capture_output=True, text=True,
                                      timeout=60)
                self.assertEqual(done.returncode, 2, done.stderr)
                lines = done.stderr.splitlines()
                self.assertEqual(len(lines), 2, done.stderr)
                self.assertTrue(lines[0].startswith("qivla: "))
                command = args[0] + " " if args and args[0] in ("eig", "lu", "solve", "info", "convert") else ""
                self.assertEqual(lines[1], "Try 'qivla %s--help'." % command)
                self.assertEqual(done.stdout, "")
        self.assertFalse(os.path.exists(plot))
        self.assertIn("--plot writes SVG (.svg) or PNG (.png), not", run("eig", PDE225, "--plot", plot).stderr)
        done = subprocess.run([QIVLA, "--help"], capture_output=True, text=True, timeout=60)
        self.assertEqual((done.returncode, done.stdout.startswith("usage: qivla")), (0, True))
        for command, words in (("eig", "--cond"), ("solve", "A*X = B"), ("lu", "Exit status 1"), ("info", "exports"),
                               ("convert", "read back")):
            done = subprocess.run([QIVLA, command, "--help"], capture_output=True, text=True, timeout=60)
            self.assertEqual(done.returncode, 0)
            self.assertTrue(done.stdout.startswith("usage: qivla " + command), done.stdout)
            self.assertIn(words, done.stdout)
        done = subprocess.run([QIVLA, "--version"], capture_output=True, text=True, timeout=60)
        self.assertRegex(done.stdout, r"^qivla \d+\.\d+\.\d+\n$")

    def test_broken_and_unsuitable_files_stop_before_any_work(self):
        broken = self.path("broken.mtx")
        with open(broken, "w") as f:
            f.write("%%MatrixMarket matrix coordinate real general\n3 3 2\n1 1 1.0\n4 2 1.0\n")
        plot = self.path("never.svg")
        done = run("eig", broken, "--plot", plot)
        self.assertEqual(done.returncode, 2)
        self.assertEqual(done.stderr, "qivla: %s, line 4: entry (4, 2) lies outside the 3 x 3 matrix\n" % broken)
        self.assertEqual(done.stdout, "")
        self.assertFalse(os.path.exists(plot))
        rect = self.path("rect.mtx")
        write_mtx(rect, [[1, 2, 3], [4, 5, 6]])
        done = run("eig", rect)
        self.assertEqual(done.returncode, 2)
        self.assertIn("the matrix is 2 x 3; an eigenvalue problem needs a square matrix", done.stderr)
        self.assertEqual(run("lu", rect).returncode, 0)  # LU takes any shape
        done = run("eig", PDE225, env={"QIVLA_MEMORY_LIMIT": "100000"})
        self.assertEqual(done.returncode, 2)
        self.assertIn("needs 791.0 KiB of memory (807.9 KiB while it is read), but only 97.7 KiB is available",
                      done.stderr)
        done = run("solve", PDE225, env={"QIVLA_MEMORY_LIMIT": "1000000"})
        self.assertEqual(done.returncode, 2)
        self.assertIn("solving a system of a 225 x 225 matrix needs", done.stderr)
        done = subprocess.run([QIVLA, "lu", PDE225, "--module", self.path("nothing.so")], capture_output=True,
                              text=True, timeout=60)
        self.assertEqual(done.returncode, 3)
        self.assertIn("cannot load", done.stderr)

    def test_progress_line_on_a_terminal_only(self):
        # pde900 with both kinds of vectors runs long enough for the line.
        master, slave = pty.openpty()
        started = time.time()
        proc = subprocess.Popen([QIVLA, "eig", PDE900, "--vectors", "both", "--module", MODULE],
                                stdout=slave, stderr=subprocess.PIPE, close_fds=True)
        os.close(slave)
        text = read_terminal(master, proc, 600).decode()
        errors = proc.stderr.read()
        proc.stderr.close()
        self.assertEqual(proc.returncode, 0, errors)
        took = float(text.split("time: ")[1].split(" s")[0])
        if took > 0.8:
            self.assertIn("elapsed", text)
            self.assertIn("\r", text)
            # The line is erased before the results: nothing of it remains
            # after the last carriage return but the erase sequence.
            self.assertIn("\r\x1b[K", text)
        else:
            self.skipTest("the eigen call took %.2f s, too short for the progress line" % took)
        self.assertLess(time.time() - started, 600)
        # Into a pipe: none.
        done = run("eig", PDE225)
        self.assertNotIn("\r", done.stdout)


class FilesFromStrangersTest(unittest.TestCase):
    """Hostile or foreign input through the built program: bounded memory and
    time, one clear message with escaped text, nothing written half."""

    MM = "%%MatrixMarket matrix coordinate real general\n"

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="qivla_strangers_")
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data.encode("latin-1") if isinstance(data, str) else data)
        return path

    def refused(self, *args, env=None, preexec=None, timeout=60):
        full_env = dict(os.environ)
        full_env.pop("QIVLA_MEMORY_LIMIT", None)
        full_env.update(env or {})
        proc = subprocess.Popen([QIVLA] + list(args) + ["--module", MODULE], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=full_env, preexec_fn=preexec)
        out, err = proc.communicate(timeout=timeout)
        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.assertEqual(proc.returncode, 2, err)
        self.assertEqual(out, b"")
        # One line, plain printable text whatever the file held.
        self.assertEqual(err.count(b"\n"), 1, err)
        self.assertTrue(all(32 <= b < 127 for b in err[:-1]), err)
        return err.decode(), usage

    def hb(self, name, title, counts, type_line, formats, data):
        return self.write(name, "%-72s%-8s\n%s\n%s\n%s\n%s" % (title, "KEY", counts, type_line, formats, data))

    def test_memory_is_counted_before_anything_is_allocated(self):
        # Many rows and no columns: the reader's row marks count too.
        path = self.hb("rows.rua", "ROWS", "%14d%14d%14d%14d" % (1, 1, 0, 0),
                       "RUA%25d%14d%14d%14d" % (2147483647, 0, 0, 0), "(1I4)           (1I4)           (1E8.1)",
                       "   1\n")
        err, _ = self.refused("lu", path, env={"QIVLA_MEMORY_LIMIT": str(1 << 30)})
        self.assertIn("a dense 2147483647 x 0 complex matrix needs 0 bytes of memory (8.0 GiB while it is read), "
                      "but only 1.0 GiB is available", err)
        # The same matrix with few rows is an empty factorisation, said so.
        path = self.hb("rows_ok.rua", "ROWS", "%14d%14d%14d%14d" % (1, 1, 0, 0),
                       "RUA%25d%14d%14d%14d" % (1000, 0, 0, 0), "(1I4)           (1I4)           (1E8.1)", "   1\n")
        done = run("lu", path)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("INFO = 0: the matrix is 1000 x 0: it has no entries, so there is nothing to factor", done.stdout)
        # ulimit -v bounds what the tool takes, not only the free memory.
        big = self.write("big.mtx", self.MM + "20000 20000 1\n1 1 1\n")
        limit = 1 << 30
        err, _ = self.refused("eig", big, preexec=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
        available = err.split("but only ")[1].split(" is available")[0]
        self.assertTrue(available.endswith(("MiB", "KiB", "bytes")) or float(available.split()[0]) < 1.0, err)
        # A 60-byte file that promises entries it does not hold allocates
        # nothing dense (2.7 GiB here) before finding out.
        empty = self.write("promise.mtx", self.MM + "13000 13000 5\n")
        self.assertLess(os.path.getsize(empty), 70)
        def peak(*args):  # KiB; a forked child counts its parent's pages too, hence the baseline
            proc = subprocess.Popen([QIVLA] + list(args) + ["--module", MODULE], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE)
            _, _, usage = os.wait4(proc.pid, 0)
            proc.stderr.close()
            return usage.ru_maxrss

        self.assertLess(peak("lu", empty) - peak("info"), 100 * 1024)
        self.assertIn("the file ends after 0 of the 5 entries", run("lu", empty).stderr)

    def test_decompressed_text_and_lines_are_capped(self):
        # 100 MiB of blank lines in a 100 KiB gzip file.
        blanks = self.write("blanks.mtx.gz", gzip.compress((self.MM + "2 2 1\n").encode() + b"\n" * (100 << 20), 1))
        self.assertLess(os.path.getsize(blanks), 1 << 20)
        started = time.time()
        err, _ = self.refused("eig", blanks)
        self.assertIn("the text is longer than", err)
        self.assertIn("far more than the entries that the size line states need", err)
        self.assertLess(time.time() - started, 20)
        line = self.write("line.mtx.gz", gzip.compress((self.MM + "1 1 1\n1 1 ").encode() + b"5" * (64 << 20), 1))
        err, _ = self.refused("eig", line)
        self.assertIn(", line 3: the line is longer than 1048576 bytes", err)

    def test_nul_bytes_are_refused_with_the_line(self):
        err, _ = self.refused("eig", self.write("nul.mtx", self.MM + "2 2 2\n1 1 1\x00\n2 2 1\n"))
        self.assertIn("nul.mtx, line 3: holds a NUL byte", err)
        started = time.time()
        err, _ = self.refused("eig", "/dev/zero")
        self.assertEqual(err, "qivla: /dev/zero: not a Matrix Market or Harwell-Boeing file (line 1 holds a NUL byte)\n")
        self.assertLess(time.time() - started, 10)

    def test_not_a_matrix_file(self):
        rng = random.Random(19)
        noise = bytes(rng.randrange(256) for _ in range(4096))
        for path in (self.dir, "/etc/passwd", self.write("noise.bin", noise),
                     self.write("noise.gz", b"\x1f\x8b\x08\x00" + noise), self.write("text", "hello\nworld\n")):
            with self.subTest(path=path):
                err, _ = self.refused("lu", path)
                self.assertIn(": not a Matrix Market or Harwell-Boeing file", err)

    def test_harwell_boeing_counts_and_hermitian_diagonal(self):
        big = 9223372036854775807
        path = self.hb("counts.rua", "T", "%20d%20d%20d%20d" % (big, big, big, 1), "RUA 1 1 1 0",
                       "(1I4) (1I4) (1E8.1)", "")
        err, _ = self.refused("lu", path)
        self.assertIn("line 2: the line counts add up to more than 9223372036854775807", err)
        cha = self.hb("herm.cha", "H", "%14d%14d%14d%14d" % (4, 1, 1, 2), "CHA%25d%14d%14d%14d" % (2, 2, 2, 0),
                      "(3I4)           (2I4)           (2E12.4)", "   1   3   3\n   1   2\n"
                      "  1.0000E+00  5.0000E-01\n  2.0000E+00  0.0000E+00\n")
        err, _ = self.refused("eig", cha)
        self.assertIn("herm.cha, line 7: diagonal entry (1, 1) of a hermitian matrix has a nonzero imaginary part", err)

    def test_underflow_is_refused_like_overflow_and_hex_is_not_a_number(self):
        for name, text, message in (
                ("under.mtx", self.MM + "1 1 1\n1 1 1e-400\n", "value '1e-400' underflows"),
                ("over.mtx", self.MM + "1 1 1\n1 1 1e400\n", "value '1e400' overflows"),
                ("hex.mtx", self.MM + "1 1 1\n1 1 0x1p3\n", "value '0x1p3' is not a finite number"),
                ("under.rua", "%-80s\n%14d%14d%14d%14d\nRUA%25d%14d%14d%14d\n(2I4) (1I4) (1E12.4)\n   1   2\n   1\n"
                 "    1.0-400\n" % ("U", 3, 1, 1, 1, 1, 1, 1, 0), "value '1.0-400' underflows"),
        ):
            with self.subTest(name=name):
                err, _ = self.refused("lu", self.write(name, text))
                self.assertIn(message, err)
        # Subnormals are numbers: they read, and a written file keeps them.
        tiny = self.write("tiny.mtx", self.MM + "1 1 1\n1 1 4.9406564584124654e-324\n")
        done, out = run_json("lu", tiny, "--full")
        self.assertEqual(out["factors"], [[[5e-324, 0.0]]])

    def test_text_from_the_file_is_printed_escaped(self):
        path = self.write("title.mtx", "%%MatrixMarket matrix coordinate real general\n% evil \x1b]0;owned\x07 \x9b31m\n"
                          "1 1 1\n1 1 2\n")
        done = run("lu", path)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn('"evil \\x1B]0;owned\\x07 \\x9B31m"', done.stdout)
        self.assertNotIn("\x1b", done.stdout)
        # JSON carries the text as it is, bytes that are not UTF-8 as U+FFFD.
        self.assertEqual(run_json("lu", path)[1]["title"], "evil \x1b]0;owned\x07 \ufffd31m")
        err, _ = self.refused("lu", self.write("token.mtx", self.MM + "1 1 1\n1 1 \x1b[2J\xff\n"))
        self.assertIn("value '\\x1B[2J\\xFF' is not a finite number", err)

    def test_written_files_read_back_and_replace_atomically(self):
        # A Matrix Market comment that would begin a Harwell-Boeing file with
        # '%' (read as Matrix Market) must not; the file reads back.
        src = self.write("trick.mtx", "%%MatrixMarket matrix coordinate complex general\n%%MatrixMarket trick\n"
                         "2 3 2\n1 1 1.5 -2\n2 3 1e-300 0\n")
        hb = os.path.join(self.dir, "trick.cua")
        self.assertEqual(run("convert", src, hb).returncode, 0)
        with open(hb) as f:
            self.assertFalse(f.readline().startswith("%"))
        back, orig = run_json("lu", hb, "--full")[1], run_json("lu", src, "--full")[1]
        self.assertEqual(back["factors"], orig["factors"])
        # Converting a file onto itself is safe.
        self.assertEqual(run("convert", hb, hb).returncode, 0)
        self.assertEqual(run_json("lu", hb, "--full")[1]["factors"], orig["factors"])
        # A write that fails (here the file size limit) leaves the old file
        # whole and no temporary file behind, and says why.
        target = os.path.join(self.dir, "keep.mtx")
        self.assertEqual(run("convert", PDE225, target).returncode, 0)
        with open(target, "rb") as f:
            before = f.read()

        def small_files():
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

        done = subprocess.run([QIVLA, "convert", PDE225, target, "--array"], capture_output=True, text=True,
                              preexec_fn=small_files, timeout=60)
        self.assertEqual(done.returncode, 2)
        self.assertIn("keep.mtx: write failed: File too large", done.stderr)
        with open(target, "rb") as f:
            self.assertEqual(f.read(), before)
        self.assertEqual(sorted(os.listdir(self.dir)), ["keep.mtx", "trick.cua", "trick.mtx"])
        done = subprocess.run([QIVLA, "lu", PDE225, "--out", "/dev/full", "--module", MODULE], capture_output=True,
                              text=True, timeout=60)
        self.assertIn("/dev/full: write failed: No space left on device", done.stderr)
        done = subprocess.run([QIVLA, "info", "--module", MODULE], stdout=open("/dev/full", "w"),
                              stderr=subprocess.PIPE, text=True, timeout=60)
        self.assertEqual(done.returncode, 2)
        self.assertEqual(done.stderr, "qivla: cannot write the output: No space left on device\n")


if __name__ == "__main__":
    unittest.main()
