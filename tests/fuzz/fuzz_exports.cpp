#include "fuzz/fuzz_exports.h"

#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "qivlapackdll2.h"

extern char** environ;

namespace qivfuzz {

namespace {

using cplx = qivlapackdll2_complex;
using FDP = FuzzedDataProvider;

std::size_t g_confirmed = 0, g_skipped = 0, g_retried = 0;

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "\nFINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// The exports are looked up by name, as a host binds them; the fuzzer
// program exports the module's entry points it links.
template <class F>
F* lookup(const char* name) {
    return reinterpret_cast<F*>(dlsym(RTLD_DEFAULT, name));
}

// The line the error handler prints for routine name and position.
std::string report_line(const char* name, int pos) {
    char num[8];
    std::snprintf(num, sizeof num, pos <= 9 ? " %d" : "%d", pos);
    return std::string(" ** On entry to ") + name + " parameter number " + num +
           " had an illegal value\n";
}

// ---------------------------------------------------------------- arguments

// An order or count: mostly small, sometimes past the LU's block size of 64,
// sometimes illegal.
int draw_size(FDP& f) {
    const int kind = f.ConsumeIntegralInRange(0, 15);
    if (kind == 0) return -1 - f.ConsumeIntegralInRange(0, 3);
    if (kind == 1) return std::numeric_limits<int>::min() + f.ConsumeIntegralInRange(0, 2);
    if (kind <= 9) return f.ConsumeIntegralInRange(0, 8);
    if (kind <= 13) return f.ConsumeIntegralInRange(9, 48);
    return f.ConsumeIntegralInRange(49, 140);
}

// A leading dimension for a matrix of `rows` rows: mostly legal, with a
// little or a lot of padding; sometimes just too small, zero or negative.
int draw_ld(FDP& f, int rows) {
    const int need = std::max(1, rows);
    const int kind = f.ConsumeIntegralInRange(0, 15);
    if (kind == 0) return need - 1 - f.ConsumeIntegralInRange(0, 2);
    if (kind == 1) return 0;
    if (kind == 2) return std::numeric_limits<int>::min();
    if (kind <= 13) return need + f.ConsumeIntegralInRange(0, 3);
    return need + f.ConsumeIntegralInRange(4, 300);
}

// An option letter: one of the legal ones in either case, or any byte.
char draw_letter(FDP& f, const char* legal) {
    const int kind = f.ConsumeIntegralInRange(0, 7);
    const std::size_t count = std::strlen(legal);
    const char c = legal[f.ConsumeIntegralInRange<std::size_t>(0, count - 1)];
    if (kind <= 3) return c;
    if (kind <= 5) return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return static_cast<char>(f.ConsumeIntegral<unsigned char>());
}

// ----------------------------------------------------------------- contents

// How the elements are drawn: a seed, how often a special value replaces a
// uniform one, and structure (zero column, repeated row, small integers,
// scaling near the ends of the exponent range).
struct Content {
    std::uint64_t seed = 0;
    int special_rate = 0;  // 0: none; otherwise one element in special_rate
    unsigned structure = 0;
    bool finite_only = false;
};

Content draw_content(FDP& f, bool finite_only) {
    Content c;
    c.seed = f.ConsumeIntegral<std::uint64_t>();
    const int r = f.ConsumeIntegralInRange(0, 7);
    c.special_rate = r == 0 ? 0 : 1 << (r + 1);
    c.structure = f.ConsumeIntegral<unsigned char>();
    c.finite_only = finite_only;
    return c;
}

double special(std::mt19937_64& g, bool finite_only) {
    static const double values[] = {0.0,
                                    -0.0,
                                    1.0,
                                    -1.0,
                                    1e-310,
                                    -4e-320,
                                    1e-300,
                                    1e300,
                                    -1e300,
                                    0x1p-1022,
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::quiet_NaN()};
    const std::size_t n = finite_only ? 10 : sizeof values / sizeof values[0];
    return values[g() % n];
}

// A column-major matrix stored exactly over its span, so that the address
// checker sees any access past its last described element; the rows between
// ld and the described ones hold sentinels.
class Mat {
   public:
    Mat(int rows, int cols, int ld)
        : rows_(std::max(rows, 0)),
          cols_(std::max(cols, 0)),
          ld_(ld),
          count_(rows_ > 0 && cols_ > 0 ? static_cast<std::size_t>(ld) * (cols_ - 1) + rows_ : 0),
          p_(new cplx[count_]) {
        for (std::size_t k = 0; k < count_; ++k) p_[k] = sentinel();
    }
    Mat(const Mat& o) : Mat(o.rows_, o.cols_, o.ld_) {
        std::memcpy(p_.get(), o.p_.get(), count_ * sizeof(cplx));
    }
    cplx* data() { return p_.get(); }
    cplx& operator()(int i, int j) {
        return p_[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ld_];
    }
    const cplx& operator()(int i, int j) const {
        return p_[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ld_];
    }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

