"""Writes the WAV reader's seed corpus: small valid files in the forms real files take, and
files with the faults readers meet (cut short, sizes that lie, foreign formats)."""
import os
import struct
import sys


def chunk(tag, body, pad=True):
    data = tag + struct.pack("<I", len(body)) + body
    if pad and len(body) % 2:
        data += b"\0"
    return data


def fmt(tag=1, channels=1, rate=44100, bits=16, extra=b""):
    align = channels * bits // 8
    return chunk(b"fmt ", struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits) + extra)


def riff(body):
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + b"WAVE" + body


def main(root):
    out = os.path.join(root, "fuzz_wav")
    os.makedirs(out, exist_ok=True)
    tone = bytes((i * 37) & 0xFF for i in range(64))
    seeds = {
        "mono16.wav": riff(fmt() + chunk(b"data", tone)),
        "stereo8.wav": riff(fmt(channels=2, rate=8000, bits=8) + chunk(b"data", tone[:33])),
        "list-between.wav": riff(fmt() + chunk(b"LIST", b"INFOISFT\x05\0\0\0test\0") + chunk(b"data", tone)),
        "data-first.wav": riff(chunk(b"data", tone) + fmt(rate=22050)),
        "extended-fmt.wav": riff(fmt(extra=b"\0\0") + chunk(b"data", tone[:7]) + chunk(b"LIST", b"INFO")),
        "float.wav": riff(fmt(tag=3, bits=32) + chunk(b"data", tone)),
        "extensible.wav": riff(fmt(tag=0xFFFE, extra=struct.pack("<H", 22) + bytes(22)) + chunk(b"data", tone)),
        "data-too-long.wav": riff(fmt() + b"data" + struct.pack("<I", 0xFFFFFFF0) + tone),
        "two-data.wav": riff(fmt() + chunk(b"data", tone[:4]) + chunk(b"data", tone[4:12])),
        "cut-header.wav": riff(fmt() + b"dat"),
        "not-riff.wav": b"RIFX" + riff(b"")[4:],
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
