"""Seeds for fuzz_bmp: small BMPs of every variant the reader knows or refuses."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imagefiles as f  # noqa: E402

out = os.path.join(sys.argv[1], 'fuzz_bmp')
os.makedirs(out, exist_ok=True)
rgba = f.picture(5, 3, 4)
index = [[((x * 40 + y) % 256,) for x in range(7)] for y in range(3)]
seeds = {
    'rgb24_padded.bmp': f.bmp(rgba, 24),
    'rgb24_topdown.bmp': f.bmp(rgba, 24, top_down=True),
    'rgba32.bmp': f.bmp(rgba, 32),
    'rgba32_bitfields.bmp': f.bmp(rgba, 32, compression=3, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
    'rgbx32_v4_header.bmp': f.bmp(rgba, 32, info_size=108, compression=3, masks=(0xFF0000, 0xFF00, 0xFF, 0)),
    'rgba32_v5_header.bmp': f.bmp(rgba, 32, info_size=124, compression=3, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
    'index8_palette.bmp': f.bmp(index, 8, palette=256),
    'index8_topdown.bmp': f.bmp(index, 8, top_down=True, palette=16),
    'core_header24.bmp': f.bmp(rgba, 24, info_size=12),
    'rgb16_refused.bmp': f.bmp(rgba, 16),
    'rle8_refused.bmp': f.bmp(index, 8, palette=4, compression=1),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), 'wb') as file:
        file.write(data)
