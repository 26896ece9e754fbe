// The program's own definitions of libm's functions hand each call to the function of the same
// name, with its arguments in order.

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

namespace {

// Called through pointers, so that the compiler computes none of them itself.
TEST(LazyMath, EachFunctionAnswersAsLibmDoes) {
    double (*volatile unary)(double) = &acos;
    EXPECT_DOUBLE_EQ(unary(-1.0), M_PI);
    unary = &floor;
    EXPECT_EQ(unary(-1.5), -2.0);
    unary = &log;
    EXPECT_DOUBLE_EQ(unary(M_E), 1.0);
    unary = &sqrt;
    EXPECT_EQ(unary(6.25), 2.5);
    double (*volatile binary)(double, double) = &pow;
    EXPECT_EQ(binary(2.0, 10.0), 1024.0);
    EXPECT_EQ(binary(10.0, -1.0), 0.1);

    int exponent = 0;
    double (*volatile split)(double, int*) = &frexp;
    EXPECT_EQ(split(8.0, &exponent), 0.5);
    EXPECT_EQ(exponent, 4);
    double whole = 0;
    double (*volatile fraction)(double, double*) = &modf;
    EXPECT_EQ(fraction(-2.75, &whole), -0.75);
    EXPECT_EQ(whole, -2.0);
    double sine = 0, cosine = 0;
    void (*volatile both)(double, double*, double*) = &sincos;
    both(M_PI / 2, &sine, &cosine);
    EXPECT_DOUBLE_EQ(sine, 1.0);
    EXPECT_NEAR(cosine, 0.0, 1e-15);

    int (*volatile setRound)(int) = &fesetround;
    int (*volatile getRound)() = &fegetround;
    ASSERT_EQ(setRound(FE_DOWNWARD), 0);
    EXPECT_EQ(getRound(), FE_DOWNWARD);
    setRound(FE_TONEAREST);
    EXPECT_EQ(getRound(), FE_TONEAREST);
}

} // namespace
