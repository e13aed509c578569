#include "env/tuning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "kernels/simd/cpu.h"

namespace {

int ilaenv(int ispec, const char* name, int n1 = -1, int n2 = -1, int n3 = -1, int n4 = -1) {
    return qiv::ILAENV(&ispec, name, " ", &n1, &n2, &n3, &n4, std::strlen(name), 1);
}

int iparmq(int ispec, const char* name, int ilo, int ihi) {
    int n = ihi, lwork = -1;
    return qiv::IPARMQ(&ispec, name, "SV", &n, &ilo, &ihi, &lwork, std::strlen(name), 2);
}

TEST(Ilaenv, QueriesMadeByTheLibrary) {
    EXPECT_EQ(ilaenv(1, "ZGEHRD", 200, 1, 200, 0), 32);
    EXPECT_EQ(ilaenv(1, "ZUNGHR", 200, 1, 200, -1), 32);
    EXPECT_EQ(ilaenv(1, "ZGEHRD", 200, 1, 200), 32);
    EXPECT_EQ(ilaenv(3, "ZGEHRD", 200, 1, 200), 128);
    EXPECT_EQ(ilaenv(2, "ZGEHRD", 200, 1, 200), 2);
    EXPECT_EQ(ilaenv(1, "ZGETRF", 500, 500), 64);
    EXPECT_EQ(ilaenv(1, "ZUNGQR", 100, 100, 100), 32);
    EXPECT_EQ(ilaenv(3, "ZUNGQR", 100, 100, 100), 128);
    EXPECT_EQ(ilaenv(2, "ZUNGQR", 100, 100, 100), 2);
    EXPECT_EQ(ilaenv(1, "ZUNMQR", 100, 50, 100), 32);
    EXPECT_EQ(ilaenv(2, "ZUNMQR", 100, 50, 100), 2);
    EXPECT_EQ(ilaenv(1, "ZTREVC", 100), 64);
    EXPECT_EQ(ilaenv(12, "ZHSEQR", 300, 1, 300, 1000), 75);
    EXPECT_EQ(ilaenv(12, "ZLAQR3", 40, 1, 40, 1000), 75);
    EXPECT_EQ(ilaenv(13, "ZLAQR0", 1000, 1, 1000, 1000), 96);
    EXPECT_EQ(ilaenv(15, "ZLAQR4", 1000, 1, 1000, 1000), 64);
    EXPECT_EQ(ilaenv(14, "ZLAQR0", 1000, 1, 1000, 1000), 14);
    EXPECT_EQ(ilaenv(16, "ZLAQR0", 149, 1, 149, 1000), 0);
    EXPECT_EQ(ilaenv(16, "ZLAQR4", 150, 1, 150, 1000), 2);
}

TEST(Ilaenv, NameParsing) {
    EXPECT_EQ(ilaenv(1, "zgetrf"), 64);  // lower-case first letter raises letters 2-6
    EXPECT_EQ(ilaenv(1, "Zgetrf"), 1);   // upper-case first letter: nothing converted
    EXPECT_EQ(ilaenv(1, "XGETRF"), 1);
    EXPECT_EQ(ilaenv(3, "XGETRF"), 1);
    EXPECT_EQ(ilaenv(2, "XGETRF"), 1);
    EXPECT_EQ(ilaenv(3, "ZGETRF"), 0);
    EXPECT_EQ(ilaenv(2, "ZSYTRF"), 8);
    EXPECT_EQ(ilaenv(1, "ZHETRF"), 64);
    EXPECT_EQ(ilaenv(1, "ZHETRF    2"), 192);
    EXPECT_EQ(ilaenv(1, "DHETRF"), 1);  // complex-only row
    EXPECT_EQ(ilaenv(1, "DSYTRD"), 32);
    EXPECT_EQ(ilaenv(1, "ZSYTRD"), 1);  // real-only row
    EXPECT_EQ(ilaenv(3, "ZHETRD"), 32);
    EXPECT_EQ(ilaenv(1, "DORGQR"), 32);
    EXPECT_EQ(ilaenv(1, "ZORGQR"), 1);
    EXPECT_EQ(ilaenv(1, "ZUNMBR"), 32);
    EXPECT_EQ(ilaenv(3, "ZUNMQR"), 0);  // crossover only for "G" operations
    EXPECT_EQ(ilaenv(1, "ZGEQR", 8193, 20, 1), 1638);
    EXPECT_EQ(ilaenv(1, "ZGEQR", 8192, 20, 1), 8192);
    EXPECT_EQ(ilaenv(1, "ZGEQR", 8193, 20, 2), 1);
    EXPECT_EQ(ilaenv(1, "ZGELQ", 8193, 20, 2), 1638);
    EXPECT_EQ(ilaenv(1, "ZGBTRF", 100, 100, 100, 64), 1);
    EXPECT_EQ(ilaenv(1, "ZGBTRF", 100, 100, 100, 65), 32);
    EXPECT_EQ(ilaenv(1, "ZTRSYL", 2000, 3000), 80);
    EXPECT_EQ(ilaenv(1, "DTRSYL", 100, 3000), 48);
    EXPECT_EQ(ilaenv(1, "ZLAORHR"), 32);
    EXPECT_EQ(ilaenv(1, "ZGGHRD"), 32);
    EXPECT_EQ(ilaenv(3, "ZGGBAL"), 128);
    // Only the given length of the name is read; the rest counts as blanks.
    int ispec = 1, n = -1;
    EXPECT_EQ(qiv::ILAENV(&ispec, "ZGETRFXXXXXXXXXXXXXX", " ", &n, &n, &n, &n, 6, 1), 64);
    EXPECT_EQ(qiv::ILAENV(&ispec, "ZGE", " ", &n, &n, &n, &n, 3, 1), 1);
}

TEST(Ilaenv, FixedSettingsAndOutOfRangeCodes) {
    EXPECT_EQ(ilaenv(4, "ZGEEV"), 6);
    EXPECT_EQ(ilaenv(5, "ZGEEV"), 2);
    EXPECT_EQ(ilaenv(6, "ZGESVD", 10, 7), 11);
    EXPECT_EQ(ilaenv(7, "ZGEEV"), 1);
    EXPECT_EQ(ilaenv(8, "ZGEEV"), 50);
    EXPECT_EQ(ilaenv(9, "ZGEEV"), 25);
    EXPECT_EQ(ilaenv(10, "ZGEEV"), 1);
    EXPECT_EQ(ilaenv(11, "ZGEEV"), 1);
    EXPECT_EQ(ilaenv(0, "ZGEEV"), -1);
    EXPECT_EQ(ilaenv(18, "ZGEEV"), -1);
    EXPECT_EQ(ilaenv(-3, "ZGEEV"), -1);
}

TEST(Ieeeck, PassesOnIeeeHardwareAndFailsOnWrongInputs) {
    const float zero = 0.0f, one = 1.0f;
    const int modes[] = {0, 1};
    for (int m : modes) EXPECT_EQ(qiv::IEEECK(&m, &zero, &one), 1);
    // With "one" = 0, ONE/ZERO is NaN and the first test fails: the arithmetic
    // really runs on the values given.
    const int mode = 1;
    EXPECT_EQ(qiv::IEEECK(&mode, &zero, &zero), 0);
}

TEST(Iparmq, ShiftCountsAcrossTheLogarithmicRange) {
    for (int nh = 150; nh <= 589; ++nh) {
        const int k = nh <= 181 ? 7 : (nh <= 362 ? 8 : 9);
        int ns = nh / k;
        if (ns < 10) ns = 10;
        ns -= ns % 2;
        ASSERT_EQ(iparmq(15, "ZLAQR0", 1, nh), ns) << nh;
        ASSERT_EQ(iparmq(13, "ZLAQR0", 1, nh), nh <= 500 ? ns : 3 * ns / 2) << nh;
    }
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 150), 20);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 181), 24);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 182), 22);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 589), 64);
}

