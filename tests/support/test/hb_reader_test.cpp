// The Harwell-Boeing reader the Hessenberg tests use for matrices from practice.
#include "support/hb_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

TEST(HbReader, ReadsPde225) {
    qivtest::HbMatrix m;
    std::string error;
    ASSERT_TRUE(qivtest::read_hb(qivtest::test_data_file("pde225.rua"), &m, &error)) << error;
    EXPECT_EQ(m.type, "RUA");
    EXPECT_EQ(m.key, "PDE225  ");
    EXPECT_EQ(m.nrow, 225);
    EXPECT_EQ(m.ncol, 225);
    EXPECT_EQ(m.nnz, 1065);
    ASSERT_EQ(m.colptr.size(), 226u);
    EXPECT_EQ(m.colptr[0], 1);
    EXPECT_EQ(m.colptr[1], 4);
    EXPECT_EQ(m.colptr[2], 8);
    EXPECT_EQ(m.rowind[0], 1);
    // Fields that touch, with D exponents.
    EXPECT_EQ(m.values[0], 0.4003510369290001e+01);
    EXPECT_EQ(m.values[1], -0.7988452576590001e+00);
    EXPECT_EQ(m.values[2], -0.1005876574710000e+01);
    const auto a = qivtest::hb_dense(m, 230);
    EXPECT_EQ(a[0].re, m.values[0]);
    EXPECT_EQ(a[0].im, 0.0);
}

TEST(HbReader, FormatVariantsAndErrors) {
    const std::string path = ::testing::TempDir() + "hb_reader_test.rua";
    {
        std::ofstream f(path);
        f << "Small test matrix                                                       SMALL   \n"
             "             5             1             1             2             1\n"
             "RUA                        3             3             4             0\n"
             "          (10I8)          (10I8)            (2E16.8)            (2E16.8)\n"
             "F                          1             0\n"
             "       1       2       4       5\n"
             "       1       1       3       2\n"
             "  0.50000000E+00 -0.25000000d+01\n"
             "  0.12500000-100  1.0000000E+000\n"
             "  0.0\n";
    }
    qivtest::HbMatrix m;
    std::string error;
    ASSERT_TRUE(qivtest::read_hb(path, &m, &error)) << error;
    EXPECT_EQ(m.nnz, 4);
    EXPECT_EQ(m.values[0], 0.5);
    EXPECT_EQ(m.values[1], -2.5);
    EXPECT_EQ(m.values[2], 0.125e-100);
    EXPECT_EQ(m.values[3], 1.0);
    const auto a = qivtest::hb_dense(m, 3);
    EXPECT_EQ(a[qiv::at(1, 2, 3)].re, -2.5);
    EXPECT_EQ(a[qiv::at(3, 2, 3)].re, 0.125e-100);
    EXPECT_EQ(a[qiv::at(2, 3, 3)].re, 1.0);

    {
        std::ofstream f(path);
        f << "Broken\n             3             1             1             1\n"
             "RUA                        3             3             4             0\n"
             "(4I4)           (4I4)           (2E16.8)            (2E16.8)\n"
             "   1   2   4\n";
    }
    EXPECT_FALSE(qivtest::read_hb(path, &m, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(qivtest::read_hb(path + ".missing", &m, &error));
    std::remove(path.c_str());
}

}  // namespace
