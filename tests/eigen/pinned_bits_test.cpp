// The eigen driver's results pinned bit for bit. The library defines every
// bit of W, VL, VR, INFO and the workspace answer by fixed formulas and loop
// orders, so a change in a shift strategy, a deflation test, a crossover or
// the order of any sum shows here even when all residuals stay small.
//
// tests/data/zgeev_pins.txt holds, for fixed matrices (random, cyclic
// permutations that stall the iteration, graded ones with tiny eigenvalues,
// weakly coupled tridiagonals, overflowing moduli, a matrix from practice),
// one line per run: INFO, WORK(1) and W as hexadecimal bit patterns, and a
// 64-bit digest of the bits of VL and VR. Every instruction-set path the
// processor offers is run, each in a child process in which the runtime's
// processor description is cut down to that path, and must give the file's
// lines exactly.
//
// To write the file anew after a deliberate change of results:
//   QIV_WRITE_PINS=tests/data/zgeev_pins.txt build/test/tests/test_eigen --gtest_filter='Pinned*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "eigen/eigen.h"
#include "kernels/simd/isa.h"
#include "support/child.h"
#include "support/hb_reader.h"
#include "support/isa_cap.h"

namespace {

using qiv::zcomplex;

// A reproducible stream of doubles k * 2^-52 - 1 in [-1, 1), the same with
// every compiler and standard library.
class Stream {
   public:
    explicit Stream(std::uint64_t seed) : s_(seed) {}
    double next() {
        std::uint64_t z = (s_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1p-52 - 1.0;
    }
    zcomplex z() {
        const double re = next();
        return zcomplex{re, next()};
    }

   private:
    std::uint64_t s_;
};

struct Case {
    std::string name;
    int n;
    std::vector<zcomplex> a;  // column-major, leading dimension n
};

Case random_case(int n) {
    Stream s(1000 + n);
    Case c{"random" + std::to_string(n), n, std::vector<zcomplex>(n * n)};
    for (zcomplex& x : c.a) x = s.z();
    return c;
}

// The cyclic shift: eigenvalues the N-th roots of unity, on which the
// standard shifts stall until the exceptional ones break the symmetry.
Case cyclic_case(int n) {
    Case c{"cyclic" + std::to_string(n), n, std::vector<zcomplex>(n * n, zcomplex{0, 0})};
    for (int i = 1; i < n; ++i) c.a[i + (i - 1) * n] = zcomplex{1, 0};
    c.a[(n - 1) * n] = zcomplex{1, 0};
    return c;
}

// Entries scaled by 2^-(k(i+j)): eigenvalues down to 2^-(2k n).
Case graded_case(int n, int k) {
    Stream s(2000 + n);
    Case c{"graded" + std::to_string(n), n, std::vector<zcomplex>(n * n)};
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const zcomplex x = s.z();
            const double g = std::ldexp(1.0, -k * (i + j));
            c.a[i + j * n] = zcomplex{x.re * g, x.im * g};
        }
    return c;
}

// Real symmetric tridiagonal with couplings down to 1e-200.
Case tridiagonal_case(int n) {
    Stream s(3000 + n);
    Case c{"tridiagonal" + std::to_string(n), n, std::vector<zcomplex>(n * n, zcomplex{0, 0})};
    if (n == 4) {
        const double d[4] = {0, 0, 1, 0}, e[3] = {1e-40, 1, 1e-10};
        for (int i = 0; i < 4; ++i) c.a[i + i * n] = zcomplex{d[i], 0};
        for (int i = 0; i < 3; ++i) c.a[i + 1 + i * n] = c.a[i + (i + 1) * n] = zcomplex{e[i], 0};
        return c;
    }
    for (int i = 0; i < n; ++i) {
        const double u = s.next();
        c.a[i + i * n] = zcomplex{u < 0 ? std::round(4 * u) : u, 0};
        if (i + 1 < n) {
            double e = s.next();
            if (s.next() < -0.5) e = std::copysign(std::pow(10.0, -36 - (i * 37) % 165), e);
            c.a[i + 1 + i * n] = c.a[i + (i + 1) * n] = zcomplex{e, 0};
        }
    }
    return c;
}

std::vector<Case> cases(bool small) {
    std::vector<Case> out;
    for (int n : {2, 4, 30, 75, 76, 100, 250})
        if (!small || n <= 76) out.push_back(random_case(n));
    for (int n : {4, 30, 76}) out.push_back(cyclic_case(n));
    out.push_back(graded_case(30, 2));
    if (!small) out.push_back(graded_case(100, 1));
    out.push_back(tridiagonal_case(4));
    if (!small) out.push_back(tridiagonal_case(200));
    const double big = 1.3e308;
    out.push_back({"overflow1", 1, {zcomplex{big, big}}});
    out.push_back({"overflow2", 2, {{1, 0}, {0, 0}, {big, big}, {2, 0}}});
    out.push_back(
        {"left3", 3, {{0, 0}, {0, 0}, {0, 0}, {2, 0}, {0, 0}, {0, 0}, {-2, 0}, {0, 0}, {2, -1}}});
    out.push_back({"zero5", 5, std::vector<zcomplex>(25, zcomplex{0, 0})});
    if (!small) {
        qivtest::HbMatrix hb;
        std::string error;
        if (qivtest::read_hb(qivtest::test_data_file("pde225.rua"), &hb, &error))
            out.push_back({"pde225", hb.nrow, qivtest::hb_dense(hb, hb.nrow)});
    }
    return out;
}

std::string hex(double x) {
    if (x != x) return "nan";  // any NaN stands for any NaN
    std::uint64_t u;
    std::memcpy(&u, &x, 8);
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, u);
    return buf;
}