TEST(Iparmq, TableRows) {
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 29), 2);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 30), 4);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 59), 4);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 60), 10);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 149), 10);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 590), 64);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 3000), 128);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 1, 6000), 256);
    EXPECT_EQ(iparmq(15, "ZLAQR0", 11, 160), 20);  // NH = IHI - ILO + 1
    EXPECT_EQ(iparmq(13, "ZLAQR0", 1, 1000), 96);
    EXPECT_EQ(iparmq(13, "ZLAQR0", 1, 500), 54);
    EXPECT_EQ(iparmq(13, "ZLAQR0", 1, 501), 81);
    EXPECT_EQ(iparmq(16, "ZLAQR0", 1, 149), 0);
    EXPECT_EQ(iparmq(16, "ZLAQR0", 1, 150), 2);
    EXPECT_EQ(iparmq(16, "zhseqr", 1, 150), 2);
    EXPECT_EQ(iparmq(16, "ZTREXC", 1, 13), 0);
    EXPECT_EQ(iparmq(16, "ZTREXC", 1, 14), 2);
    EXPECT_EQ(iparmq(16, "ZGGHRD", 1, 13), 1);
    EXPECT_EQ(iparmq(16, "ZGGHD3", 1, 14), 2);
    EXPECT_EQ(iparmq(16, "ZGEEV", 1, 500), 0);
    EXPECT_EQ(iparmq(12, "ZHSEQR", 1, 10), 75);
    EXPECT_EQ(iparmq(14, "ZLAQR0", 1, 10), 14);
    EXPECT_EQ(iparmq(17, "ZLAQR0", 1, 10), 10);
    EXPECT_EQ(iparmq(11, "ZLAQR0", 1, 10), -1);
    EXPECT_EQ(iparmq(18, "ZLAQR0", 1, 10), -1);
}

