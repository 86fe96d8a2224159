// A test fixture that routes SDL's audio through its disk driver: what the output device
// plays is written to output (stereo 16-bit at the device's rate, read back once the device
// is closed), and capture devices read input, which starts empty. Each device's clock is its
// driver's sleep between periods (SDL_DISKAUDIODELAY milliseconds when set, which SetUp
// clears).
// Also the tools that trace live monitoring through the disk driver: a recording whose every
// stretch can be found again in the output, and the devices' clocks fitted from their frame
// counters, to tell when each frame was heard and when it was played.
#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class DiskAudioTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string output = dir.File("out.raw");
    std::string input = dir.File("in.raw");

    void SetUp() override;

    // The output as interleaved stereo 16-bit values.
    std::vector<int16_t> Output() const;
    // Its left channel only.
    std::vector<int16_t> Left() const;

    // The index of the first non-zero value at or after from, or v.size().
    static size_t FirstNonZero(const std::vector<int16_t>& v, size_t from = 0);
    // Where expected starts in played (at or after from), found by expected's values from skip
    // on (a sound rises over the mixer's ramp first, so its opening values are scaled down);
    // std::string::npos when they are nowhere.
    static size_t StartAfterRamp(const std::vector<int16_t>& played, const std::vector<int16_t>& expected,
                                 size_t skip, size_t from = 0);
};

// [SECTION] Tracing live monitoring

// bytes 8-bit samples, none of them silence (0x80), in which no five consecutive samples
// occur twice: any stretch the output plays can be traced back to where it was recorded.
std::string TraceableRecording(size_t bytes);

// Where the output frames that played recorded sound came from.
struct MonitorTrace {
    std::vector<std::pair<size_t, size_t>> frames; // (output frame, recorded frame), in order
    size_t untraced = 0;   // non-silent output frames found nowhere in the recording
    size_t outOfOrder = 0; // frames recorded at or before the frame played before them
    size_t gaps = 0;       // stretches of silence between monitored frames
    size_t silent = 0;     // silent output frames between the first and last monitored ones
    size_t skipped = 0;    // recorded frames in that span that never played
};

// Traces an 8-bit recording through the left channel of an output that played it at its own
// rate and full volume (recorded byte b plays as (b - 128) × 256; silence plays as 0).
MonitorTrace TraceMonitor(const std::vector<int16_t>& left, const std::string& recording);

// A device's frame counter sampled against the wall clock and fitted to a straight line.
// Counters move a period at a time; the fit runs through the middle of the steps.
class FrameClock {
public:
    void Sample(double seconds, uint64_t frames);
    // Fits the samples taken after the counter first moved; false with fewer than ten.
    bool Fit();
    double Rate() const { return m_rate; } // frames per second
    // When the fitted counter stands at frame (seconds, on the samples' clock).
    double TimeOf(double frame) const { return (frame - m_offset) / m_rate; }

private:
    std::vector<std::pair<double, double>> m_samples;
    double m_rate = 0.0;
    double m_offset = 0.0;
};
