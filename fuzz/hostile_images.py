"""Writes the hostile image files kept in fuzz/crashes/fuzz_{bmp,tga,png,jpeg}/: headers that
lie about sizes, offsets and lengths, truncated data, and streams that inflate or decode to
less (or far more) than the header promises. Every one must be refused without a crash, a
read past the data or a huge allocation. Run once; the files are committed.
    python3 fuzz/hostile_images.py fuzz/crashes
"""
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imagefiles as f  # noqa: E402


def write(root, target, files):
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), 'wb') as out:
            out.write(data)


def patch(data, offset, fmt, *values):
    data = bytearray(data)
    struct.pack_into(fmt, data, offset, *values)
    return bytes(data)


def bmp_cases():
    good = f.bmp(f.picture(4, 4, 3), 24)
    return {
        'huge_width.bmp': patch(good, 18, '<i', 0x7FFFFFFF),
        'huge_both.bmp': patch(patch(good, 18, '<i', 0x10000), 22, '<i', 0x10000),
        'height_int_min.bmp': patch(good, 22, '<i', -0x80000000),
        'negative_width.bmp': patch(good, 18, '<i', -4),
        'offset_past_end.bmp': patch(good, 10, '<I', 0xFFFFFF00),
        'offset_near_end.bmp': patch(good, 10, '<I', len(good) - 2),
        'rows_cut.bmp': good[:-20],
        'header_only.bmp': good[:54],
        'info_size_huge.bmp': patch(good, 14, '<I', 0xFFFFFFFF),
        'bits_zero.bmp': patch(good, 28, '<H', 0),
        'bitfields_short.bmp': patch(good, 30, '<I', 3)[:60],
        'core_header_cut.bmp': f.bmp(f.picture(3, 3, 3), 24, info_size=12)[:24],
    }


def tga_cases():
    good = f.tga(f.picture(4, 4, 3), 2, 24)
    rle = f.tga([[(1, 2, 3)] * 8] * 8, 10, 24)
    return {
        'huge_sides.tga': patch(good, 12, '<HH', 0xFFFF, 0xFFFF),
        'rle_huge_sides.tga': patch(rle, 12, '<HH', 0xFFFF, 0xFFFF),
        'rle_cut_mid_pixel.tga': rle[:-2],
        'rle_raw_packet_past_end.tga': f.tga([[(1, 2, 3)]], 10, 24)[:18] + b'\x7f\x01\x02\x03',
        'colour_map_past_end.tga': patch(good, 1, '<BBHHB', 1, 2, 0, 0xFFFF, 24),
        'ident_past_end.tga': patch(good, 0, '<B', 255)[:60],
        'raw_cut.tga': good[:-5],
        'zero_width.tga': patch(good, 12, '<H', 0),
        'header_cut.tga': good[:17],
        'map_type_bad.tga': patch(good, 1, '<B', 7),
    }


