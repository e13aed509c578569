// qivlapackdll2.hpp — a C++17 host for the qivlapackdll2 module, header only.
//
// The module is loaded at run time by name (libqivlapackdll2.so on Linux,
// libqivlapackdll2.winx64.dll on Windows x86-64) or by path, and its exports
// are bound by name, so nothing links against it:
//
//     qivlapackdll2::Module lib;                        // or Module("/path/to/module")
//     qivlapackdll2::Matrix a(3, 3);                    // column-major std::complex<double>
//     ...fill a(i, j)...
//     auto lu = lib.getrf(a.view());                    // a now holds L and U
//     if (lu.singular()) std::cout << lu.explanation << '\n';
//
// The module ends the whole process (after printing one report line) when a
// routine is passed an illegal argument. Every call here checks each argument
// first, in the order the routine would, and throws IllegalArgument (a
// std::invalid_argument) naming it instead, so a bad call never reaches the
// module. A matrix holding a NaN or an infinity is refused by the eigen call
// for the same reason: the balancing step would report it and end the process.
//
// Views are 0-based: view(i, j) is element (i+1, j+1) of the routines, at
// offset i + j*ld. Results carry the routine's INFO with its meaning in words.
#ifndef QIVLAPACKDLL2_HPP
#define QIVLAPACKDLL2_HPP

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#endif

#include "qivlapackdll2.h"

namespace qivlapackdll2 {

using zcomplex = std::complex<double>;

// std::complex<double> is laid out as two doubles, real part first: exactly
// the module's complex element.
static_assert(sizeof(zcomplex) == sizeof(qivlapackdll2_complex), "complex layout");

// ---- errors -------------------------------------------------------------------

// The module could not be loaded, or an export could not be bound.
class LoadError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

// An argument that the routine would refuse (and report by ending the
// process). argument() is its name as in the routine's argument list.
class IllegalArgument : public std::invalid_argument {
   public:
    IllegalArgument(const std::string& routine, const std::string& argument, const std::string& why)
        : std::invalid_argument(routine + ": argument " + argument + " " + why),
          routine_(routine),
          argument_(argument) {}
    const std::string& routine() const { return routine_; }
    const std::string& argument() const { return argument_; }

   private:
    std::string routine_, argument_;
};

// ---- matrices -------------------------------------------------------------------

// A column-major matrix that someone else owns: rows x cols elements, element
// (i, j) at data[i + j*ld].
struct MatrixView {
    zcomplex* data = nullptr;
    int rows = 0;
    int cols = 0;
    int ld = 1;

    zcomplex& operator()(int i, int j) const {
        return data[static_cast<std::int64_t>(i) + static_cast<std::int64_t>(j) * ld];
    }
    bool empty() const { return rows <= 0 || cols <= 0; }
    // The view of rows r0 .. r0+m-1 and columns c0 .. c0+n-1 (same ld).
    MatrixView block(int r0, int c0, int m, int n) const {
        return MatrixView{&(*this)(r0, c0), m, n, ld};
    }
};

// An owning column-major matrix with leading dimension rows (at least 1).
class Matrix {
   public:
    Matrix() = default;
    Matrix(int rows, int cols, zcomplex fill = zcomplex(0.0, 0.0))
        : rows_(rows),
          cols_(cols),
          data_(static_cast<std::size_t>(std::max(1, rows)) *
                    static_cast<std::size_t>(std::max(0, cols)),
                fill) {
        if (rows < 0 || cols < 0) throw std::invalid_argument("Matrix: negative size");
    }
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    int ld() const { return std::max(1, rows_); }
    zcomplex& operator()(int i, int j) {
        return data_[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ld()];
    }
    const zcomplex& operator()(int i, int j) const {
        return data_[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ld()];
    }
    zcomplex* data() { return data_.data(); }
    const zcomplex* data() const { return data_.data(); }
    MatrixView view() {
        return MatrixView{data_.empty() ? nullptr : data_.data(), rows_, cols_, ld()};
    }

