#include "support/DiskAudio.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

void DiskAudioTest::SetUp()
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");
    WriteFileBytes(input, "");
}

std::vector<int16_t> DiskAudioTest::Output() const
{
    std::string bytes = ReadFileBytes(output);
    std::vector<int16_t> values(bytes.size() / 2);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int16_t>(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
    return values;
}

std::vector<int16_t> DiskAudioTest::Left() const
{
    std::vector<int16_t> all = Output(), left;
    for (size_t i = 0; i + 1 < all.size(); i += 2)
        left.push_back(all[i]);
    return left;
}

size_t DiskAudioTest::FirstNonZero(const std::vector<int16_t>& v, size_t from)
{
    while (from < v.size() && v[from] == 0)
        ++from;
    return from;
}

size_t DiskAudioTest::StartAfterRamp(const std::vector<int16_t>& played, const std::vector<int16_t>& expected,
                                     size_t skip, size_t from)
{
    const size_t length = std::min<size_t>(64, expected.size() > skip ? expected.size() - skip : 0);
    if (length == 0)
        return std::string::npos;
    for (size_t at = from + skip; at + length <= played.size(); ++at)
        if (std::equal(expected.begin() + static_cast<std::ptrdiff_t>(skip),
                       expected.begin() + static_cast<std::ptrdiff_t>(skip + length),
                       played.begin() + static_cast<std::ptrdiff_t>(at)))
            return at - skip;
    return std::string::npos;
}

// [SECTION] Tracing live monitoring

namespace {

constexpr size_t kKeyLength = 5;

uint64_t KeyAt(const uint8_t* bytes)
{
    uint64_t key = 0;
    for (size_t i = 0; i < kKeyLength; ++i)
        key = key << 8 | bytes[i];
    return key;
}

// The recorded byte an output value plays, or -1 for silence or a value no byte plays as.
int RecordedByte(int16_t value)
{
    if (value == 0 || value % 256 != 0)
        return -1;
    return value / 256 + 128;
}

} // namespace

std::string TraceableRecording(size_t bytes)
{
    std::string recording(bytes, '\0');
    std::unordered_map<uint64_t, size_t> seen;
    uint64_t state = 0x9E3779B97F4A7C15u;
    for (size_t i = 0; i < bytes; ++i) {
        for (;;) {
            state ^= state << 13; // xorshift64
            state ^= state >> 7;
            state ^= state << 17;
            uint8_t b = static_cast<uint8_t>(state >> 24);
            if (b == 0x80)
                continue;
            recording[i] = static_cast<char>(b);
            if (i + 1 < kKeyLength)
                break;
            auto at = reinterpret_cast<const uint8_t*>(recording.data()) + i + 1 - kKeyLength;
            if (seen.emplace(KeyAt(at), i + 1 - kKeyLength).second)
                break; // a repeated stretch draws its last byte again
        }
    }
    return recording;
}

MonitorTrace TraceMonitor(const std::vector<int16_t>& left, const std::string& recording)
{
    std::unordered_map<uint64_t, size_t> where;
    auto rec = reinterpret_cast<const uint8_t*>(recording.data());
    for (size_t i = 0; i + kKeyLength <= recording.size(); ++i)
        where.emplace(KeyAt(rec + i), i);

    MonitorTrace trace;
    bool previousTraced = false;
    size_t previous = 0;   // the recorded frame the last traced output frame played
    size_t silentRun = 0;  // silent output frames since the last traced one
    for (size_t o = 0; o < left.size(); ++o) {
        if (left[o] == 0) {
            ++silentRun;
            previousTraced = false;
            continue;
        }
        // The stretch that starts here, else the one the previous frame continued.
        long found = -1;
        uint8_t key[kKeyLength];
        size_t k = 0;
        for (; k < kKeyLength && o + k < left.size(); ++k) {
            int b = RecordedByte(left[o + k]);
            if (b < 0)
                break;
            key[k] = static_cast<uint8_t>(b);
        }
        if (k == kKeyLength) {
            auto it = where.find(KeyAt(key));
            if (it != where.end())
                found = static_cast<long>(it->second);
        }
        if (found < 0 && previousTraced && previous + 1 < recording.size() &&
            RecordedByte(left[o]) == rec[previous + 1])
            found = static_cast<long>(previous + 1);
        if (found < 0) {
            ++trace.untraced;
            previousTraced = false;
            continue;
        }
        const size_t r = static_cast<size_t>(found);
        if (!trace.frames.empty()) {
            if (r <= trace.frames.back().second)
                ++trace.outOfOrder;
            else
                trace.skipped += r - trace.frames.back().second - 1;
            if (silentRun > 0)
                ++trace.gaps;
            trace.silent += silentRun;
        }
        silentRun = 0;
        trace.frames.emplace_back(o, r);
        previous = r;
        previousTraced = true;
    }
    return trace;
}

void FrameClock::Sample(double seconds, uint64_t frames)
{
    m_samples.emplace_back(seconds, static_cast<double>(frames));
}

bool FrameClock::Fit()
{
    size_t first = 0;
    while (first < m_samples.size() && m_samples[first].second == m_samples.front().second)
        ++first;
    const size_t n = m_samples.size() - first;
    if (n < 10)
        return false;
    double sx = 0, sy = 0;
    for (size_t i = first; i < m_samples.size(); ++i) {
        sx += m_samples[i].first;
        sy += m_samples[i].second;
    }
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (size_t i = first; i < m_samples.size(); ++i) {
        const double dx = m_samples[i].first - mx;
        sxx += dx * dx;
        sxy += dx * (m_samples[i].second - my);
    }
    if (sxx <= 0)
        return false;
    m_rate = sxy / sxx;
    m_offset = my - m_rate * mx;
    return m_rate > 0;
}
