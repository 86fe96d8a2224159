"""Seeds for fuzz_tga: small TGAs, raw and run-length, of each origin and depth."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imagefiles as f  # noqa: E402

out = os.path.join(sys.argv[1], 'fuzz_tga')
os.makedirs(out, exist_ok=True)
rgba = f.picture(6, 4, 4)
# Long runs for the run-length forms.
flat = [[(10, 20, 30, 255) if x < 4 else (200, 100, 50, 128) for x in range(9)] for y in range(3)]
grey = [[((x // 2) * 30,) for x in range(8)] for y in range(4)]
seeds = {
    'rgb24.tga': f.tga(rgba, 2, 24, ident=b'seed'),
    'rgba32_top.tga': f.tga(rgba, 2, 32, top=True),
    'rgba32_right.tga': f.tga(rgba, 2, 32, right=True),
    'grey8.tga': f.tga(grey, 3, 8),
    'mapped8.tga': f.tga(grey, 1, 8, colour_map=[(i, i, i) for i in range(256)]),
    'rle_rgb24.tga': f.tga(flat, 10, 24),
    'rle_rgba32_top.tga': f.tga(flat, 10, 32, top=True),
    'rle_grey8.tga': f.tga(grey, 11, 8),
    'rle_mapped8.tga': f.tga(grey, 9, 8, colour_map=[(i, 0, 0) for i in range(8)]),
    'rgb16_refused.tga': f.tga(rgba, 2, 16),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), 'wb') as file:
        file.write(data)
