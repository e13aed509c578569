#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdio>

#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "support/child.h"

namespace {

TEST(Lsame, AllBytePairsFoldOnlyAsciiLetters) {
    std::setlocale(LC_ALL, "C");
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const char ca[2] = {static_cast<char>(a), 'x'};
            const char cb[2] = {static_cast<char>(b), 'y'};
            const bool expected = std::toupper(a) == std::toupper(b);
            ASSERT_EQ(qiv::LSAME(ca, cb, 2, 2), expected) << a << " " << b;
        }
    }
}

TEST(Lsame, ReadsFirstCharacterOnly) {
    EXPECT_TRUE(qiv::LSAME("No transpose", "N"));
    EXPECT_TRUE(qiv::LSAME("n", "N"));
    EXPECT_TRUE(qiv::LSAME("N", "n"));
    EXPECT_FALSE(qiv::LSAME("[", "{"));
    EXPECT_FALSE(qiv::LSAME("@", "`"));
}

TEST(Xerbla, LineFormat) {
    char buf[128];
    const std::size_t n = qiv::format_xerbla_line(buf, "ZGESV ", 4, 6);
    EXPECT_EQ(n, 62u);
    EXPECT_STREQ(buf, " ** On entry to ZGESV parameter number  4 had an illegal value");
    qiv::format_xerbla_line(buf, "ZTREVC3", 10, 7);
    EXPECT_STREQ(buf, " ** On entry to ZTREVC3 parameter number 10 had an illegal value");
    qiv::format_xerbla_line(buf, "ZGEMM ", 100, 6);
    EXPECT_STREQ(buf, " ** On entry to ZGEMM parameter number ** had an illegal value");
    qiv::format_xerbla_line(buf, "ZGEMM ", -10, 6);
    EXPECT_STREQ(buf, " ** On entry to ZGEMM parameter number ** had an illegal value");
    qiv::format_xerbla_line(buf, "      ", 3, 6);
    EXPECT_STREQ(buf, " ** On entry to  parameter number  3 had an illegal value");
    // Only the given length is read.
    qiv::format_xerbla_line(buf, "ZGETRF2XYZ", 1, 7);
    EXPECT_STREQ(buf, " ** On entry to ZGETRF2 parameter number  1 had an illegal value");
}

TEST(Xerbla, WritesLineAndExitsWithStatusZero) {
    const auto r = qivtest::run_in_child([] {
        std::printf("before ");  // buffered output written earlier must survive
        int info = 12;
        qiv::XERBLA("ZGETRF2", &info, 7);
    });
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "before  ** On entry to ZGETRF2 parameter number 12 had an illegal value\n");
    EXPECT_ILLEGAL("ZGESV", 7, qiv::report_illegal("ZGESV ", 7));
}

}  // namespace
