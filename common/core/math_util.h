// Small arithmetic helpers: greatest common divisor and least common multiple, factorials and
// combinations, bit counts and powers, a fast inverse square root, rounding comparisons, data
// smoothing, point-in-polygon tests and least-squares polynomial fitting.
// No state; any thread. Results that do not fit their type are reported as 0, never wrapped.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

// Greatest common divisor; 1 when either value is not positive.
ORBO_COMMON_API int64_t calc_gcd(int64_t a, int64_t b);
// Of `count` values; 1 for a null array, a count <= 0 or any value that is not positive.
ORBO_COMMON_API int64_t calc_gcd_array(const int64_t* values, int count);
// Least common multiple; 1 when either value is not positive; 0 when it exceeds INT64_MAX.
ORBO_COMMON_API int64_t calc_lcm(int64_t a, int64_t b);
ORBO_COMMON_API int64_t calc_lcm_array(const int64_t* values, int count);

// n!; 1 for 0 and 1; 0 for a negative n or one whose factorial exceeds 64 bits (n > 20).
ORBO_COMMON_API uint64_t Factorial(int n);
// The number of ways to choose k of n; 0 when k < 0, k > n or the result exceeds 64 bits.
ORBO_COMMON_API uint64_t calc_combine(int n, int k);

// Number of set bits.
ORBO_COMMON_API int GetOneBitCount(uint64_t value);

// Powers of `base` (at least 2; a smaller base is taken as 2): the smallest power >= value
// (1 for 0; 0 when it exceeds 64 bits), the largest power <= value (0 for 0), and the nearer of
// the two (the larger one on a tie, the smaller one when the larger does not fit).
ORBO_COMMON_API uint64_t IncreaseToPowerOf(uint64_t value, uint32_t base);
ORBO_COMMON_API uint64_t DecreaseToPowerOf(uint64_t value, uint32_t base);
ORBO_COMMON_API uint64_t GetNearestPowerOf(uint64_t value, uint32_t base);

// Approximation of 1/sqrt(x) for x > 0 (one Newton step; relative error below 0.2 %).
ORBO_COMMON_API float FastInvSqrt(float x);

// 1 when a and b differ after rounding both to `decimals` decimals (half away from zero),
// else 0. A negative decimals counts as 0.
ORBO_COMMON_API int CompareValueByDecimal(double a, double b, int decimals);

// Centred moving average over `window` samples (an even window is widened by one); at the ends
// the average runs over the samples that exist. A window <= 1 copies. `output` may be `input`.
ORBO_COMMON_API void SmoothData(const double* input, double* output, int count, int window);

// 1 when the point lies inside the polygon of `count` corners (in order) or on one of its sides;
// 0 otherwise or for fewer than 3 corners.
ORBO_COMMON_API int IsPointInPolygonSides(const POINT* corners, int count, POINT point);
ORBO_COMMON_API int IsPointInPolygonSides_Double(const double* xs, const double* ys, int count,
                                                 double x, double y);

// Least-squares fit of a polynomial of the given degree to `count` points: writes degree + 1
// coefficients, constant term first, and returns 1. Returns 0 (coefficients untouched) when an
// argument is null, degree < 0, count <= degree, or the points do not determine the polynomial.
ORBO_COMMON_API int Gauss_PolyFit(const double* xs, const double* ys, int count, int degree,
                                  double* coefficients);
