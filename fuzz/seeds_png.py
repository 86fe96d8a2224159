"""Seeds for fuzz_png: small PNGs of every colour type and depth, each filter, interlaced
and not, palettes with and without transparency, colour keys, split image data."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imagefiles as f  # noqa: E402

out = os.path.join(sys.argv[1], 'fuzz_png')
os.makedirs(out, exist_ok=True)


def low(width, height, depth):
    top = (1 << depth) - 1
    return [[((x + 3 * y) % (top + 1),) for x in range(width)] for y in range(height)]


def key(pixel):
    return [byte for sample in pixel for byte in (sample >> 8, sample & 255)]


rgba = f.picture(9, 7, 4)
rgb = f.picture(9, 7, 3)
grey = f.picture(6, 5, 1)
seeds = {
    'rgba8.png': f.png(rgba, 6),
    'rgba8_interlaced.png': f.png(rgba, 6, interlace=True),
    'rgb8_paeth.png': f.png(f.picture(9, 7, 3), 2, filters=(4,)),
    'rgb8_split.png': f.png(f.picture(12, 12, 3), 2, idat_size=16),
    'grey_alpha8.png': f.png(f.picture(5, 5, 2), 4, filters=(1, 3)),
    'grey8_interlaced.png': f.png(f.picture(11, 9, 1), 0, interlace=True),
    'grey1.png': f.png(low(13, 3, 1), 0, depth=1),
    'grey2_interlaced.png': f.png(low(10, 10, 2), 0, depth=2, interlace=True),
    'grey4.png': f.png(low(7, 5, 4), 0, depth=4),
    'palette4_trns.png': f.png(low(9, 4, 4), 3, depth=4, palette=[(i * 16, 255 - i * 16, 7) for i in range(16)],
                               alpha=[0, 64, 128]),
    'palette8_interlaced.png': f.png(low(9, 9, 8), 3, depth=8, interlace=True,
                                     palette=[(i, i, 255 - i) for i in range(256)]),
    'palette1.png': f.png(low(17, 2, 1), 3, depth=1, palette=[(0, 0, 0), (255, 255, 255)]),
    'rgb16_refused.png': f.png([[(v * 257, v * 257, 0) for v, _, _ in row] for row in f.picture(4, 4, 3)], 2, depth=16),
    # tRNS colour keys (a 16-bit sample per channel) taken from a pixel of the picture
    'grey8_key.png': f.png(grey, 0, alpha=key(grey[0][0])),
    'grey2_key.png': f.png(low(9, 3, 2), 0, depth=2, alpha=key((1,))),
    'rgb8_key_interlaced.png': f.png(rgb, 2, interlace=True, alpha=key(rgb[2][3])),
    'ancillary.png': f.png(f.picture(4, 4, 3), 2, extra_chunks=[(b'gAMA', b'\0\0\xb1\x8f'), (b'tEXt', b'Key\0v')]),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), 'wb') as file:
        file.write(data)
