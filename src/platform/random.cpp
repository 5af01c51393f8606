#include "platform/random.h"

#include <atomic>
#include <chrono>
#include <random>

namespace qs {
namespace {

std::mt19937& Generator() {
    static std::mt19937 generator(std::random_device{}());
    return generator;
}

std::mt19937& Marked() {
    static std::mt19937 marked;
    return marked;
}

std::atomic<bool> g_fixed{false};
std::atomic<std::uint64_t> g_fixedSeed{0};
std::atomic<std::uint32_t> g_offset{0};

}  // namespace

void FixRandomSeed(std::uint64_t seed) {
    g_fixedSeed = seed;
    g_offset = 0;
    g_fixed = true;
    std::seed_seq start{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32)};
    Generator().seed(start);
}

void ReseedRandom() {
    std::atomic<std::uint32_t>& offset = g_offset;
    if (g_fixed) {
        const std::uint64_t seed = g_fixedSeed;
        offset += 0x9E3779B9u;
        std::seed_seq fixed{static_cast<std::uint32_t>(seed),
                            static_cast<std::uint32_t>(seed >> 32), offset.load()};
        Generator().seed(fixed);
        return;
    }
    const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    // The offset makes two seedings within the same millisecond differ.
    offset += 0x9E3779B9u;
    std::seed_seq seed{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32),
                       offset.load()};
    Generator().seed(seed);
}

std::int32_t RandomInRange(std::int32_t a, std::int32_t b) {
    if (a < 0) {
        a = 0;
    }
    if (b < 0) {
        b = 0;
    }
    const std::int32_t lo = a < b ? a : b;
    const std::int32_t hi = a < b ? b : a;
    if (lo == hi) {
        return lo;
    }
    std::uniform_int_distribution<std::int32_t> draw(lo, hi);
    return draw(Generator());
}

void MarkRandom() {
    Marked() = Generator();
}

void RewindRandom() {
    Generator() = Marked();
}

}  // namespace qs