    void fill(const Content& c, std::uint64_t stream, bool* moderate) {
        std::mt19937_64 g(c.seed ^ (stream * 0x9e3779b97f4a7c15ull));
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        const bool integers = c.structure & 4;
        for (int j = 0; j < cols_; ++j)
            for (int i = 0; i < rows_; ++i) {
                cplx& e = (*this)(i, j);
                if (c.special_rate != 0 && g() % c.special_rate == 0) {
                    e = {special(g, c.finite_only), special(g, c.finite_only)};
                    *moderate = false;
                } else if (integers) {
                    e = {static_cast<double>(static_cast<int>(g() % 5) - 2),
                         static_cast<double>(static_cast<int>(g() % 5) - 2)};
                } else {
                    e = {u(g), u(g)};
                }
            }
        if ((c.structure & 1) && cols_ > 0) {
            const int j = static_cast<int>(g() % cols_);
            for (int i = 0; i < rows_; ++i) (*this)(i, j) = {0.0, -0.0};
        }
        if ((c.structure & 2) && rows_ > 1) {
            const int from = static_cast<int>(g() % rows_), to = static_cast<int>(g() % rows_);
            for (int j = 0; j < cols_; ++j) (*this)(to, j) = (*this)(from, j);
        }
        if (c.structure & 24) {
            const double s = (c.structure & 8) ? 0x1p-1000 : 0x1p1000;
            for (int j = 0; j < cols_; ++j)
                for (int i = 0; i < rows_; ++i) {
                    (*this)(i, j).re *= s;
                    (*this)(i, j).im *= s;
                }
            *moderate = false;
        }
    }

    bool pads_intact() const {
        if (count_ == 0) return true;
        for (int j = 0; j + 1 < cols_; ++j)
            for (int i = rows_; i < ld_; ++i)
                if (!same((*this)(i, j), sentinel())) return false;
        return true;
    }

    // Bitwise equality of the described elements.
    bool same_as(const Mat& o) const {
        for (int j = 0; j < cols_; ++j)
            for (int i = 0; i < rows_; ++i)
                if (!same((*this)(i, j), o(i, j))) return false;
        return true;
    }

    bool all_finite() const {
        for (int j = 0; j < cols_; ++j)
            for (int i = 0; i < rows_; ++i)
                if (!std::isfinite((*this)(i, j).re) || !std::isfinite((*this)(i, j).im))
                    return false;
        return true;
    }

    static bool same(const cplx& a, const cplx& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

   private:
    static cplx sentinel() {
        const std::uint64_t bits = 0x7ff5a5a5a5a5a5a5ull;
        double d;
        std::memcpy(&d, &bits, 8);
        return {d, d};
    }
    int rows_, cols_, ld_;
    std::size_t count_;
    std::unique_ptr<cplx[]> p_;
};

// ----------------------------------------------------------- illegal calls

std::uint64_t fnv1a(const std::uint8_t* data, std::size_t size) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t k = 0; k < size; ++k) h = (h ^ data[k]) * 1099511628211ull;
    return h;
}

struct ChildRun {
    std::string out;
    bool exited = false;
    int status = -1;
    int signal = 0;  // the signal that ended it, when it did not exit
};

// Runs the replayer on one input in a child process.
ChildRun replay(const std::uint8_t* data, std::size_t size) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) finding("pipe failed");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&fa, in[1]);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    char path[] = QIV_FUZZ_REPLAYER;
    char* argv[] = {path, nullptr};
    pid_t pid;
    if (posix_spawn(&pid, path, &fa, nullptr, argv, environ) != 0)
        finding(std::string("cannot start the replayer ") + path);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t w = write(in[1], data + done, size - done);
        if (w <= 0) break;
        done += static_cast<std::size_t>(w);
    }
    close(in[1]);
    ChildRun r;
    char buf[4096];
    ssize_t got;
    while ((got = read(out[0], buf, sizeof buf)) > 0)
        r.out.append(buf, static_cast<std::size_t>(got));
    close(out[0]);
    int ws = 0;
    waitpid(pid, &ws, 0);
    r.exited = WIFEXITED(ws);
    r.status = r.exited ? WEXITSTATUS(ws) : -1;
    r.signal = WIFSIGNALED(ws) ? WTERMSIG(ws) : 0;
    return r;
}

