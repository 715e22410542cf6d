#pragma once
// Busted calls that only the serial numbers reveal, injected into a generated contest: one side of
// a QSO between two logs copies the other's call with two adjacent characters swapped, or one
// character off with its time far off (a clock), the serials right both ways; now and then one of
// the two also miscopies a text field of the exchange.

#include <cstdint>

#include "tools/crosscheck/contest_generator.h"

namespace crosscheck {

/// Injects such busts into about `rate` of the QSOs between two logs that carry no fault, adding
/// them (and a miscopied field of the other side) to `contest.faults`.
void injectSerialBusts(SyntheticContest& contest, double rate, std::uint64_t seed);

}  // namespace crosscheck
