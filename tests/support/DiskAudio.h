// A test fixture that routes SDL's audio through its disk driver: what the output device
// plays is written to output (stereo 16-bit at the device's rate, read back once the device
// is closed), and capture devices read input, which starts empty.
#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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
};
