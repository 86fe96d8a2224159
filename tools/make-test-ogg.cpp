// make-test-ogg OUT.ogg CHANNELS RATE FRAMES: writes a 440 Hz test tone as Ogg Vorbis, for
// fuzz seeds and manual checks.
#include "support/OggWriter.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: make-test-ogg OUT.ogg CHANNELS RATE FRAMES\n");
        return 2;
    }
    int channels = std::atoi(argv[2]), rate = std::atoi(argv[3]), frames = std::atoi(argv[4]);
    if (channels < 1 || channels > 2 || rate < 8000 || rate > 192000 || frames < 0) {
        std::fprintf(stderr, "make-test-ogg: channels 1-2, rate 8000-192000, frames >= 0\n");
        return 2;
    }
    if (!WriteOggVorbis(argv[1], ToneSamples(frames, channels, rate, 440.0), channels, rate)) {
        std::fprintf(stderr, "make-test-ogg: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