// A call whose argument `pos` is the first illegal one in the documented
// order of the checks of routine `name`.
void illegal(const char* name, int pos, bool execute, const std::function<void()>& call,
             const std::uint8_t* data, std::size_t size) {
    if (execute) {
        call();
        std::fprintf(stderr, "%s returned although argument %d is illegal\n", name, pos);
        std::fflush(stderr);
        _exit(3);
    }
    static std::set<std::string> seen;
    const std::string key = std::string(name) + "/" + std::to_string(pos);
    const bool first = seen.insert(key).second;
    if (!first && fnv1a(data, size) % 32 != 0) {
        ++g_skipped;
        return;
    }
    const std::string want = report_line(name, pos);
    const auto agrees = [&](const ChildRun& r) {
        return r.exited && r.status == 0 && r.out == want;
    };
    ChildRun r = replay(data, size);
    if (!agrees(r) && !r.exited && r.out.empty()) {
        // Ended by a signal before it printed anything (a fault of the call
        // would leave the address checker's report on standard error): run
        // it once more, so that a kill from outside is told from a fault,
        // which repeats, and say so on standard error either way.
        std::fprintf(stderr, "replayer ended by signal %d before any output; running it again\n",
                     r.signal);
        ++g_retried;
        r = replay(data, size);
    }
    if (!agrees(r))
        finding(std::string("illegal call of ") + name + ": expected exit status 0 and the line\n" +
                want + "got " +
                (r.exited ? "exit status " + std::to_string(r.status)
                          : "signal " + std::to_string(r.signal)) +
                " and the output\n" + r.out);
    ++g_confirmed;
}

// ------------------------------------------------------------------ checks

double abs1(const cplx& z) { return std::fabs(z.re) + std::fabs(z.im); }

bool is_zero(const cplx& z) { return z.re == 0.0 && z.im == 0.0; }

std::string where(const char* name, int m, int n, int i, int j) {
    return std::string(name) + " M=" + std::to_string(m) + " N=" + std::to_string(n) + " at (" +
           std::to_string(i + 1) + ", " + std::to_string(j + 1) + ")";
}

// The factors in f of the m x n matrix a, with pivots ipiv and status info:
// INFO names the first exactly zero pivot (or 0 when none is), pivots lie in
// range, and for moderate data P*A = L*U within the rounding bound of the
// elimination, element by element.
void check_lu(const char* name, int m, int n, const Mat& a, const Mat& f, const int* ipiv, int info,
              bool moderate) {
    const int k = std::min(m, n);
    if (info < 0 || info > k)
        finding(std::string(name) + ": INFO " + std::to_string(info) + " out of range");
    int first_zero = 0;
    for (int i = 0; i < k && first_zero == 0; ++i)
        if (is_zero(f(i, i))) first_zero = i + 1;
    if (info != first_zero)
        finding(std::string(name) + ": INFO " + std::to_string(info) +
                " but the first exactly zero pivot is " + std::to_string(first_zero));
    for (int i = 0; i < k; ++i)
        if (ipiv[i] < i + 1 || ipiv[i] > m)
            finding(std::string(name) + ": IPIV(" + std::to_string(i + 1) +
                    ") = " + std::to_string(ipiv[i]) + " out of range");
    if (!f.pads_intact()) finding(std::string(name) + ": wrote between the rows of A");
    if (!moderate || k > 48) return;

    Mat pa(a);
    for (int i = 0; i < k; ++i)
        if (ipiv[i] - 1 != i)
            for (int j = 0; j < n; ++j) std::swap(pa(i, j), pa(ipiv[i] - 1, j));
    const double eps = std::numeric_limits<double>::epsilon();
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) {
            double re = 0, im = 0, bound = 0;
            for (int l = 0; l <= std::min({i, j, k - 1}); ++l) {
                const cplx lv = l == i ? cplx{1.0, 0.0} : f(i, l);
                const cplx uv = f(l, j);
                re += lv.re * uv.re - lv.im * uv.im;
                im += lv.re * uv.im + lv.im * uv.re;
                bound += abs1(lv) * abs1(uv);
            }
            const double err = std::fabs(pa(i, j).re - re) + std::fabs(pa(i, j).im - im);
            if (!(err <= 16.0 * (k + 2) * eps * bound + 1e-290))
                finding(where(name, m, n, i, j) + ": |P*A - L*U| = " + std::to_string(err) +
                        " exceeds the bound " + std::to_string(16.0 * (k + 2) * eps * bound));
        }
}

