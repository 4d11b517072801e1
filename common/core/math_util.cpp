#include "math_util.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxFactorialArgument = 20;  // 21! exceeds 64 bits
constexpr uint32_t kInvSqrtMagic = 0x5F3759DF;

uint64_t PowerBase(uint32_t base) {
    return base < 2 ? 2 : base;
}

// Sides and inside test shared by the integer and floating-point forms; the coordinates are
// widened to double (exact for 32-bit integers).
template <typename GetX, typename GetY>
int PointInPolygon(int count, GetX xAt, GetY yAt, double x, double y) {
    if (count < 3) return 0;
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const double xi = xAt(i), yi = yAt(i), xj = xAt(j), yj = yAt(j);
        const double cross = (xj - xi) * (y - yi) - (yj - yi) * (x - xi);
        const double scale = std::max({std::fabs(xj - xi), std::fabs(yj - yi), 1.0}) *
                             std::max({std::fabs(x - xi), std::fabs(y - yi), 1.0});
        if (std::fabs(cross) <= 1e-12 * scale && x >= std::min(xi, xj) && x <= std::max(xi, xj) &&
            y >= std::min(yi, yj) && y <= std::max(yi, yj)) {
            return 1;
        }
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside ? 1 : 0;
}

}  // namespace

int64_t calc_gcd(int64_t a, int64_t b) {
    if (a <= 0 || b <= 0) return 1;
    while (b != 0) {
        const int64_t rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

int64_t calc_gcd_array(const int64_t* values, int count) {
    if (values == nullptr || count <= 0) return 1;
    int64_t result = values[0];
    if (result <= 0) return 1;
    for (int i = 1; i < count; ++i) {
        if (values[i] <= 0) return 1;
        result = calc_gcd(result, values[i]);
    }
    return result;
}

int64_t calc_lcm(int64_t a, int64_t b) {
    if (a <= 0 || b <= 0) return 1;
    int64_t result = 0;
    if (__builtin_mul_overflow(a / calc_gcd(a, b), b, &result)) return 0;
    return result;
}

int64_t calc_lcm_array(const int64_t* values, int count) {
    if (values == nullptr || count <= 0) return 1;
    int64_t result = 1;
    for (int i = 0; i < count; ++i) {
        if (values[i] <= 0) return 1;
        result = calc_lcm(result, values[i]);
        if (result == 0) return 0;
    }
    return result;
}

uint64_t Factorial(int n) {
    if (n < 0 || n > kMaxFactorialArgument) return 0;
    uint64_t result = 1;
    for (int i = 2; i <= n; ++i) result *= static_cast<uint64_t>(i);
    return result;
}

uint64_t calc_combine(int n, int k) {
    if (k < 0 || n < 0 || k > n) return 0;
    if (k > n - k) k = n - k;
    // result * (n - k + i) / i stays exact: every prefix product is itself a binomial count.
    unsigned __int128 result = 1;
    for (int i = 1; i <= k; ++i) {
        result = result * static_cast<unsigned>(n - k + i) / static_cast<unsigned>(i);
        if (result > UINT64_MAX) return 0;
    }
    return static_cast<uint64_t>(result);
}

int GetOneBitCount(uint64_t value) {
    return std::popcount(value);
}

uint64_t IncreaseToPowerOf(uint64_t value, uint32_t base) {
    const uint64_t b = PowerBase(base);
    uint64_t power = 1;
    while (power < value) {
        if (power > UINT64_MAX / b) return 0;
        power *= b;
    }
    return power;
}

uint64_t DecreaseToPowerOf(uint64_t value, uint32_t base) {
    if (value == 0) return 0;
    const uint64_t b = PowerBase(base);
    uint64_t power = 1;
    while (power <= value / b) power *= b;
    return power;
}

uint64_t GetNearestPowerOf(uint64_t value, uint32_t base) {
    const uint64_t lower = DecreaseToPowerOf(value, base);
    if (lower == value) return value == 0 ? 1 : value;
    const uint64_t upper = IncreaseToPowerOf(value, base);
    if (upper == 0) return lower;
    return (upper - value <= value - lower) ? upper : lower;
}

float FastInvSqrt(float x) {
    const float half = 0.5f * x;
    uint32_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    bits = kInvSqrtMagic - (bits >> 1);
    float y = 0;
    std::memcpy(&y, &bits, sizeof y);
    return y * (1.5f - half * y * y);
}

int CompareValueByDecimal(double a, double b, int decimals) {
    const double scale = std::pow(10.0, decimals < 0 ? 0 : decimals);
    return std::round(a * scale) != std::round(b * scale) ? 1 : 0;
}

void SmoothData(const double* input, double* output, int count, int window) {
    if (input == nullptr || output == nullptr || count <= 0) return;
    const std::vector<double> source(input, input + count);
    const int half = window <= 1 ? 0 : window / 2;
    for (int i = 0; i < count; ++i) {
        const int first = std::max(0, i - half);
        const int last = std::min(count - 1, i + half);
        double sum = 0;
        for (int k = first; k <= last; ++k) sum += source[static_cast<size_t>(k)];
        output[i] = sum / (last - first + 1);
    }
}

int IsPointInPolygonSides(const POINT* corners, int count, POINT point) {
    if (corners == nullptr) return 0;
    return PointInPolygon(
        count, [&](int i) { return static_cast<double>(corners[i].x); },
        [&](int i) { return static_cast<double>(corners[i].y); }, point.x, point.y);
}

int IsPointInPolygonSides_Double(const double* xs, const double* ys, int count, double x,
                                 double y) {
    if (xs == nullptr || ys == nullptr) return 0;
    return PointInPolygon(
        count, [&](int i) { return xs[i]; }, [&](int i) { return ys[i]; }, x, y);
}

int Gauss_PolyFit(const double* xs, const double* ys, int count, int degree, double* coefficients) {
    if (xs == nullptr || ys == nullptr || coefficients == nullptr || degree < 0 ||
        count <= degree) {
        return 0;
    }
    const int n = degree + 1;
    // Normal equations: matrix of power sums with the right-hand side as its last column.
    std::vector<std::vector<double>> m(static_cast<size_t>(n), std::vector<double>(n + 1, 0.0));
    for (int p = 0; p < count; ++p) {
        std::vector<double> powers(static_cast<size_t>(2 * n), 1.0);
        for (int k = 1; k < 2 * n; ++k) powers[k] = powers[k - 1] * xs[p];
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) m[r][c] += powers[r + c];
            m[r][n] += powers[r] * ys[p];
        }
    }
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r) {
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        }
        if (std::fabs(m[pivot][col]) < 1e-12 * std::max(1.0, std::fabs(m[0][0]))) return 0;
        std::swap(m[col], m[pivot]);
        for (int r = 0; r < n; ++r) {
            if (r == col) continue;
            const double factor = m[r][col] / m[col][col];
            for (int c = col; c <= n; ++c) m[r][c] -= factor * m[col][c];
        }
    }
    for (int r = 0; r < n; ++r) coefficients[r] = m[r][n] / m[r][r];
    return 1;
}