   private:
    int rows_ = 0, cols_ = 0;
    std::vector<zcomplex> data_;
};

// ---- results --------------------------------------------------------------------

// INFO of a factorisation in words: 0, or the column whose pivot is zero.
inline std::string explain_lu_info(int info) {
    if (info == 0) return "every pivot is nonzero: U is nonsingular";
    if (info > 0)
        return "U(" + std::to_string(info) + "," + std::to_string(info) +
               ") is exactly zero: column " + std::to_string(info) +
               " has no nonzero pivot, so the matrix is singular";
    return "argument " + std::to_string(-info) + " was illegal";
}

inline std::string explain_solve_info(int info) {
    if (info == 0) return "solved: every pivot is nonzero";
    if (info > 0)
        return "no solution computed: U(" + std::to_string(info) + "," + std::to_string(info) +
               ") is exactly zero, column " + std::to_string(info) +
               " has no nonzero pivot, so the matrix is singular (B is left unchanged)";
    return "argument " + std::to_string(-info) + " was illegal";
}

inline std::string explain_eig_info(int info, int n) {
    if (info == 0) return "all eigenvalues converged";
    if (info > 0)
        return "the QR algorithm did not converge: only eigenvalues " + std::to_string(info + 1) +
               " to " + std::to_string(n) + " are meaningful and no eigenvectors were computed";
    return "argument " + std::to_string(-info) + " was illegal";
}

struct LuResult {
    std::vector<int> ipiv;  // 1-based: row i was interchanged with row ipiv[i-1]
    int info = 0;
    std::string explanation;
    bool singular() const { return info > 0; }
    int zero_pivot_column() const { return info > 0 ? info : 0; }  // 1-based, 0 if none
};

struct SolveResult {
    std::vector<int> ipiv;
    int info = 0;
    std::string explanation;
    bool solved() const { return info == 0; }
    int zero_pivot_column() const { return info > 0 ? info : 0; }
};

struct EigResult {
    std::vector<zcomplex> w;  // in the order of the Schur form's diagonal
    Matrix vl, vr;            // filled by eig() when asked for (column j belongs to w[j])
    int info = 0;
    int lwork = 0;          // workspace length the call used
    int lwork_optimal = 0;  // the module's answer to the workspace query
    std::string explanation;
    bool converged() const { return info == 0; }
};

enum class Vectors { none, right, left, both };

// ---- the module -----------------------------------------------------------------

class Module {
   public:
    // Function types taken from the public header's declarations.
    using testfn_t = decltype(&qivcppdlltemplate_exportedtestfn);
    using zgetrf_t = decltype(&qivlapackdll2_zgetrf);
    using zgesv_t = decltype(&qivlapackdll2_zgesv);
    using zgeev_t = decltype(&qivlapackdll2_zgeev);

    // The exports in the order of their ordinals.
    static const std::vector<std::string>& export_names() {
        static const std::vector<std::string> names = {"qivcppdlltemplate_exportedtestfn",
                                                       "qivlapackdll2_zgeev", "qivlapackdll2_zgesv",
                                                       "qivlapackdll2_zgetrf"};
        return names;
    }

    static std::string default_name() {
#if defined(_WIN32)
        return "libqivlapackdll2.winx64.dll";
#elif defined(__APPLE__)
        return "libqivlapackdll2.dylib";
#else
        return "libqivlapackdll2.so";
#endif
    }