// FNV-1a over the bit patterns (NaNs folded to one pattern).
std::string digest(const std::vector<zcomplex>& v) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const zcomplex& z : v) {
        for (double x : {z.re, z.im}) {
            std::uint64_t u = 0x7ff8000000000000ULL;
            if (x == x) std::memcpy(&u, &x, 8);
            for (int b = 0; b < 8; ++b) {
                h ^= (u >> (8 * b)) & 0xff;
                h *= 0x100000001b3ULL;
            }
        }
    }
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, h);
    return buf;
}

// One run: JOBVL, JOBVR and the workspace (optimal, or the minimum 2N).
std::string run(const Case& c, char jobvl, char jobvr, bool minimum) {
    const int n = c.n, ld = std::max(1, n);
    std::vector<zcomplex> a = c.a, w(ld), vl(ld * ld), vr(ld * ld), query(1);
    std::vector<double> rwork(2 * ld);
    const char jl[2] = {jobvl, 0}, jr[2] = {jobvr, 0};
    int info = 0, lwork = -1;
    qiv::ZGEEV(jl, jr, &n, a.data(), &ld, w.data(), vl.data(), &ld, vr.data(), &ld, query.data(),
               &lwork, rwork.data(), &info);
    lwork = minimum ? std::max(1, 2 * n) : static_cast<int>(query[0].re);
    std::vector<zcomplex> work(lwork);
    qiv::ZGEEV(jl, jr, &n, a.data(), &ld, w.data(), vl.data(), &ld, vr.data(), &ld, work.data(),
               &lwork, rwork.data(), &info);
    std::ostringstream line;
    line << c.name << ' ' << jobvl << jobvr << (minimum ? " min" : " opt") << " info " << info
         << " work " << hex(work[0].re);
    if (jobvl == 'V') line << " vl " << digest(vl);
    if (jobvr == 'V') line << " vr " << digest(vr);
    line << " w";
    for (const zcomplex& x : w) line << ' ' << hex(x.re) << ':' << hex(x.im);
    return line.str();
}

// Workspace answers over orders where different routines set the size.
std::string queries() {
    std::ostringstream out;
    for (const char* jobs : {"NN", "NV", "VN", "VV"}) {
        out << "query " << jobs;
        for (int n : {1, 10, 49, 75, 76, 150, 500, 1000, 3000, 12000}) {
            zcomplex q{0, 0}, dummy{0, 0};
            double rdummy = 0;
            int info = 0, lwork = -1;
            const char jl[2] = {jobs[0], 0}, jr[2] = {jobs[1], 0};
            qiv::ZGEEV(jl, jr, &n, &dummy, &n, &dummy, &dummy, &n, &dummy, &n, &q, &lwork, &rdummy,
                       &info);
            out << ' ' << n << '=' << static_cast<long long>(q.re);
        }
        out << '\n';
    }
    return out.str();
}

std::string all_runs(bool small) {
    std::string out = queries();
    for (const Case& c : cases(small)) {
        out += run(c, 'V', 'V', false) + '\n';
        out += run(c, 'N', 'N', false) + '\n';
        out += run(c, 'N', 'V', true) + '\n';
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty() && l[0] != '#') out.push_back(l);
    return out;
}

// What names a line: the case and run ("random30 VV opt"), or "query VV".
std::string key(const std::string& line) {
    if (line.rfind("query", 0) == 0) return line.substr(0, 8);
    return line.substr(0, line.find(" info "));
}

// The pinned lines of the runs that were made (a small scale makes fewer).
std::vector<std::string> expected(const std::vector<std::string>& produced) {
    std::ifstream in(qivtest::test_data_file("zgeev_pins.txt"));
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> want;
    for (const std::string& p : produced) {
        std::string match = "(not pinned) " + key(p);
        for (const std::string& l : lines(text.str()))
            if (key(l) == key(p)) match = l;
        want.push_back(match);
    }
    return want;
}

TEST(PinnedBits, ZgeevOnEveryInstructionSetPath) {
    const char* scale = std::getenv("QIV_TEST_SCALE");
    const bool small = scale != nullptr && std::strcmp(scale, "small") == 0;
    if (const char* path = std::getenv("QIV_WRITE_PINS")) {
        std::ofstream out(path);
        out << "# ZGEEV results bit for bit: written by tests/eigen/pinned_bits_test.cpp\n"
            << all_runs(false);
        GTEST_SKIP() << "wrote " << path;
    }
    for (const qiv::Isa isa : qivtest::supported_isas()) {
        SCOPED_TRACE(qiv::isa_name(isa));
        const qivtest::ChildResult r = qivtest::run_in_child([&] {
            if (!qivtest::cap_isa(isa)) {
                std::printf("cannot restrict the processor to this path\n");
                return;
            }
            std::fputs(all_runs(small).c_str(), stdout);
        });
        ASSERT_TRUE(r.exited && r.status == 77) << r.out.substr(0, 200);
        const std::vector<std::string> got = lines(r.out);
        ASSERT_GE(got.size(), small ? 30u : 60u) << r.out.substr(0, 200);
        const std::vector<std::string> want = expected(got);
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], want[i]) << "first differing run: " << want[i].substr(0, 40);
    }
}

}  // namespace
