"""Seeds for fuzz_jpeg: small baseline JPEGs (grey, colour 4:4:4 and 4:2:0, restart
intervals, Adobe CMYK) and progressive ones (one without its end marker) written by the
plain encoder in imagefiles.py."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imagefiles as f  # noqa: E402

out = os.path.join(sys.argv[1], 'fuzz_jpeg')
os.makedirs(out, exist_ok=True)
rgb = f.picture(20, 12, 3)
planes = f.ycbcr_planes(rgb)
grey = [[p[0] for p in row] for row in f.picture(16, 9, 1)]
cmyk = [[[255 - p[c] if c < 3 else 200 for p in row] for row in f.picture(8, 8, 3)] for c in range(4)]
seeds = {
    'grey.jpg': f.jpeg([grey], 16, 9, [(1, 1)]),
    'colour444.jpg': f.jpeg(planes, 20, 12, [(1, 1)] * 3),
    'colour420.jpg': f.jpeg(planes, 20, 12, [(2, 2), (1, 1), (1, 1)]),
    'colour422_restart.jpg': f.jpeg(planes, 20, 12, [(2, 1), (1, 1), (1, 1)], restart=1),
    'cmyk_adobe.jpg': f.jpeg(cmyk, 8, 8, [(1, 1)] * 4, adobe=0),
    'progressive420.jpg': f.jpeg(planes, 20, 12, [(2, 2), (1, 1), (1, 1)], progressive=True),
    # every scan complete, only the end marker missing: still a picture
    'progressive_grey_no_end.jpg': f.jpeg([grey], 16, 9, [(1, 1)], progressive=True)[:-2],
}
for name, data in seeds.items():
    with open(os.path.join(out, name), 'wb') as file:
        file.write(data)