// ----------------------------------------------------------------- drivers

void zgetrf_case(FDP& f, bool execute, const std::uint8_t* data, std::size_t size) {
    auto* getrf = lookup<decltype(qivlapackdll2_zgetrf)>("qivlapackdll2_zgetrf");
    const int m = draw_size(f), n = draw_size(f), lda = draw_ld(f, m);
    const int pos = m < 0 ? 1 : n < 0 ? 2 : lda < std::max(1, m) ? 4 : 0;
    if (pos != 0) {
        illegal(
            "ZGETRF", pos, execute,
            [&] {
                cplx a[1] = {{1.0, 0.0}};
                int ipiv[1] = {0}, info = 0;
                getrf(&m, &n, a, &lda, ipiv, &info);
            },
            data, size);
        return;
    }
    const Content c = draw_content(f, false);
    bool moderate = true;
    Mat a(m, n, lda);
    a.fill(c, 0, &moderate);
    const Mat orig(a);
    const int k = std::min(m, n);
    std::unique_ptr<int[]> ipiv(new int[k]);
    std::fill(ipiv.get(), ipiv.get() + k, -77);
    int info = 12345;
    getrf(&m, &n, a.data(), &lda, ipiv.get(), &info);
    check_lu("ZGETRF", m, n, orig, a, ipiv.get(), info, moderate);
}

void zgesv_case(FDP& f, bool execute, const std::uint8_t* data, std::size_t size) {
    auto* gesv = lookup<decltype(qivlapackdll2_zgesv)>("qivlapackdll2_zgesv");
    auto* getrf = lookup<decltype(qivlapackdll2_zgetrf)>("qivlapackdll2_zgetrf");
    const int n = draw_size(f), nrhs = draw_size(f);
    const int lda = draw_ld(f, n), ldb = draw_ld(f, n);
    const int need = std::max(1, n);
    const int pos = n < 0 ? 1 : nrhs < 0 ? 2 : lda < need ? 4 : ldb < need ? 7 : 0;
    if (pos != 0) {
        illegal(
            "ZGESV", pos, execute,
            [&] {
                cplx a[1] = {{1.0, 0.0}}, b[1] = {{1.0, 0.0}};
                int ipiv[1] = {0}, info = 0;
                gesv(&n, &nrhs, a, &lda, ipiv, b, &ldb, &info);
            },
            data, size);
        return;
    }
    const Content c = draw_content(f, false);
    bool moderate = true;
    Mat a(n, n, lda), b(n, nrhs, ldb);
    a.fill(c, 0, &moderate);
    b.fill(c, 1, &moderate);
    const Mat a0(a), b0(b);
    std::unique_ptr<int[]> ipiv(new int[n]), ipiv_lu(new int[n]);
    std::fill(ipiv.get(), ipiv.get() + n, -77);
    std::fill(ipiv_lu.get(), ipiv_lu.get() + n, -77);
    int info = 12345, info_lu = 12345;
    gesv(&n, &nrhs, a.data(), &lda, ipiv.get(), b.data(), &ldb, &info);

    // The factorisation is that of the LU export, bit for bit.
    Mat lu(a0);
    getrf(&n, &n, lu.data(), &lda, ipiv_lu.get(), &info_lu);
    if (info != info_lu || !a.same_as(lu) || !std::equal(ipiv.get(), ipiv.get() + n, ipiv_lu.get()))
        finding("ZGESV N=" + std::to_string(n) + ": factors, pivots or INFO (" +
                std::to_string(info) + ") differ from ZGETRF's (" + std::to_string(info_lu) + ")");
    check_lu("ZGESV", n, n, a0, a, ipiv.get(), info, moderate);
    if (!b.pads_intact()) finding("ZGESV: wrote between the rows of B");
    if (info > 0) {
        if (!b.same_as(b0)) finding("ZGESV: B changed although U(INFO, INFO) is zero");
        return;
    }
    if (!moderate || n > 48 || !b.all_finite()) return;
    // |B - A*X| <= c*N*eps*|L|*|U|*|X| element by element (backward
    // stability of the elimination and the two triangular solves).
    const double eps = std::numeric_limits<double>::epsilon();
    std::vector<double> lu_abs(static_cast<std::size_t>(n) * n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            for (int l = 0; l <= std::min(i, j); ++l)
                lu_abs[i + static_cast<std::size_t>(j) * n] +=
                    (l == i ? 1.0 : abs1(a(i, l))) * abs1(a(l, j));
    for (int r = 0; r < nrhs; ++r)
        for (int i = 0; i < n; ++i) {
            double re = b0(i, r).re, im = b0(i, r).im, bound = 0;
            for (int l = 0; l < n; ++l) {
                const cplx av = a0(i, l), xv = b(l, r);
                re -= av.re * xv.re - av.im * xv.im;
                im -= av.re * xv.im + av.im * xv.re;
            }
            // |L||U| belongs to P*A: row i of A is row p(i) of P*A.
            int pi = i;
            for (int s = 0; s < n; ++s) {  // where row i of A ends up
                if (ipiv[s] - 1 == pi)
                    pi = s;
                else if (s == pi)
                    pi = ipiv[s] - 1;
            }
            for (int l = 0; l < n; ++l)
                bound += lu_abs[pi + static_cast<std::size_t>(l) * n] * abs1(b(l, r));
            const double err = std::fabs(re) + std::fabs(im);
            if (!(err <= 32.0 * (n + 2) * eps * bound + 1e-290))
                finding(where("ZGESV", n, nrhs, i, r) + ": |B - A*X| = " + std::to_string(err) +
                        " exceeds " + std::to_string(32.0 * (n + 2) * eps * bound));
        }
}

struct Driver {
    const char* symbol;
    void (*run)(FDP&, bool, const std::uint8_t*, std::size_t);
};

}  // namespace