// The kernels' tuning table follows vendor and family: AMD family 25 is
// Zen 4, 26 is Zen 5, anything else gets the default.
TEST(KernelTuning, TableFollowsVendorAndFamily) {
    using qiv::CpuVendor;
    using qiv::Tuning;
    const auto pick = [](CpuVendor v, int family, int model) {
        qiv::CpuId c;
        c.vendor = v;
        c.family = family;
        c.model = model;
        c.l1d_bytes = 32 * 1024;
        c.l2_bytes = 1024 * 1024;
        return qiv::tuning_for(c);
    };
    EXPECT_EQ(pick(CpuVendor::amd, 25, 0x11), Tuning::zen4);
    EXPECT_EQ(pick(CpuVendor::amd, 25, 0x61), Tuning::zen4);
    EXPECT_EQ(pick(CpuVendor::amd, 26, 0x02), Tuning::zen5);
    EXPECT_EQ(pick(CpuVendor::amd, 26, 0x44), Tuning::zen5);
    EXPECT_EQ(pick(CpuVendor::amd, 23, 0x31), Tuning::generic);
    EXPECT_EQ(pick(CpuVendor::intel, 6, 0x8f), Tuning::generic);
    EXPECT_EQ(pick(CpuVendor::other, 26, 0x02), Tuning::generic);
    EXPECT_EQ(pick(CpuVendor::amd, 0, 0), Tuning::generic);  // no description at all
}

// What the tuning reads about the host agrees with what the operating system
// reports (Linux: /proc/cpuinfo), and the host's table is the one its
// description selects.
TEST(KernelTuning, HostDescriptionMatchesTheSystem) {
    const qiv::CpuId cpu = qiv::cpu_id();
    EXPECT_EQ(qiv::host_tuning(), qiv::tuning_for(cpu));
    const qiv::CpuName name = qiv::cpu_name();
    if (std::strcmp(name.vendor, "AuthenticAMD") == 0) {
        EXPECT_EQ(cpu.vendor, qiv::CpuVendor::amd);
    } else if (std::strcmp(name.vendor, "GenuineIntel") == 0) {
        EXPECT_EQ(cpu.vendor, qiv::CpuVendor::intel);
    }
    std::ifstream info("/proc/cpuinfo");
    if (!info) GTEST_SKIP() << "no /proc/cpuinfo to compare with";
    int family = -1, model = -1;
    std::string line;
    while (std::getline(info, line) && (family < 0 || model < 0)) {
        const auto value = [&] { return std::stoi(line.substr(line.find(':') + 1)); };
        if (line.rfind("cpu family", 0) == 0) family = value();
        if (line.rfind("model\t", 0) == 0) model = value();
    }
    if (family < 0 || model < 0) GTEST_SKIP() << "no family and model in /proc/cpuinfo";
    if (cpu.family == 0) GTEST_SKIP() << "the runtime keeps no processor description";
    EXPECT_EQ(cpu.family, family);
    EXPECT_EQ(cpu.model, model);
    EXPECT_GT(cpu.l1d_bytes, 0);
    EXPECT_GE(cpu.l2_bytes, cpu.l1d_bytes);
}

}  // namespace
