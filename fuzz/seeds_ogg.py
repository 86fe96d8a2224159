"""Writes the Ogg decoder's seed corpus from the Ogg Vorbis files the sound tests produce
(tools/make-test-ogg writes them with libvorbisenc) plus damaged variants of one of them.
Run with the corpus root as argument; the tool must have been built into build/."""
import os
import subprocess
import sys


def main(root):
    out = os.path.join(root, "fuzz_ogg")
    os.makedirs(out, exist_ok=True)
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    tool = None
    for build in ("build", "build-asan", "build-rel"):
        candidate = os.path.join(top, build, "make-test-ogg")
        if os.path.exists(candidate):
            tool = candidate
            break
    if tool is None:
        print("seeds_ogg: build make-test-ogg first (cmake --build build --target make-test-ogg)")
        return
    for name, args in {"mono.ogg": ["1", "8000", "800"], "stereo.ogg": ["2", "22050", "2205"]}.items():
        subprocess.run([tool, os.path.join(out, name)] + args, check=True)
    with open(os.path.join(out, "mono.ogg"), "rb") as f:
        good = f.read()
    damaged = {
        "cut-in-headers.ogg": good[: len(good) // 4],
        "cut-in-audio.ogg": good[: len(good) * 3 // 4],
        "flipped-audio.ogg": good[: len(good) // 2] + bytes(b ^ 0x5A for b in good[len(good) // 2:]),
    }
    for name, data in damaged.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