// qivlapackdll2_zgeev(JOBVL, JOBVR, N, A, LDA, W, VL, LDVL, VR, LDVR, WORK,
// LWORK, RWORK, INFO), driven like the others. Its contents are finite: a
// NaN or an infinity ends in the balancing's report of an illegal value.
void zgeev_case(FDP& f, bool execute, const std::uint8_t* data, std::size_t size) {
    using Zgeev = void(const char*, const char*, const int*, cplx*, const int*, cplx*, cplx*,
                       const int*, cplx*, const int*, cplx*, const int*, double*, int*);
    auto* geev = lookup<Zgeev>("qivlapackdll2_zgeev");
    if (geev == nullptr) finding("qivlapackdll2_zgeev is not exported");
    const char jobvl[2] = {draw_letter(f, "NV"), 0}, jobvr[2] = {draw_letter(f, "NV"), 0};
    const auto is = [](char c, char up) { return c == up || c == up + 32; };
    const bool wantvl = is(jobvl[0], 'V'), wantvr = is(jobvr[0], 'V');
    const int n = std::min(draw_size(f), 64);
    const int lda = draw_ld(f, n);
    const int ldvl = draw_ld(f, wantvl ? n : 1), ldvr = draw_ld(f, wantvr ? n : 1);
    const int minwrk = std::max(1, 2 * std::max(n, 0));
    const int lwork_kind = f.ConsumeIntegralInRange(0, 7);
    const int lwork = lwork_kind == 0   ? -1
                      : lwork_kind == 1 ? minwrk - 1
                      : lwork_kind <= 4 ? minwrk
                                        : minwrk + 130 * std::max(n, 0);
    int pos = 0;
    if (!is(jobvl[0], 'N') && !wantvl)
        pos = 1;
    else if (!is(jobvr[0], 'N') && !wantvr)
        pos = 2;
    else if (n < 0)
        pos = 3;
    else if (lda < std::max(1, n))
        pos = 5;
    else if (ldvl < 1 || (wantvl && ldvl < n))
        pos = 8;
    else if (ldvr < 1 || (wantvr && ldvr < n))
        pos = 10;
    else if (lwork < minwrk && lwork != -1)
        pos = 12;
    if (pos != 0) {
        illegal(
            "ZGEEV", pos, execute,
            [&] {
                cplx a[1] = {{1, 0}}, w[1], vl[1], vr[1], work[1];
                double rwork[2];
                int info = 0;
                geev(jobvl, jobvr, &n, a, &lda, w, vl, &ldvl, vr, &ldvr, work, &lwork, rwork,
                     &info);
            },
            data, size);
        return;
    }
    const Content c = draw_content(f, true);
    bool moderate = true;
    Mat a(n, n, lda), vl(wantvl ? n : 0, n, ldvl), vr(wantvr ? n : 0, n, ldvr);
    a.fill(c, 0, &moderate);
    // The fill's scalings can overflow to infinity even from finite specials;
    // such parts become the largest finite value of their sign, so that the
    // balancing's report of a NaN is never the expected outcome here.
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            for (double* part : {&a(i, j).re, &a(i, j).im})
                if (!std::isfinite(*part))
                    *part = std::isnan(*part) ? 0.0 : std::copysign(DBL_MAX, *part);
    const Mat a0(a);
    std::unique_ptr<cplx[]> w(new cplx[n]), work(new cplx[std::max(lwork, 1)]);
    std::unique_ptr<double[]> rwork(new double[2 * n]);
    int info = 12345;
    geev(jobvl, jobvr, &n, a.data(), &lda, w.get(), vl.data(), &ldvl, vr.data(), &ldvr, work.get(),
         &lwork, rwork.get(), &info);
    if (info < 0 || info > n) finding("ZGEEV: INFO " + std::to_string(info) + " out of range");
    if (work[0].im != 0.0 || work[0].re < minwrk || work[0].re != std::floor(work[0].re))
        finding("ZGEEV: WORK(1) = " + std::to_string(work[0].re) + " is no workspace size");
    if (lwork == -1) {
        if (!a.same_as(a0)) finding("ZGEEV: a workspace query changed A");
        return;
    }
    if (!a.pads_intact() || !vl.pads_intact() || !vr.pads_intact())
        finding("ZGEEV: wrote between the rows of A, VL or VR");
    if (info != 0 || !moderate) return;
    // Every eigenvector has norm 1 and a real, positive component of
    // largest modulus. The component is chosen before the column is rotated,
    // so among components of (nearly) equal modulus the rotation's rounding
    // may leave another one a little larger: any component within rounding
    // of the largest modulus may be the real one.
    for (Mat* v : {&vl, &vr}) {
        if (v->rows() == 0) continue;
        for (int j = 0; j < n; ++j) {
            double sum = 0, big = -1, real_big = -1;
            for (int i = 0; i < n; ++i) {
                const cplx x = (*v)(i, j);
                const double s = x.re * x.re + x.im * x.im;
                sum += s;
                big = std::max(big, s);
                if (x.im == 0.0 && x.re > 0.0) real_big = std::max(real_big, s);
            }
            if (!(std::fabs(std::sqrt(sum) - 1.0) <= 1e-12 * (n + 1)) ||
                !(real_big >= big * (1.0 - 1e-13)))
                finding("ZGEEV: eigenvector " + std::to_string(j + 1) +
                        " is not normalised with a real largest component");
        }
    }
}

void run_input(const std::uint8_t* data, std::size_t size, bool execute_illegal) {
    static const std::vector<Driver> drivers = [] {
        std::vector<Driver> all = {
            {"qivlapackdll2_zgetrf", zgetrf_case},
            {"qivlapackdll2_zgesv", zgesv_case},
            {"qivlapackdll2_zgeev", zgeev_case},
        };
        // QIV_FUZZ_EXPORT=name keeps only the exports whose name contains it.
        const char* only = std::getenv("QIV_FUZZ_EXPORT");
        if (only != nullptr && *only != '\0')
            all.erase(std::remove_if(all.begin(), all.end(),
                                     [&](const Driver& d) { return !std::strstr(d.symbol, only); }),
                      all.end());
        if (all.empty()) finding("QIV_FUZZ_EXPORT matches no export");
        return all;
    }();
    FDP f(data, size);
    const Driver& d = drivers[f.ConsumeIntegralInRange<std::size_t>(0, drivers.size() - 1)];
    d.run(f, execute_illegal, data, size);
}

std::size_t confirmed_predictions() { return g_confirmed; }
std::size_t skipped_predictions() { return g_skipped; }
std::size_t retried_replays() { return g_retried; }

}  // namespace qivfuzz