def png_cases():
    good = f.png(f.picture(8, 8, 4), 6)
    sig = b'\x89PNG\r\n\x1a\n'

    def header(width, height, depth=8, colour=6, interlace=0):
        return f._chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour, 0, 0, interlace))

    # Far more rows than the data inflates to.
    small = zlib.compress(b'\0' * 100)
    # A stream of zeros claiming a picture just inside the side limit.
    zeros = zlib.compress(b'\0' * 200000, 9)
    return {
        'huge_sides.png': sig + header(0x7FFFFFFF, 0x7FFFFFFF) + good[33:],
        'side_limit_small_data.png': sig + header(16384, 16384) + f._chunk(b'IDAT', small) + f._chunk(b'IEND', b''),
        'zeros_bomb.png': sig + header(16384, 16384, 8, 0) + f._chunk(b'IDAT', zeros) + f._chunk(b'IEND', b''),
        'chunk_length_huge.png': patch(good, 33, '>I', 0xFFFFFFFF),
        'idat_past_end.png': good[:60],
        'short_data.png': sig + header(8, 8) + f._chunk(b'IDAT', small) + f._chunk(b'IEND', b''),
        'bad_filter.png': sig + header(2, 2, 8, 0) + f._chunk(b'IDAT', zlib.compress(b'\x09\1\2\x07\3\4')) + f._chunk(b'IEND', b''),
        'palette_missing.png': sig + header(4, 4, 8, 3) + f._chunk(b'IDAT', zlib.compress(b'\0' * 20)) + f._chunk(b'IEND', b''),
        'palette_empty.png': sig + header(4, 4, 8, 3) + f._chunk(b'PLTE', b'') + f._chunk(b'IDAT', zlib.compress(b'\0' * 20)) + f._chunk(b'IEND', b''),
        'palette_too_long.png': sig + header(1, 1, 8, 3) + f._chunk(b'PLTE', b'\1' * 900) + f._chunk(b'IDAT', zlib.compress(b'\0\xff')) + f._chunk(b'IEND', b''),
        'trns_too_long.png': sig + header(1, 1, 8, 3) + f._chunk(b'PLTE', b'\1\2\3') + f._chunk(b'tRNS', b'\0' * 400) + f._chunk(b'IDAT', zlib.compress(b'\0\xff')) + f._chunk(b'IEND', b''),
        'interlaced_thin.png': sig + header(1, 4000, 8, 0, 1) + f._chunk(b'IDAT', zlib.compress(b'\0\0' * 4000)) + f._chunk(b'IEND', b''),
        'interlaced_short.png': sig + header(9, 9, 1, 0, 1) + f._chunk(b'IDAT', zlib.compress(b'\0\0')) + f._chunk(b'IEND', b''),
        'zero_width.png': sig + header(0, 5) + good[33:],
        'ihdr_short.png': sig + f._chunk(b'IHDR', b'\0\0\0\1\0\0\0\1\x08') + good[33:],
        'bad_zlib_header.png': sig + header(2, 2) + f._chunk(b'IDAT', b'\x78\xff' + zlib.compress(b'\0' * 18)[2:]) + f._chunk(b'IEND', b''),
        'no_iend.png': good[:-12],
    }


def jpeg_cases():
    planes = f.ycbcr_planes(f.picture(16, 16, 3))
    good = f.jpeg(planes, 16, 16, [(2, 2), (1, 1), (1, 1)])
    progressive = f.jpeg(planes, 16, 16, [(2, 2), (1, 1), (1, 1)], progressive=True)
    sof = good.index(b'\xff\xc0')
    sos = good.index(b'\xff\xda')
    return {
        'huge_sides.jpg': patch(good, sof + 5, '>HH', 65500, 65500),
        'huge_sides_cut.jpg': patch(good, sof + 5, '>HH', 65500, 65500)[:sos + 20],
        'zero_height.jpg': patch(good, sof + 5, '>H', 0),
        'cut_in_scan.jpg': good[:sos + 30],
        'cut_in_header.jpg': good[:sof + 6],
        'no_end.jpg': good[:-2],
        'markers_in_data.jpg': good[:sos + 20] + b'\xff\xd0' * 30 + b'\xff\xd9',
        'bad_huffman_counts.jpg': good.replace(bytes((0xff, 0xc4)), bytes((0xff, 0xc4)), 1)[:good.index(b'\xff\xc4') + 5] + b'\xff' * 16 + good[good.index(b'\xff\xc4') + 21:],
        'progressive_marker.jpg': good[:sof] + b'\xff\xc2' + good[sof + 2:],
        'sampling_zero.jpg': patch(good, sof + 11, '>B', 0),
        'components_nine.jpg': patch(good, sof + 9, '>B', 9),
        'only_soi.jpg': b'\xff\xd8',
        # the data ends where the last scan would begin: a coarse picture, refused
        'progressive_scan_missing.jpg': progressive[:progressive.rindex(b'\xff\xda')],
        'progressive_last_scan_cut.jpg': progressive[:-12],
    }


if __name__ == '__main__':
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), 'crashes')
    write(root, 'fuzz_bmp', bmp_cases())
    write(root, 'fuzz_tga', tga_cases())
    write(root, 'fuzz_png', png_cases())
    write(root, 'fuzz_jpeg', jpeg_cases())
