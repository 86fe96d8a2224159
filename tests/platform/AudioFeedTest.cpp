// The monitor's jitter buffer on a simulated clock: the capture and output threads' periods,
// drift and wake-up delays are chosen, so every run is the same run and no result depends on
// how busy the machine is.
#include "platform/AudioFeed.h"

#include "support/DiskAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kOutputPeriod = 882; // 20 ms

struct SimulatedRun {
    uint32_t captureFrames;   // frames per capture period
    double capturePeriodMs;   // the capture thread's period on the output's clock
    double seconds;
    double pauseAt, pauseFor; // the monitoring buffer stops and plays again (seconds; 0: never)
};

struct SimulatedResult {
    MonitorTrace trace;
    AudioMonitorStats stats;
    double minLatencyMs = 1e9, maxLatencyMs = 0.0;
    size_t span = 0;
};

// Runs the two threads in time order, each waking up to 4 ms after its due time.
SimulatedResult Simulate(const SimulatedRun& run)
{
    const AudioFormat microphone{1, kRate, 8};
    AudioFeed feed(microphone);
    const std::string recording = TraceableRecording(static_cast<size_t>(run.seconds * kRate * 1.1) + 4096);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> wake(0.0, 0.004);
    const double outputPeriod = kOutputPeriod / double(kRate), capturePeriod = run.capturePeriodMs / 1000.0;
    std::vector<float> mix(2 * kOutputPeriod);
    std::vector<int16_t> left;
    uint64_t pushed = 0;
    double nextCapture = capturePeriod + wake(random), nextOutput = outputPeriod + wake(random);
    bool paused = false, restarted = false;
    for (uint64_t period = 0; nextOutput < run.seconds;) {
        if (nextCapture <= nextOutput) {
            feed.Push(reinterpret_cast<const uint8_t*>(recording.data()) + pushed, run.captureFrames);
            pushed += run.captureFrames;
            nextCapture = (pushed / run.captureFrames + 1) * capturePeriod + wake(random);
            continue;
        }
        const double now = nextOutput;
        paused = run.pauseFor > 0 && now >= run.pauseAt && now < run.pauseAt + run.pauseFor;
        if (!paused && run.pauseFor > 0 && now >= run.pauseAt && !restarted) {
            feed.Restart(); // Play again
            restarted = true;
        }
        std::fill(mix.begin(), mix.end(), 0.0f);
        if (!paused)
            feed.MixInto(mix.data(), kOutputPeriod, 2, kRate, 1.0f, period * kOutputPeriod);
        for (uint32_t i = 0; i < kOutputPeriod; ++i)
            left.push_back(static_cast<int16_t>(std::lrint(std::clamp(mix[2 * i], -32768.0f, 32767.0f))));
        ++period;
        nextOutput = (period + 1) * outputPeriod + wake(random);
    }
    SimulatedResult result;
    result.trace = TraceMonitor(left, recording.substr(0, pushed));
    result.stats = feed.Stats();
    if (result.trace.frames.empty())
        return result;
    result.span = result.trace.frames.back().first - result.trace.frames.front().first + 1;
    // Output frame o plays one period after its period was mixed; recorded frame r was heard
    // at its place on the capture's clock.
    for (auto [out, recorded] : result.trace.frames) {
        const double playedAt = (out / kOutputPeriod + 1) * outputPeriod + (out % kOutputPeriod) / double(kRate);
        const double heardAt = (recorded + 0.5) * capturePeriod / run.captureFrames;
        const double ms = (playedAt - heardAt) * 1000.0;
        result.minLatencyMs = std::min(result.minLatencyMs, ms);
        result.maxLatencyMs = std::max(result.maxLatencyMs, ms);
    }
    return result;
}

TEST(AudioFeed, MonitoringStaysWithinATenthOfASecondWhateverTheClocksDo)
{
    struct Row {
        const char* what;
        SimulatedRun run;
        bool drops, pads;
    };
    const Row rows[] = {
        {"the capture's own 10 ms periods", {441, 10.0, 4.0, 0, 0}, false, false},
        {"a microphone 1 % fast loses its oldest surplus", {891, 20.0, 4.0, 0, 0}, true, false},
        {"a microphone 1 % slow is padded with silence", {873, 20.0, 4.0, 0, 0}, false, true},
        {"playing again starts from what is recorded then", {441, 10.0, 2.0, 0.8, 0.4}, false, true},
    };
    for (const Row& row : rows) {
        const SimulatedResult result = Simulate(row.run);
        SCOPED_TRACE(row.what);
        EXPECT_EQ(result.trace.untraced, 0u) << "output that was never recorded";
        EXPECT_EQ(result.trace.outOfOrder, 0u) << "recording played out of order or twice";
        EXPECT_GT(result.span, static_cast<size_t>(row.run.seconds * kRate * 0.8));
        EXPECT_LT(result.maxLatencyMs, 100.0);
        EXPECT_GT(result.minLatencyMs, 0.0);
        const size_t pause = static_cast<size_t>(row.run.pauseFor * kRate);
        EXPECT_LT(result.trace.skipped, result.span / 20 + pause) << "recording lost";
        EXPECT_LT(result.trace.silent, result.span / 20 + pause) << "silence in the monitored output";
        if (row.drops) { // beyond the start's surplus: half of the 1 % the microphone runs ahead
            EXPECT_GT(result.stats.dropped, static_cast<uint64_t>(row.run.seconds * kRate * 0.005));
        }
        EXPECT_EQ(result.trace.gaps > 0, row.pads) << "gaps " << result.trace.gaps;
        if (pause > 0) {
            EXPECT_GT(result.trace.skipped, pause * 3 / 4) << "what was recorded during the pause plays after it";
        }
    }
}

} // namespace
