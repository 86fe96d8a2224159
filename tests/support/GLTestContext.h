// An OpenGL context for tests: one hidden SDL window with a compatibility context, made on
// first use and kept for the whole test program, with an offscreen framebuffer to draw into
// and read back. GLTest is the fixture: it skips (with the reason) when no context can be
// made, and gives every test the program's start-up state on a cleared target.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class GLTestContext {
public:
    // Side of the square drawing target, in pixels.
    static constexpr int kSide = 64;

    // Makes the context current (creating it the first time); false with *why set when
    // there is none to be had (no display, no OpenGL).
    static bool Acquire(std::string* why);

    // The drawing target's pixels as RGBA bytes, bottom row first.
    static std::vector<uint8_t> ReadPixels();
    // One pixel of the drawing target (x from the left, y from the bottom).
    static void Pixel(int x, int y, uint8_t rgba[4]);
    // The RGB of GUI pixel (x, y): y counted down from the top.
    static std::vector<uint8_t> ColourAt(int x, int y);

    // Runs body(buffers) with vertex buffers off and then, when the context has them, on;
    // the capability flag is put back after each run.
    static void WithEachArrayPath(const std::function<void(bool buffers)>& body);
};

class GLTest : public ::testing::Test {
protected:
    // Skips when there is no context; otherwise InitGL, a viewport over the target, an
    // orthographic projection of one unit per pixel with y down (the GUI's), an identity
    // model-view, lighting off, white as the current colour, and the target cleared to
    // opaque black.
    void SetUp() override;
    void TearDown() override;
};
