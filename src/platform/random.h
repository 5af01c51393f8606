#pragma once

#include <cstdint>

namespace qs {

// A uniformly drawn integer between the two bounds, both included; the bounds may come in
// either order and a negative bound counts as 0.
std::int32_t RandomInRange(std::int32_t a, std::int32_t b);
// Seeds the generator from the clock plus an offset that changes on every call, so two
// seedings within one millisecond still differ.
void ReseedRandom();
// From now on every seeding derives from the given seed and the number of seedings since
// this call instead of the clock, so a run with the same seed draws the same numbers.
void FixRandomSeed(std::uint64_t seed);
// Notes where the generator stands, for RewindRandom to put it back there: the numbers
// drawn between the two calls are drawn again.
void MarkRandom();
void RewindRandom();

}  // namespace qs
