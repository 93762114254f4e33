// Rounding, remainders and bit operations.
#include <cmath>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/runtime_error.h"

namespace rt {

using namespace command_support;

namespace {
// 10^-12 lifts values stored just below a half (2.675 is 2.67499999...).
constexpr double kRoundingLift = 1e-12;

double roundHalfAway(double y) {
    double whole = 0;
    double fraction = std::modf(y + kRoundingLift, &whole);
    return fraction >= 0.5 ? whole + 1 : whole;
}
}  // namespace

void roundTo(DataCell* result, int32_t count, DataCell* args) {
    double x = doubleArg(count, args, 0);
    int32_t decimals = intArg(count, args, 1, 0);
    if (x == 0) return result->setDouble(x);
    double magnitude = std::fabs(x), rounded;
    if (decimals > 0) {
        double scale = std::pow(10.0, decimals);
        rounded = roundHalfAway(magnitude * scale) / scale;
    } else if (decimals == 0) {
        rounded = roundHalfAway(magnitude);
    } else {
        double scale = std::pow(10.0, -decimals);
        rounded = roundHalfAway(magnitude / scale) * scale;
    }
    result->setDouble(x < 0 ? -rounded : rounded);
}

void floorInt(DataCell* result, int32_t count, DataCell* args) {
    double x = doubleArg(count, args, 0);
    double whole = 0;
    double fraction = std::modf(x, &whole);
    // A fraction this close to 1 is a whole number that arithmetic missed.
    if (std::fabs(fraction) > 0.999999999999) x = x >= 0 ? whole + 1 : whole - 1;
    result->setInt(static_cast<int32_t>(truncateToInt64(std::floor(x))));
}

void remainder(DataCell* result, int32_t count, DataCell* args) {
    double value = doubleArg(count, args, 0);
    for (int32_t i = 1; i < count || i == 1; ++i) {
        if (i > 1 && !given(count, args, i)) continue;
        double divisor = doubleArg(count, args, i);
        if (divisor == 0) reportRuntimeError("不能求余数于零", 0, 0, 0);
        value = std::fmod(value, divisor);
    }
    result->setDouble(value);
}

void bitAnd(DataCell* result, int32_t count, DataCell* args) {
    uint32_t value = static_cast<uint32_t>(intArg(count, args, 0));
    for (int32_t i = 1; i < count || i == 1; ++i) {
        if (i > 1 && !given(count, args, i)) continue;
        value &= static_cast<uint32_t>(intArg(count, args, i));
    }
    result->setInt(static_cast<int32_t>(value));
}

void shiftLeft(DataCell* result, int32_t count, DataCell* args) {
    uint32_t value = static_cast<uint32_t>(intArg(count, args, 0));
    result->setInt(static_cast<int32_t>(value << (intArg(count, args, 1) & 31)));
}

void shiftRight(DataCell* result, int32_t count, DataCell* args) {
    result->setInt(intArg(count, args, 0) >> (intArg(count, args, 1) & 31));
}

}  // namespace rt
