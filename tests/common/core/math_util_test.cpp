#include "core/math_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(MathUtil, GcdAndLcm) {
    EXPECT_EQ(calc_gcd(12, 18), 6);
    EXPECT_EQ(calc_gcd(17, 5), 1);
    EXPECT_EQ(calc_gcd(0, 5), 1);
    EXPECT_EQ(calc_gcd(-4, 8), 1);
    EXPECT_EQ(calc_lcm(4, 6), 12);
    EXPECT_EQ(calc_lcm(-4, 6), 1);
    EXPECT_EQ(calc_lcm(INT64_MAX, INT64_MAX - 1), 0);  // does not fit
    const int64_t values[] = {12, 18, 30};
    EXPECT_EQ(calc_gcd_array(values, 3), 6);
    EXPECT_EQ(calc_lcm_array(values, 3), 180);
    EXPECT_EQ(calc_gcd_array(nullptr, 3), 1);
    const int64_t withZero[] = {4, 0};
    EXPECT_EQ(calc_lcm_array(withZero, 2), 1);
}

TEST(MathUtil, FactorialAndCombinations) {
    EXPECT_EQ(Factorial(0), 1u);
    EXPECT_EQ(Factorial(5), 120u);
    EXPECT_EQ(Factorial(20), 2432902008176640000ull);
    EXPECT_EQ(Factorial(21), 0u);
    EXPECT_EQ(Factorial(-1), 0u);
    EXPECT_EQ(calc_combine(5, 2), 10u);
    EXPECT_EQ(calc_combine(52, 5), 2598960u);
    EXPECT_EQ(calc_combine(66, 33), 7219428434016265740ull);
    EXPECT_EQ(calc_combine(68, 34), 0u);  // beyond 64 bits
    EXPECT_EQ(calc_combine(3, 4), 0u);
    EXPECT_EQ(calc_combine(4, 0), 1u);
}

TEST(MathUtil, BitsAndPowers) {
    EXPECT_EQ(GetOneBitCount(0), 0);
    EXPECT_EQ(GetOneBitCount(0xF0F0ull), 8);
    EXPECT_EQ(GetOneBitCount(UINT64_MAX), 64);
    struct Case {
        uint64_t value;
        uint32_t base;
        uint64_t up, down, nearest;
    } cases[] = {
        {0, 2, 1, 0, 1},
        {1, 2, 1, 1, 1},
        {5, 2, 8, 4, 4},
        {6, 2, 8, 4, 8},
        {1000, 10, 1000, 1000, 1000},
        {250, 10, 1000, 100, 100},
        {700, 10, 1000, 100, 1000},
        {17, 1, 32, 16, 16},
        {(1ull << 63) + 1, 2, 0, 1ull << 63, 1ull << 63},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IncreaseToPowerOf(c.value, c.base), c.up) << c.value << " base " << c.base;
        EXPECT_EQ(DecreaseToPowerOf(c.value, c.base), c.down) << c.value << " base " << c.base;
        EXPECT_EQ(GetNearestPowerOf(c.value, c.base), c.nearest) << c.value << " base " << c.base;
    }
}

TEST(MathUtil, FastInvSqrtIsClose) {
    for (float x : {0.01f, 1.0f, 2.0f, 100.0f, 12345.0f}) {
        const float exact = 1.0f / std::sqrt(x);
        EXPECT_NEAR(FastInvSqrt(x), exact, exact * 0.002f) << x;
    }
}

TEST(MathUtil, CompareValueByDecimal) {
    EXPECT_EQ(CompareValueByDecimal(1.004, 1.001, 2), 0);
    EXPECT_EQ(CompareValueByDecimal(1.006, 1.001, 2), 1);
    EXPECT_EQ(CompareValueByDecimal(2.5, 3.4, 0), 0);
    EXPECT_EQ(CompareValueByDecimal(-0.5, 0.4, 0), 1);
    EXPECT_EQ(CompareValueByDecimal(1.0, 1.0, -3), 0);
}

TEST(MathUtil, SmoothDataAveragesAWindow) {
    const double input[] = {0, 3, 6, 9, 12};
    double output[5];
    SmoothData(input, output, 5, 3);
    const double expected[] = {1.5, 3, 6, 9, 10.5};
    for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(output[i], expected[i]) << i;
    double inPlace[] = {1, 5, 1};
    SmoothData(inPlace, inPlace, 3, 1);
    EXPECT_EQ(inPlace[1], 5);
    SmoothData(inPlace, inPlace, 3, 3);
    EXPECT_DOUBLE_EQ(inPlace[0], 3);
    EXPECT_DOUBLE_EQ(inPlace[1], 7.0 / 3);
}

TEST(MathUtil, PointInPolygonCountsSidesAsInside) {
    const POINT square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    struct Case {
        POINT p;
        int expected;
    } cases[] = {{{5, 5}, 1}, {{10, 5}, 1}, {{0, 0}, 1}, {{11, 5}, 0}, {{-1, -1}, 0}, {{5, 10}, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsPointInPolygonSides(square, 4, c.p), c.expected) << c.p.x << "," << c.p.y;
    }
    const double xs[] = {0, 4, 0};
    const double ys[] = {0, 0, 4};
    EXPECT_EQ(IsPointInPolygonSides_Double(xs, ys, 3, 1, 1), 1);
    EXPECT_EQ(IsPointInPolygonSides_Double(xs, ys, 3, 2, 2), 1);  // on the slanted side
    EXPECT_EQ(IsPointInPolygonSides_Double(xs, ys, 3, 2.1, 2), 0);
    EXPECT_EQ(IsPointInPolygonSides(square, 2, POINT{0, 0}), 0);
}

TEST(MathUtil, PolyFitRecoversAPolynomial) {
    std::vector<double> xs, ys;
    for (int i = -3; i <= 4; ++i) {
        xs.push_back(i);
        ys.push_back(2 - 3 * i + 0.5 * i * i);
    }
    double coefficients[3] = {};
    ASSERT_EQ(Gauss_PolyFit(xs.data(), ys.data(), 8, 2, coefficients), 1);
    EXPECT_NEAR(coefficients[0], 2, 1e-9);
    EXPECT_NEAR(coefficients[1], -3, 1e-9);
    EXPECT_NEAR(coefficients[2], 0.5, 1e-9);

    const double lineX[] = {0, 1, 2, 3};
    const double lineY[] = {1, 3, 5, 7.4};
    double line[2];
    ASSERT_EQ(Gauss_PolyFit(lineX, lineY, 4, 1, line), 1);
    EXPECT_NEAR(line[1], 2.12, 1e-9);  // least squares, not interpolation

    const double same[] = {1, 1, 1};
    EXPECT_EQ(Gauss_PolyFit(same, ys.data(), 3, 1, line), 0);  // one x value fixes no slope
    EXPECT_EQ(Gauss_PolyFit(xs.data(), ys.data(), 2, 2, line), 0);
}

}  // namespace