    // Loads the module by name (searched the platform's way) or by path, and
    // binds every export; throws LoadError when either fails.
    explicit Module(const std::string& name_or_path = default_name()) : name_(name_or_path) {
#if defined(_WIN32)
        handle_ = static_cast<void*>(LoadLibraryA(name_.c_str()));
        if (!handle_) throw LoadError("cannot load " + name_);
#else
        handle_ = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* why = dlerror();
            throw LoadError("cannot load " + name_ + (why ? std::string(": ") + why : ""));
        }
#endif
        try {
            testfn_ = bind<testfn_t>("qivcppdlltemplate_exportedtestfn");
            zgeev_ = bind<zgeev_t>("qivlapackdll2_zgeev");
            zgesv_ = bind<zgesv_t>("qivlapackdll2_zgesv");
            zgetrf_ = bind<zgetrf_t>("qivlapackdll2_zgetrf");
        } catch (...) {
            close();
            throw;
        }
    }
    ~Module() { close(); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    Module(Module&& other) noexcept { *this = std::move(other); }
    Module& operator=(Module&& other) noexcept {
        if (this != &other) {
            close();
            name_ = std::move(other.name_);
            handle_ = std::exchange(other.handle_, nullptr);
            testfn_ = other.testfn_;
            zgetrf_ = other.zgetrf_;
            zgesv_ = other.zgesv_;
            zgeev_ = other.zgeev_;
        }
        return *this;
    }

    // The name or path the module was loaded by, and the file it came from.
    const std::string& name() const { return name_; }
    std::string path() const {
#if defined(_WIN32)
        char buf[MAX_PATH * 4];
        const DWORD len = GetModuleFileNameA(static_cast<HMODULE>(handle_), buf, sizeof buf);
        return len ? std::string(buf, len) : name_;
#else
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(zgetrf_), &info) && info.dli_fname) {
            char resolved[PATH_MAX];
            if (realpath(info.dli_fname, resolved)) return resolved;
            return info.dli_fname;
        }
        return name_;
#endif
    }

    // The exports as bound, unchecked: an illegal argument passed here ends
    // the process through the module's report.
    struct Raw {
        testfn_t testfn;
        zgetrf_t zgetrf;
        zgesv_t zgesv;
        zgeev_t zgeev;
    };
    Raw raw() const { return Raw{testfn_, zgetrf_, zgesv_, zgeev_}; }

    void test_entry() const { testfn_(); }

    // LU factorisation with partial pivoting of the rows x cols matrix a,
    // which is overwritten by L (unit diagonal not stored) and U.
    LuResult getrf(MatrixView a) const {
        const char* r = "zgetrf";
        if (a.rows < 0) illegal(r, "M", "= " + std::to_string(a.rows) + " must not be negative");
        if (a.cols < 0) illegal(r, "N", "= " + std::to_string(a.cols) + " must not be negative");
        check_data(r, "A", a);
        check_ld(r, "LDA", a.ld, "M", a.rows);
        LuResult result;
        result.ipiv.assign(static_cast<std::size_t>(std::max(1, std::min(a.rows, a.cols))), 0);
        int m = a.rows, n = a.cols, lda = a.ld, info = 0;
        zgetrf_(&m, &n, as_c(a.data), &lda, result.ipiv.data(), &info);
        result.ipiv.resize(static_cast<std::size_t>(std::min(a.rows, a.cols)));
        result.info = info;
        result.explanation = explain_lu_info(info);
        return result;
    }

    // Solves A*X = B for the square a; a is overwritten by its LU factors and
    // b (n x nrhs) by the solution when the result is solved().
    SolveResult gesv(MatrixView a, MatrixView b) const {
        const char* r = "zgesv";
        if (a.rows < 0) illegal(r, "N", "= " + std::to_string(a.rows) + " must not be negative");
        if (a.cols != a.rows)
            illegal(
                r, "A",
                "must be square, not " + std::to_string(a.rows) + " x " + std::to_string(a.cols));
        if (b.cols < 0) illegal(r, "NRHS", "= " + std::to_string(b.cols) + " must not be negative");
        check_data(r, "A", a);
        check_ld(r, "LDA", a.ld, "N", a.rows);
        if (b.rows != a.rows)
            illegal(r, "B",
                    "has " + std::to_string(b.rows) + " rows for a matrix of order " +
                        std::to_string(a.rows));
        check_data(r, "B", b);
        check_ld(r, "LDB", b.ld, "N", a.rows);
        SolveResult result;
        result.ipiv.assign(static_cast<std::size_t>(std::max(1, a.rows)), 0);
        int n = a.rows, nrhs = b.cols, lda = a.ld, ldb = b.ld, info = 0;
        zgesv_(&n, &nrhs, as_c(a.data), &lda, result.ipiv.data(), as_c(b.data), &ldb, &info);
        result.ipiv.resize(static_cast<std::size_t>(a.rows));
        result.info = info;
        result.explanation = explain_solve_info(info);
        return result;
    }

    // The optimal workspace length for geev with these options and order.
    int geev_optimal_lwork(const char* jobvl, const char* jobvr, int n) const {
        const char* r = "zgeev";
        const bool wantvl = check_job(r, "JOBVL", jobvl);
        const bool wantvr = check_job(r, "JOBVR", jobvr);
        if (n < 0) illegal(r, "N", "= " + std::to_string(n) + " must not be negative");
        const int ld = std::max(1, n), ldvl = wantvl ? ld : 1, ldvr = wantvr ? ld : 1;
        const int lwork = -1;
        int info = 0;
        zcomplex a(0.0, 0.0), w(0.0, 0.0), vl(0.0, 0.0), vr(0.0, 0.0), query(0.0, 0.0);
        double rwork = 0.0;
        zgeev_(jobvl, jobvr, &n, as_c(&a), &ld, as_c(&w), as_c(&vl), &ldvl, as_c(&vr), &ldvr,
               as_c(&query), &lwork, &rwork, &info);
        return static_cast<int>(query.real());
    }

    // Eigenvalues and, as jobvl / jobvr ("N" or "V") ask, left and right
    // eigenvectors of the square a, written into the columns of vl and vr
    // (at least n x n when asked for; otherwise not referenced). a is
    // overwritten. lwork 0 uses the optimal workspace length; any other value
    // must be at least max(1, 2n).
    EigResult geev(const char* jobvl, const char* jobvr, MatrixView a, MatrixView vl, MatrixView vr,
                   int lwork = 0) const {
        const char* r = "zgeev";
        const bool wantvl = check_job(r, "JOBVL", jobvl);
        const bool wantvr = check_job(r, "JOBVR", jobvr);
        if (a.rows < 0) illegal(r, "N", "= " + std::to_string(a.rows) + " must not be negative");
        if (a.cols != a.rows)
            illegal(
                r, "A",
                "must be square, not " + std::to_string(a.rows) + " x " + std::to_string(a.cols));
        const int n = a.rows;
        check_data(r, "A", a);
        check_ld(r, "LDA", a.ld, "N", n);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const zcomplex z = a(i, j);
                if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
                    illegal(r, "A",
                            "holds a NaN or an infinity at (" + std::to_string(i + 1) + "," +
                                std::to_string(j + 1) + "), which the balancing step refuses");
            }
        check_vectors(r, "VL", "LDVL", vl, wantvl, n);
        check_vectors(r, "VR", "LDVR", vr, wantvr, n);
        const int minimum = std::max(1, 2 * n);
        if (lwork != 0 && lwork < minimum)
            illegal(r, "LWORK",
                    "= " + std::to_string(lwork) +
                        " must be at least max(1, 2N) = " + std::to_string(minimum));
        EigResult result;
        result.lwork_optimal = geev_optimal_lwork(jobvl, jobvr, n);
        result.lwork = lwork == 0 ? std::max(minimum, result.lwork_optimal) : lwork;
        std::vector<zcomplex> work(static_cast<std::size_t>(result.lwork));
        std::vector<double> rwork(static_cast<std::size_t>(std::max(1, 2 * n)));
        result.w.assign(static_cast<std::size_t>(std::max(1, n)), zcomplex(0.0, 0.0));
        zcomplex dummy(0.0, 0.0);
        int nn = n, lda = a.ld, ldvl = vl.ld, ldvr = vr.ld, lw = result.lwork, info = 0;
        zgeev_(jobvl, jobvr, &nn, as_c(a.data ? a.data : &dummy), &lda, as_c(result.w.data()),
               as_c(wantvl && vl.data ? vl.data : &dummy), &ldvl,
               as_c(wantvr && vr.data ? vr.data : &dummy), &ldvr, as_c(work.data()), &lw,
               rwork.data(), &info);
        result.w.resize(static_cast<std::size_t>(n));
        result.info = info;
        result.explanation = explain_eig_info(info, n);
        return result;
    }

    // Eigenvalues and the vectors asked for, in matrices the result owns.
    // a is overwritten.
    EigResult eig(MatrixView a, Vectors which = Vectors::right) const {
        const bool left = which == Vectors::left || which == Vectors::both;
        const bool right = which == Vectors::right || which == Vectors::both;
        const int n = std::max(0, a.rows);
        Matrix vl(left ? n : 1, left ? n : 1), vr(right ? n : 1, right ? n : 1);
        EigResult result = geev(left ? "V" : "N", right ? "V" : "N", a, vl.view(), vr.view());
        if (left && result.info == 0) result.vl = std::move(vl);
        if (right && result.info == 0) result.vr = std::move(vr);
        return result;
    }

   private:
    template <class F>
    F bind(const char* export_name) {
#if defined(_WIN32)
        FARPROC p = GetProcAddress(static_cast<HMODULE>(handle_), export_name);
#else
        void* p = dlsym(handle_, export_name);
#endif
        if (!p) throw LoadError("cannot bind " + std::string(export_name) + " in " + name_);
#if defined(_WIN32)
        // Through the generic function type, which any function type converts from.
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
#else
        return reinterpret_cast<F>(p);
#endif
    }

    void close() {
        if (!handle_) return;
#if defined(_WIN32)
        FreeLibrary(static_cast<HMODULE>(handle_));
#else
        dlclose(handle_);
#endif
        handle_ = nullptr;
    }

    static qivlapackdll2_complex* as_c(zcomplex* z) {
        return reinterpret_cast<qivlapackdll2_complex*>(z);
    }

    [[noreturn]] static void illegal(const char* routine, const char* argument,
                                     const std::string& why) {
        throw IllegalArgument(routine, argument, why);
    }

    // A matrix with elements must have data.
    static void check_data(const char* routine, const char* name, const MatrixView& v) {
        if (!v.empty() && v.data == nullptr) illegal(routine, name, "has no data");
    }

    static void check_ld(const char* routine, const char* ld_name, int ld, const char* rows_name,
                         int rows) {
        if (ld < std::max(1, rows))
            illegal(routine, ld_name,
                    "= " + std::to_string(ld) + " must be at least max(1, " + rows_name +
                        ") = " + std::to_string(std::max(1, rows)));
    }

    // An option letter of the eigen call: true for "V", false for "N".
    static bool check_job(const char* routine, const char* name, const char* job) {
        if (job == nullptr) illegal(routine, name, "is a null string");
        const char c = job[0];
        if (c == 'V' || c == 'v') return true;
        if (c == 'N' || c == 'n') return false;
        illegal(routine, name, "= \"" + std::string(job) + "\" must begin with N or V");
    }

    static void check_vectors(const char* routine, const char* name, const char* ld_name,
                              const MatrixView& v, bool wanted, int n) {
        if (v.ld < 1 || (wanted && v.ld < n))
            illegal(
                routine, ld_name,
                "= " + std::to_string(v.ld) + " must be at least " +
                    (wanted ? "max(1, N) = " + std::to_string(std::max(1, n)) : std::string("1")));
        if (wanted && (v.rows < n || v.cols < n))
            illegal(routine, name,
                    "is " + std::to_string(v.rows) + " x " + std::to_string(v.cols) +
                        ", too small for " + std::to_string(n) + " eigenvectors");
        if (wanted && n > 0 && v.data == nullptr) illegal(routine, name, "has no data");
    }

    std::string name_;
    void* handle_ = nullptr;
    testfn_t testfn_ = nullptr;
    zgetrf_t zgetrf_ = nullptr;
    zgesv_t zgesv_ = nullptr;
    zgeev_t zgeev_ = nullptr;
};

}  // namespace qivlapackdll2

#endif  // QIVLAPACKDLL2_HPP
