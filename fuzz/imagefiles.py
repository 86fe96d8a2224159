"""Writers of small BMP, TGA, PNG and JPEG files for the image readers' seed corpora and
hostile cases. Python standard library only: zlib for PNG, and a plain JPEG encoder (naive
DCT, flat quantisation, simple fixed-length Huffman tables; baseline, or progressive by
spectral selection) for JPEG.

Pictures are lists of rows, top row first, each row a list of pixel tuples.
"""
import math
import struct
import zlib


def picture(width, height, channels, seed=1):
    """A deterministic picture with gradients and some noise."""
    rows = []
    state = seed
    for y in range(height):
        row = []
        for x in range(width):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            noise = (state >> 16) & 15
            values = [(x * 255 // max(1, width - 1) + noise) & 255,
                      (y * 255 // max(1, height - 1)) & 255,
                      ((x + y) * 16 + noise) & 255,
                      255 - ((x * 7) & 255)]
            row.append(tuple(values[:channels]))
        rows.append(row)
    return rows


# ---- BMP ------------------------------------------------------------------------------------

def bmp(rows, bits=24, top_down=False, palette=0, compression=0, info_size=40, masks=None):
    """A BMP; rows top first. 8-bit rows hold indices (tuples of one value)."""
    height = len(rows)
    width = len(rows[0]) if rows else 0
    stride = (width * bits + 31) // 32 * 4
    stored = rows if top_down else list(reversed(rows))
    data = bytearray()
    for row in stored:
        line = bytearray()
        for pixel in row:
            if bits == 8:
                line.append(pixel[0])
            elif bits == 24:
                line += bytes((pixel[2], pixel[1], pixel[0]))
            elif bits == 32:
                line += bytes((pixel[2], pixel[1], pixel[0], pixel[3] if len(pixel) > 3 else 0))
            elif bits == 16:
                line += struct.pack('<H', ((pixel[0] >> 3) << 10) | ((pixel[1] >> 3) << 5) | (pixel[2] >> 3))
        line += b'\0' * (stride - len(line))
        data += line
    extra = b''
    if masks is not None:
        extra = struct.pack('<4I', *masks)[:max(0, 12 if info_size == 40 else 0)]
    table = b''.join(struct.pack('<BBBB', 255 - i, i, i // 2, 0) for i in range(palette))
    if info_size == 12:
        info = struct.pack('<IhhHH', 12, width, -height if top_down else height, 1, bits)
    else:
        info = struct.pack('<IiiHHIIiiII', info_size, width, -height if top_down else height, 1, bits,
                           compression, len(data), 2835, 2835, palette, 0)
        if info_size > 40:
            m = masks if masks is not None else (0, 0, 0, 0)
            info += struct.pack('<4I', *m) + b'\0' * (info_size - 56)
    offset = 14 + len(info) + len(extra) + len(table)
    header = b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset)
    return header + info + extra + table + bytes(data)


# ---- TGA ------------------------------------------------------------------------------------

def _tga_pixel(pixel, bits):
    if bits == 8:
        return bytes((pixel[0],))
    if bits == 24:
        return bytes((pixel[2], pixel[1], pixel[0]))
    if bits == 32:
        return bytes((pixel[2], pixel[1], pixel[0], pixel[3]))
    value = ((pixel[0] >> 3) << 10) | ((pixel[1] >> 3) << 5) | (pixel[2] >> 3)
    return struct.pack('<H', value)


def tga(rows, image_type=2, bits=24, top=False, right=False, ident=b'', colour_map=None):
    """A TGA; rows top first. Types 9, 10 and 11 are run-length encoded here."""
    height = len(rows)
    width = len(rows[0]) if rows else 0
    stored = rows if top else list(reversed(rows))
    if right:
        stored = [list(reversed(row)) for row in stored]
    pixels = [_tga_pixel(p, bits) for row in stored for p in row]
    if image_type & 8:
        data = bytearray()
        i = 0
        while i < len(pixels):
            run = 1
            while i + run < len(pixels) and run < 128 and pixels[i + run] == pixels[i]:
                run += 1
            if run > 1:
                data.append(0x80 | (run - 1))
                data += pixels[i]
                i += run
            else:
                raw = 1
                while i + raw < len(pixels) and raw < 128 and (i + raw + 1 >= len(pixels) or pixels[i + raw] != pixels[i + raw + 1]):
                    raw += 1
                data.append(raw - 1)
                for p in pixels[i:i + raw]:
                    data += p
                i += raw
    else:
        data = b''.join(pixels)
    map_type, map_length, map_bits, map_bytes = 0, 0, 0, b''
    if colour_map is not None:
        map_type, map_length, map_bits = 1, len(colour_map), 24
        map_bytes = b''.join(bytes((c[2], c[1], c[0])) for c in colour_map)
    descriptor = (0x20 if top else 0) | (0x10 if right else 0) | (8 if bits == 32 else 0)
    header = struct.pack('<BBBHHBHHHHBB', len(ident), map_type, image_type, 0, map_length, map_bits,
                         0, 0, width, height, bits, descriptor)
    return header + ident + map_bytes + bytes(data)


# ---- PNG ------------------------------------------------------------------------------------

def _chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def _pack_row(row, depth, channels):
    if depth >= 8:
        out = bytearray()
        for pixel in row:
            for value in pixel[:channels]:
                out += value.to_bytes(depth // 8, 'big')
        return bytes(out)
    out, accumulator, filled = bytearray(), 0, 0
    for pixel in row:
        accumulator = (accumulator << depth) | pixel[0]
        filled += depth
        if filled == 8:
            out.append(accumulator)
            accumulator, filled = 0, 0
    if filled:
        out.append(accumulator << (8 - filled))
    return bytes(out)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def _filter(kind, line, prev, bpp):
    out = bytearray(len(line))
    for i, value in enumerate(line):
        a = line[i - bpp] if i >= bpp else 0
        b = prev[i] if prev else 0
        c = prev[i - bpp] if prev and i >= bpp else 0
        predicted = (0, a, b, (a + b) // 2, _paeth(a, b, c))[kind]
        out[i] = (value - predicted) & 255
    return bytes(out)


ADAM7 = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2))


def png(rows, colour_type=6, depth=8, interlace=False, filters=(0, 1, 2, 3, 4), palette=None, alpha=None,
        idat_size=0, extra_chunks=()):
    """A PNG; rows top first, samples already at the file's depth (palette: indices)."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    height = len(rows)
    width = len(rows[0]) if rows else 0
    bpp = max(1, depth * channels // 8)
    passes = ADAM7 if interlace else ((0, 0, 1, 1),)
    raw = bytearray()
    counter = 0
    for xs, ys, dx, dy in passes:
        sub = [row[xs::dx] for row in rows[ys::dy]]
        if not sub or not sub[0]:
            continue
        prev = None
        for row in sub:
            line = _pack_row(row, depth, channels)
            kind = filters[counter % len(filters)]
            counter += 1
            raw.append(kind)
            raw += _filter(kind, line, prev, bpp)
            prev = line
    packed = zlib.compress(bytes(raw), 9)
    out = b'\x89PNG\r\n\x1a\n'
    out += _chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 1 if interlace else 0))
    for kind, data in extra_chunks:
        out += _chunk(kind, data)
    if palette:
        out += _chunk(b'PLTE', b''.join(bytes(c) for c in palette))
    if alpha:
        out += _chunk(b'tRNS', bytes(alpha))
    step = idat_size or len(packed)
    for at in range(0, len(packed), step):
        out += _chunk(b'IDAT', packed[at:at + step])
    return out + _chunk(b'IEND', b'')


# ---- JPEG -----------------------------------------------------------------------------------

ZIGZAG = sorted(((x, y) for x in range(8) for y in range(8)),
                key=lambda p: (p[0] + p[1], p[1] if (p[0] + p[1]) % 2 else p[0]))

# One code length for every symbol keeps the tables valid and trivially canonical.
DC_SYMBOLS = list(range(12))
AC_SYMBOLS = [0x00, 0xF0] + [(run << 4) | size for run in range(16) for size in range(1, 11)]


def _codes(symbols, length):
    return {symbol: (code, length) for code, symbol in enumerate(symbols)}


DC_CODES = _codes(DC_SYMBOLS, 4)
AC_CODES = _codes(AC_SYMBOLS, 8)


class _Bits:
    def __init__(self):
        self.out = bytearray()
        self.accumulator = 0
        self.count = 0

    def put(self, value, length):
        for shift in range(length - 1, -1, -1):
            self.accumulator = (self.accumulator << 1) | ((value >> shift) & 1)
            self.count += 1
            if self.count == 8:
                self.out.append(self.accumulator)
                if self.accumulator == 0xFF:
                    self.out.append(0)
                self.accumulator, self.count = 0, 0

    def flush(self):
        while self.count:
            self.put(1, 1)


def _magnitude(value):
    size = abs(value).bit_length()
    return size, (value if value >= 0 else value + (1 << size) - 1)


_COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]


def _dct(block):
    out = [[0.0] * 8 for _ in range(8)]
    for v in range(8):
        for u in range(8):
            total = 0.0
            for y in range(8):
                row = block[y]
                cy = _COS[v][y]
                for x in range(8):
                    total += row[x] * _COS[u][x] * cy
            cu = math.sqrt(0.5) if u == 0 else 1.0
            cv = math.sqrt(0.5) if v == 0 else 1.0
            out[v][u] = 0.25 * cu * cv * total
    return out


def jpeg(planes, width, height, sampling, quant=4, restart=0, adobe=None, progressive=False):
    """A baseline JPEG from component planes (lists of rows of 0..255 samples at full size).
    sampling: per component (h, v); adobe: None, or the APP14 transform (0 for CMYK).
    progressive: spectral selection instead, without restarts: one scan of every
    component's DC coefficients, then one scan of AC coefficients 1 to 63 per component."""
    assert not (progressive and restart)
    hmax = max(h for h, _ in sampling)
    vmax = max(v for _, v in sampling)
    mcu_w, mcu_h = 8 * hmax, 8 * vmax
    mcus_x = (width + mcu_w - 1) // mcu_w
    mcus_y = (height + mcu_h - 1) // mcu_h

    def sample(plane, h, v, x, y):
        # Component pixel (x, y) at its own resolution: the mean of the full-size pixels.
        fx, fy = hmax // h, vmax // v
        total = 0
        for j in range(fy):
            for i in range(fx):
                total += plane[min(height - 1, y * fy + j)][min(width - 1, x * fx + i)]
        return total / (fx * fy)

    blocks = {}

    def coefficients(c, bx, by):
        # The quantised coefficients, in zigzag order, of block (bx, by) of component c.
        if (c, bx, by) not in blocks:
            plane, (h, v) = planes[c], sampling[c]
            block = [[sample(plane, h, v, bx * 8 + x, by * 8 + y) - 128 for x in range(8)] for y in range(8)]
            transformed = _dct(block)
            zz = [int(round(transformed[y][x] / quant)) for x, y in ZIGZAG]
            blocks[(c, bx, by)] = [max(-1023, min(1023, value)) for value in zz]
        return blocks[(c, bx, by)]

    def put_dc(bits, difference):
        size, value = _magnitude(difference)
        bits.put(*DC_CODES[size])
        bits.put(value, size)

    def put_ac(bits, zz):
        run = 0
        last = max([i for i in range(1, 64) if zz[i]] or [0])
        for i in range(1, last + 1):
            if zz[i] == 0:
                run += 1
                continue
            while run > 15:
                bits.put(*AC_CODES[0xF0])
                run -= 16
            size, value = _magnitude(zz[i])
            bits.put(*AC_CODES[(run << 4) | size])
            bits.put(value, size)
            run = 0
        if last < 63:
            bits.put(*AC_CODES[0x00])  # end of block (a run of one block in progressive scans)

    bits = _Bits()
    predictors = [0] * len(planes)
    mcu_index = 0
    restart_number = 0
    for my in range(mcus_y):
        for mx in range(mcus_x):
            if restart and mcu_index and mcu_index % restart == 0:
                bits.flush()
                bits.out += bytes((0xFF, 0xD0 + restart_number))
                restart_number = (restart_number + 1) % 8
                predictors = [0] * len(planes)
            mcu_index += 1
            for c, (h, v) in enumerate(sampling):
                for by in range(v):
                    for bx in range(h):
                        zz = coefficients(c, mx * h + bx, my * v + by)
                        put_dc(bits, zz[0] - predictors[c])
                        predictors[c] = zz[0]
                        if not progressive:
                            put_ac(bits, zz)
    bits.flush()
    # Scans of one component cover only its own blocks, row by row, without MCU padding.
    ac_scans = []
    for c, (h, v) in enumerate(sampling if progressive else ()):
        ac = _Bits()
        for by in range(((height * v + vmax - 1) // vmax + 7) // 8):
            for bx in range(((width * h + hmax - 1) // hmax + 7) // 8):
                put_ac(ac, coefficients(c, bx, by))
        ac.flush()
        ac_scans.append(bytes(ac.out))

    def segment(marker, data):
        return bytes((0xFF, marker)) + struct.pack('>H', len(data) + 2) + data

    out = b'\xff\xd8'
    if adobe is None:
        out += segment(0xE0, b'JFIF\0' + struct.pack('>BBBHHBB', 1, 1, 0, 1, 1, 0, 0))
    else:
        out += segment(0xEE, b'Adobe' + struct.pack('>HHHB', 100, 0, 0, adobe))
    out += segment(0xDB, bytes((0,)) + bytes((quant,)) * 64)
    components = b''.join(bytes((i + 1, (h << 4) | v, 0)) for i, (h, v) in enumerate(sampling))
    out += segment(0xC2 if progressive else 0xC0, struct.pack('>BHHB', 8, height, width, len(planes)) + components)

    def table(kind_id, symbols, length):
        counts = [0] * 16
        counts[length - 1] = len(symbols)
        return bytes((kind_id,)) + bytes(counts) + bytes(symbols)

    out += segment(0xC4, table(0x00, DC_SYMBOLS, 4) + table(0x10, AC_SYMBOLS, 8))
    if restart:
        out += segment(0xDD, struct.pack('>H', restart))
    scan = bytes((len(planes),)) + b''.join(bytes((i + 1, 0x00)) for i in range(len(planes)))
    out += segment(0xDA, scan + bytes((0, 0 if progressive else 63, 0))) + bytes(bits.out)
    for c, data in enumerate(ac_scans):
        out += segment(0xDA, bytes((1, c + 1, 0x00, 1, 63, 0))) + data
    return out + b'\xff\xd9'


def ycbcr_planes(rows):
    """Y, Cb and Cr planes (JFIF equations) of an RGB picture."""
    y_plane, cb_plane, cr_plane = [], [], []
    for row in rows:
        ys, cbs, crs = [], [], []
        for r, g, b in (p[:3] for p in row):
            ys.append(max(0, min(255, 0.299 * r + 0.587 * g + 0.114 * b)))
            cbs.append(max(0, min(255, 128 - 0.168736 * r - 0.331264 * g + 0.5 * b)))
            crs.append(max(0, min(255, 128 + 0.5 * r - 0.418688 * g - 0.081312 * b)))
        y_plane.append(ys)
        cb_plane.append(cbs)
        cr_plane.append(crs)
    return [y_plane, cb_plane, cr_plane]
