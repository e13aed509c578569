// The order of the argument checks. A test that spoils one argument at a time
// cannot tell whether a routine checks N before LDA or the other way round;
// here every pair of checked arguments is spoiled at once and the report
// must name the one checked first. For each routine the table lists its
// checks in their documented order with a change that makes that argument
// illegal whatever the other arguments hold (an increment or leading
// dimension of 0, a size of -1, an unknown option letter). ZGETRF and ZGESV
// are called through the module's exports, as a host calls them.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "frame/complex.h"
#include "householder/householder.h"
#include "kernels/gemm.h"
#include "kernels/matutil.h"
#include "kernels/matvec.h"
#include "kernels/trmat.h"
#include "lu/lu.h"
#include "qivlapackdll2.h"
#include "reliability/harness.h"
#include "support/child.h"

namespace {

using qiv::zcomplex;

// The scalar arguments of any of the routines below; each call takes the
// ones it needs. The legal values describe small 4 x 4 problems.
struct Args {
    const char* o1 = "N";
    const char* o2 = "N";
    const char* o3 = "N";
    const char* o4 = "N";
    int m = 4, n = 4, k = 4;
    int lda = 4, ldb = 4, ldc = 4;
    int incx = 1, incy = 1;
    int ilo = 1, ihi = 4;
    int lwork = 4096;
    int kl = 1, ku = 1;
    double cfrom = 1.0, cto = 2.0;
};

struct Check {
    int pos;                           // the position the report names
    std::function<void(Args&)> spoil;  // makes that argument illegal
};

// Arrays large enough for every legal call of the tables.
struct Arrays {
    std::vector<zcomplex> a = std::vector<zcomplex>(256, qiv::zc(0.5, 0.25));
    std::vector<zcomplex> b = std::vector<zcomplex>(256, qiv::zc(0.5, -0.25));
    std::vector<zcomplex> c = std::vector<zcomplex>(256, qiv::zc(0.125));
    std::vector<zcomplex> work = std::vector<zcomplex>(8192);
    std::vector<int> ipiv = std::vector<int>(16, 1);
    zcomplex alpha = qiv::zc(1.5, 0.5), beta = qiv::zc(0.5);
    int info = 0;
};

// Every single check, then every pair (i < j) with both arguments spoiled:
// the report must name argument i. At the small scale (instrumented runs,
// where each child process costs a lot) only neighbouring pairs, which still
// catch any two checks made in the wrong order relative to each other.
void expect_order(const char* name, const Args& legal, const std::vector<Check>& checks,
                  const std::function<void(Args&, Arrays&)>& call) {
    const std::size_t reach = reltest::small_scale() ? 1 : checks.size();
    for (std::size_t i = 0; i < checks.size(); ++i)
        for (std::size_t j = i; j < checks.size() && j <= i + reach; ++j) {
            Args args = legal;
            checks[i].spoil(args);
            checks[j].spoil(args);
            Arrays arrays;
            SCOPED_TRACE(std::string(name) + ": arguments " + std::to_string(checks[i].pos) +
                         " and " + std::to_string(checks[j].pos) + " illegal");
            EXPECT_ILLEGAL(name, checks[i].pos, call(args, arrays));
        }
}

// Common spoilers.
void bad_o1(Args& a) { a.o1 = "X"; }
void bad_o2(Args& a) { a.o2 = "X"; }
void bad_o3(Args& a) { a.o3 = "X"; }
void bad_o4(Args& a) { a.o4 = "/"; }
void bad_m(Args& a) { a.m = -1; }
void bad_n(Args& a) { a.n = -1; }
void bad_k(Args& a) { a.k = -1; }
void bad_lda(Args& a) { a.lda = 0; }
void bad_ldb(Args& a) { a.ldb = 0; }
void bad_ldc(Args& a) { a.ldc = 0; }
void bad_incx(Args& a) { a.incx = 0; }
void bad_incy(Args& a) { a.incy = 0; }
void bad_ilo(Args& a) { a.ilo = 0; }
void bad_ihi(Args& a) { a.ihi = 999; }  // above every order used
void bad_lwork(Args& a) { a.lwork = 0; }

TEST(CheckOrder, Zgemm) {
    expect_order("ZGEMM", Args{},
                 {{1, bad_o1},
                  {2, bad_o2},
                  {3, bad_m},
                  {4, bad_n},
                  {5, bad_k},
                  {8, bad_lda},
                  {10, bad_ldb},
                  {13, bad_ldc}},
                 [](Args& g, Arrays& x) {
                     qiv::ZGEMM(g.o1, g.o2, &g.m, &g.n, &g.k, &x.alpha, x.a.data(), &g.lda,
                                x.b.data(), &g.ldb, &x.beta, x.c.data(), &g.ldc);
                 });
}

TEST(CheckOrder, ZtrsmAndZtrmm) {
    const std::vector<Check> checks = {{1, bad_o1}, {2, bad_o2}, {3, bad_o3},  {4, bad_o4},
                                       {5, bad_m},  {6, bad_n},  {9, bad_lda}, {11, bad_ldb}};
    Args legal;
    legal.o1 = "L";
    legal.o2 = "U";
    legal.o4 = "N";
    expect_order("ZTRSM", legal, checks, [](Args& g, Arrays& x) {
        qiv::ZTRSM(g.o1, g.o2, g.o3, g.o4, &g.m, &g.n, &x.alpha, x.a.data(), &g.lda, x.b.data(),
                   &g.ldb);
    });
    expect_order("ZTRMM", legal, checks, [](Args& g, Arrays& x) {
        qiv::ZTRMM(g.o1, g.o2, g.o3, g.o4, &g.m, &g.n, &x.alpha, x.a.data(), &g.lda, x.b.data(),
                   &g.ldb);
    });
}

TEST(CheckOrder, ZgemvAndZgerc) {
    expect_order("ZGEMV", Args{},
                 {{1, bad_o1}, {2, bad_m}, {3, bad_n}, {6, bad_lda}, {8, bad_incx}, {11, bad_incy}},
                 [](Args& g, Arrays& x) {
                     qiv::ZGEMV(g.o1, &g.m, &g.n, &x.alpha, x.a.data(), &g.lda, x.b.data(), &g.incx,
                                &x.beta, x.c.data(), &g.incy);
                 });
    expect_order("ZGERC", Args{},
                 {{1, bad_m}, {2, bad_n}, {5, bad_incx}, {7, bad_incy}, {9, bad_lda}},
                 [](Args& g, Arrays& x) {
                     qiv::ZGERC(&g.m, &g.n, &x.alpha, x.b.data(), &g.incx, x.c.data(), &g.incy,
                                x.a.data(), &g.lda);
                 });
}

TEST(CheckOrder, ZtrmvAndZtrsv) {
    const std::vector<Check> checks = {{1, bad_o1}, {2, bad_o2},  {3, bad_o3},
                                       {4, bad_n},  {6, bad_lda}, {8, bad_incx}};
    Args legal;
    legal.o1 = "U";
    expect_order("ZTRMV", legal, checks, [](Args& g, Arrays& x) {
        qiv::ZTRMV(g.o1, g.o2, g.o3, &g.n, x.a.data(), &g.lda, x.b.data(), &g.incx);
    });
    expect_order("ZTRSV", legal, checks, [](Args& g, Arrays& x) {
        qiv::ZTRSV(g.o1, g.o2, g.o3, &g.n, x.a.data(), &g.lda, x.b.data(), &g.incx);
    });
}

TEST(CheckOrder, LuThroughTheExports) {
    auto* getrf = reinterpret_cast<decltype(&qivlapackdll2_zgetrf)>(
        reltest::module_symbol("qivlapackdll2_zgetrf"));
    auto* gesv = reinterpret_cast<decltype(&qivlapackdll2_zgesv)>(
        reltest::module_symbol("qivlapackdll2_zgesv"));
    ASSERT_TRUE(getrf && gesv);
    const auto z = [](std::vector<zcomplex>& v) {
        return reinterpret_cast<qivlapackdll2_complex*>(v.data());
    };
    expect_order("ZGETRF", Args{}, {{1, bad_m}, {2, bad_n}, {4, bad_lda}}, [&](Args& g, Arrays& x) {
        getrf(&g.m, &g.n, z(x.a), &g.lda, x.ipiv.data(), &x.info);
    });
    expect_order("ZGESV", Args{},
                 {{1, bad_n}, {2, [](Args& a) { a.k = -1; }}, {4, bad_lda}, {7, bad_ldb}},
                 [&](Args& g, Arrays& x) {
                     gesv(&g.n, &g.k, z(x.a), &g.lda, x.ipiv.data(), z(x.b), &g.ldb, &x.info);
                 });
}

TEST(CheckOrder, LuInternals) {
    expect_order("ZGETRF2", Args{}, {{1, bad_m}, {2, bad_n}, {4, bad_lda}}, [](Args& g, Arrays& x) {
        qiv::ZGETRF2(&g.m, &g.n, x.a.data(), &g.lda, x.ipiv.data(), &x.info);
    });
    // NRHS is k here.
    expect_order("ZGETRS", Args{},
                 {{1, bad_o1}, {2, bad_n}, {3, bad_k}, {5, bad_lda}, {8, bad_ldb}},
                 [](Args& g, Arrays& x) {
                     qiv::ZGETRS(g.o1, &g.n, &g.k, x.a.data(), &g.lda, x.ipiv.data(), x.b.data(),
                                 &g.ldb, &x.info);
                 });
}

TEST(CheckOrder, HessenbergReduction) {
    const std::vector<Check> checks = {{1, bad_n}, {2, bad_ilo}, {3, bad_ihi}, {5, bad_lda}};
    std::vector<Check> with_work = checks;
    with_work.push_back({8, bad_lwork});
    expect_order("ZGEHRD", Args{}, with_work, [](Args& g, Arrays& x) {
        qiv::ZGEHRD(&g.n, &g.ilo, &g.ihi, x.a.data(), &g.lda, x.b.data(), x.work.data(), &g.lwork,
                    &x.info);
    });
    expect_order("ZGEHD2", Args{}, checks, [](Args& g, Arrays& x) {
        qiv::ZGEHD2(&g.n, &g.ilo, &g.ihi, x.a.data(), &g.lda, x.b.data(), x.work.data(), &x.info);
    });
}

TEST(CheckOrder, FormingTheUnitaryFactor) {
    const std::vector<Check> qr = {{1, bad_m}, {2, bad_n}, {3, bad_k}, {5, bad_lda}};
    std::vector<Check> qr_work = qr;
    qr_work.push_back({8, bad_lwork});
    expect_order("ZUNG2R", Args{}, qr, [](Args& g, Arrays& x) {
        qiv::ZUNG2R(&g.m, &g.n, &g.k, x.a.data(), &g.lda, x.b.data(), x.work.data(), &x.info);
    });
    expect_order("ZUNGQR", Args{}, qr_work, [](Args& g, Arrays& x) {
        qiv::ZUNGQR(&g.m, &g.n, &g.k, x.a.data(), &g.lda, x.b.data(), x.work.data(), &g.lwork,
                    &x.info);
    });
    expect_order("ZUNGHR", Args{},
                 {{1, bad_n}, {2, bad_ilo}, {3, bad_ihi}, {5, bad_lda}, {8, bad_lwork}},
                 [](Args& g, Arrays& x) {
                     qiv::ZUNGHR(&g.n, &g.ilo, &g.ihi, x.a.data(), &g.lda, x.b.data(),
                                 x.work.data(), &g.lwork, &x.info);
                 });
}

TEST(CheckOrder, ApplyingTheUnitaryFactor) {
    Args legal;
    legal.o1 = "L";
    legal.o2 = "C";
    const std::vector<Check> qr = {{1, bad_o1}, {2, bad_o2},  {3, bad_m},   {4, bad_n},
                                   {5, bad_k},  {7, bad_lda}, {10, bad_ldc}};
    std::vector<Check> qr_work = qr;
    qr_work.push_back({12, bad_lwork});
    expect_order("ZUNM2R", legal, qr, [](Args& g, Arrays& x) {
        qiv::ZUNM2R(g.o1, g.o2, &g.m, &g.n, &g.k, x.a.data(), &g.lda, x.b.data(), x.c.data(),
                    &g.ldc, x.work.data(), &x.info);
    });
    expect_order("ZUNMQR", legal, qr_work, [](Args& g, Arrays& x) {
        qiv::ZUNMQR(g.o1, g.o2, &g.m, &g.n, &g.k, x.a.data(), &g.lda, x.b.data(), x.c.data(),
                    &g.ldc, x.work.data(), &g.lwork, &x.info);
    });
    expect_order("ZUNMHR", legal,
                 {{1, bad_o1},
                  {2, bad_o2},
                  {3, bad_m},
                  {4, bad_n},
                  {5, bad_ilo},
                  {6, bad_ihi},
                  {8, bad_lda},
                  {11, bad_ldc},
                  {13, bad_lwork}},
                 [](Args& g, Arrays& x) {
                     qiv::ZUNMHR(g.o1, g.o2, &g.m, &g.n, &g.ilo, &g.ihi, x.a.data(), &g.lda,
                                 x.b.data(), x.c.data(), &g.ldc, x.work.data(), &g.lwork, &x.info);
                 });
}

// ZLASCL checks in an order of its own (not that of its argument list), and
// the band checks only for the band types.
TEST(CheckOrder, Zlascl) {
    const auto call = [](Args& g, Arrays& x) {
        qiv::ZLASCL(g.o1, &g.kl, &g.ku, &g.cfrom, &g.cto, &g.m, &g.n, x.a.data(), &g.lda, &x.info);
    };
    const auto bad_cfrom = [](Args& a) { a.cfrom = 0.0; };
    const auto bad_cto = [](Args& a) { a.cto = std::nan(""); };
    Args general;
    general.o1 = "G";
    expect_order("ZLASCL", general,
                 {{1, bad_o1}, {4, bad_cfrom}, {5, bad_cto}, {6, bad_m}, {7, bad_n}, {9, bad_lda}},
                 call);
    // Band storage: KL = KU = 1, LDA = 3 >= KL + 1.
    Args band;
    band.o1 = "B";
    band.lda = 3;
    expect_order("ZLASCL", band,
                 {{1, bad_o1},
                  {4, bad_cfrom},
                  {5, bad_cto},
                  {6, bad_m},
                  {7, bad_n},
                  {2, [](Args& a) { a.kl = -1; }},
                  {3, [](Args& a) { a.ku = -1; }},
                  {9, bad_lda}},
                 call);
}

}  // namespace
