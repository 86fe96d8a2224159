#include "media/Random.h"

#include <utility>

namespace {

constexpr int kWords = 624;
constexpr int kShift = 397;
constexpr uint32_t kMatrix = 0x9908b0dfu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7fffffffu;

// The one state of every CMersenneTwister. position == kWords + 1 means never seeded.
struct TwisterState {
    uint32_t words[kWords];
    int position = kWords + 1;
};

TwisterState& State()
{
    static TwisterState state;
    return state;
}

void Twist(TwisterState& state)
{
    uint32_t* mt = state.words;
    for (int i = 0; i < kWords; ++i) {
        uint32_t y = (mt[i] & kUpperMask) | (mt[(i + 1) % kWords] & kLowerMask);
        mt[i] = mt[(i + kShift) % kWords] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
    }
    state.position = 0;
}

} // namespace

uint32_t CRandomGenerator::RandomRange(uint32_t low, uint32_t high)
{
    if (low > high)
        std::swap(low, high);
    uint32_t span = high - low + 1u;
    if (span == 0)
        return Next(); // the full range: low is 0
    return low + Next() % span;
}

uint32_t CRandomGenerator::Random(uint32_t high) { return RandomRange(0, high); }

float CRandomGenerator::RandomFloat()
{
    return static_cast<float>(static_cast<long double>(Next()) / 4294967296.0L);
}

void CMersenneTwister::Seed(uint32_t seed)
{
    TwisterState& state = State();
    uint32_t* mt = state.words;
    mt[0] = seed;
    for (int i = 1; i < kWords; ++i)
        mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + static_cast<uint32_t>(i);
    state.position = kWords;
}

void CMersenneTwister::SeedArray(const uint32_t* key, uint32_t count)
{
    static const uint32_t kEmptyKey[1] = {0};
    if (!key || count == 0) {
        key = kEmptyKey;
        count = 1;
    }
    Seed(19650218u);
    uint32_t* mt = State().words;
    uint32_t i = 1, j = 0;
    for (uint32_t k = count > uint32_t(kWords) ? count : uint32_t(kWords); k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + key[j] + j;
        ++i;
        ++j;
        if (i >= uint32_t(kWords)) {
            mt[0] = mt[kWords - 1];
            i = 1;
        }
        if (j >= count)
            j = 0;
    }
    for (uint32_t k = kWords - 1; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - i;
        ++i;
        if (i >= uint32_t(kWords)) {
            mt[0] = mt[kWords - 1];
            i = 1;
        }
    }
    mt[0] = 0x80000000u;
}

uint32_t CMersenneTwister::Next()
{
    TwisterState& state = State();
    if (state.position > kWords)
        Seed(5489u);
    if (state.position >= kWords)
        Twist(state);
    uint32_t y = state.words[state.position++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}
