#!/usr/bin/python3
"""Writes the reader collection: small files of the kinds image libraries' test suites hold,
most of them byte by byte so each shows one layout, a few through Pillow and ImageMagick.

Run from this folder: ./make_collection.py. It writes the files and nothing else; compare.py
decodes them with the reference decoders and with kalmira-cli, and writes manifest.txt.
"""
import io
import os
import struct
import zlib

# A 5 x 3 test picture: every pixel different, with clear and half-clear pixels where the
# layout holds alpha. Rows top-down, (r, g, b, a).
W, H = 5, 3


def rgba_picture():
    px = []
    for y in range(H):
        row = []
        for x in range(W):
            a = 0 if (x, y) == (0, 0) else 128 if (x, y) == (1, 0) else 255
            row.append(((x * 60) & 255, (y * 100) & 255, (x * y * 40 + 20) & 255, a))
        px.append(row)
    return px


def grey_levels(bits):
    top = (1 << bits) - 1
    return [[(x + y * W) * top // (W * H - 1) for x in range(W)] for y in range(H)]


# ---- PNG ---------------------------------------------------------------------------------
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def pack_row(values, bits):
    if bits >= 8:
        out = bytearray()
        for v in values:
            out += v.to_bytes(bits // 8, "big")
        return bytes(out)
    out, acc, n = bytearray(), 0, 0
    for v in values:
        acc = (acc << bits) | v
        n += bits
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def png(colour_type, depth, rows, plte=None, trns=None):
    ihdr = struct.pack(">IIBBBBB", len(rows[0]) // {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type], len(rows),
                       depth, colour_type, 0, 0, 0)
    raw = b"".join(b"\0" + pack_row(r, depth) for r in rows)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
    if plte is not None:
        out += chunk(b"PLTE", bytes(c for rgb in plte for c in rgb))
    if trns is not None:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def png_files(files):
    for bits in (1, 2, 4, 8, 16):
        levels = grey_levels(bits)
        files[f"png_grey{bits}.png"] = png(0, bits, levels)
        key = levels[1][2]
        files[f"png_grey{bits}_trns.png"] = png(0, bits, levels, trns=struct.pack(">H", key))
    pic = rgba_picture()
    files["png_ga8.png"] = png(4, 8, [[v for p in r for v in (p[0], p[3])] for r in pic])
    files["png_ga16.png"] = png(4, 16, [[v * 257 for p in r for v in (p[0], p[3])] for r in pic])
    files["png_rgb8.png"] = png(2, 8, [[v for p in r for v in p[:3]] for r in pic])
    files["png_rgb16.png"] = png(2, 16, [[v * 257 + 3 for p in r for v in p[:3]] for r in pic])
    files["png_rgb8_trns.png"] = png(2, 8, [[v for p in r for v in p[:3]] for r in pic],
                                     trns=struct.pack(">HHH", *pic[2][3][:3]))
    files["png_rgb16_trns.png"] = png(2, 16, [[v * 257 for p in r for v in p[:3]] for r in pic],
                                      trns=struct.pack(">HHH", *(v * 257 for v in pic[2][3][:3])))
    files["png_rgba8.png"] = png(6, 8, [[v for p in r for v in p] for r in pic])
    files["png_rgba16.png"] = png(6, 16, [[v * 257 for p in r for v in p] for r in pic])
    for bits in (1, 2, 4, 8):
        n = 1 << bits
        plte = [((i * 70) & 255, (i * 30) & 255, 255 - i) for i in range(n)]
        idx = [[(x + y * W) % n for x in range(W)] for y in range(H)]
        files[f"png_pal{bits}.png"] = png(3, bits, idx, plte=plte)
        files[f"png_pal{bits}_trns.png"] = png(3, bits, idx, plte=plte, trns=bytes([0, 128][: min(2, n)]))
    # A palette shorter than the indices need: entries past its end decode as black (libpng).
    files["png_pal4_short.png"] = png(3, 4, [[x + y * W for x in range(W)] for y in range(H)],
                                      plte=[(255, 0, 0)] * 15)


# ---- BMP and DIB -------------------------------------------------------------------------
def bmp_file(dib, pixel_offset_in_dib):
    return b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + pixel_offset_in_dib) + dib


def info_header(size, width, height, bits, compression, image_size=0, colours=0, masks=None):
    h = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, image_size, 2835, 2835, colours, 0)
    if size > 40:
        m = list(masks or [0, 0, 0, 0]) + [0] * (4 - len(masks or []))
        h += struct.pack("<IIII", *m[:4])
    if size > 56:
        h += struct.pack("<I", 0x73524742) + b"\0" * 36  # 'sRGB' and an empty endpoint block
    if size > 108:
        h += struct.pack("<IIII", 4, 0, 0, 0)
    return h[:size] if size <= len(h) else h + b"\0" * (size - len(h))


def pack_masked(values, masks, bits):
    """values (r, g, b, a) 0..255 into the fields of `masks`, `bits` per pixel, rows to 4 bytes."""
    def field(v, mask):
        if not mask:
            return 0
        shift = (mask & -mask).bit_length() - 1
        width = bin(mask).count("1")
        return (v * ((1 << width) - 1) + 127) // 255 << shift
    out = bytearray()
    for row in values:
        line = bytearray()
        for p in row:
            v = field(p[0], masks[0]) | field(p[1], masks[1]) | field(p[2], masks[2]) | field(p[3], masks[3] if len(masks) > 3 else 0)
            line += v.to_bytes(bits // 8, "little")
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def bmp_files(files):
    pic = rgba_picture()
    bottom_up = pic[::-1]
    # 16-bit bit fields 5-6-5 and odd widths; 4-4-4-4 with alpha; 32-bit with an alpha mask.
    cases = {
        "bmp_bf565.bmp": (16, [0xF800, 0x07E0, 0x001F]),
        "bmp_bf231.bmp": (16, [0x0030, 0x000E, 0x0001]),
        "bmp_bf4444.bmp": (16, [0x0F00, 0x00F0, 0x000F, 0xF000]),
        "bmp_bf32_alpha.bmp": (32, [0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000]),
        "bmp_bf32_abgr.bmp": (32, [0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000]),
        "bmp_bf32_101010.bmp": (32, [0x3FF00000, 0x000FFC00, 0x000003FF]),
    }
    def expand(v, mask):
        # What a field of the mask's width holds of v, scaled back to 0..255 (browsers).
        top = (1 << bin(mask).count("1")) - 1
        return ((v * top + 127) // 255 * 255 + top // 2) // top
    for name, (bits, masks) in cases.items():
        if name in ("bmp_bf231.bmp", "bmp_bf4444.bmp", "bmp_bf32_101010.bmp"):
            # ImageMagick shifts odd widths instead of scaling them, Pillow refuses them.
            files["expected/" + name + ".rgba"] = bytes(
                c for row in pic for p in row
                for c in (lambda a: (0, 0, 0, 0) if a == 0 else (expand(p[0], masks[0]), expand(p[1], masks[1]),
                                                                  expand(p[2], masks[2]), a))(
                    expand(p[3], masks[3]) if len(masks) > 3 else 255))
        data = pack_masked(bottom_up, masks, bits)
        size = 108 if len(masks) > 3 else 40
        if size == 40:
            dib = info_header(40, W, H, bits, 3, len(data)) + struct.pack("<III", *masks[:3]) + data
            files[name] = bmp_file(dib, 40 + 12)
        else:
            dib = info_header(108, W, H, bits, 3, len(data), masks=masks) + data
            files[name] = bmp_file(dib, 108)
        if name == "bmp_bf32_alpha.bmp":
            # The same pixels as a V5 header, and as the clipboard carries them: no file header.
            v5 = info_header(124, W, H, bits, 3, len(data), masks=masks) + data
            files["bmp_v5_alpha.bmp"] = bmp_file(v5, 124)
            files["dib_headerless.dib"] = dib
            plain = pack_masked(bottom_up, [0xFF0000, 0xFF00, 0xFF], 24)
            files["dib_headerless24.dib"] = info_header(40, W, H, 24, 0, len(plain)) + plain
    # 32 bits with BI_RGB: the fourth byte is no alpha unless some pixel sets it (browsers).
    plain32 = pack_masked(bottom_up, [0xFF0000, 0xFF00, 0xFF, 0xFF000000], 32)
    files["bmp_rgb32_alpha.bmp"] = bmp_file(info_header(40, W, H, 32, 0, len(plain32)) + plain32, 40)
    # OS/2 1.x: 12-byte header, RGB triples, a palette of 5 entries for 8-bit pixels.
    idx = [[(x + y * W) % 5 for x in range(W)] for y in range(H)][::-1]
    rows = b"".join(bytes(r) + b"\0" * ((4 - W % 4) % 4) for r in idx)
    pal = b"".join(bytes(((i * 50) & 255, 255 - i * 40, i * 20)) for i in range(5))
    dib = struct.pack("<IHHHH", 12, W, H, 1, 8) + pal + rows
    files["bmp_os2_shortpal.bmp"] = bmp_file(dib, 12 + len(pal))
    # Top-down 24-bit (negative height) and 4-bit RLE with a delta.
    plain24 = pack_masked(pic, [0xFF0000, 0xFF00, 0xFF], 24)
    files["bmp_topdown24.bmp"] = bmp_file(info_header(40, W, -H, 24, 0, len(plain24)) + plain24, 40)
    pal16 = b"".join(bytes((i * 16, 255 - i * 16, (i * 40) & 255, 0)) for i in range(16))
    rle4 = bytes([5, 0x12, 0, 0, 3, 0x34, 0, 2, 1, 1, 2, 0x56, 0, 1])
    files["bmp_rle4_delta.bmp"] = bmp_file(info_header(40, W, H, 4, 2, len(rle4), 16) + pal16 + rle4, 40 + 64)
    # Bad: a bit-field mask that overlaps another, and a file cut inside its pixels.
    bad = pack_masked(bottom_up, [0xF800, 0x07E0, 0x001F], 16)
    files["bad_bmp_truncated.bmp"] = bmp_file(info_header(40, W, H, 24, 0, len(plain24)) + plain24[:20], 40)


# ---- TGA ---------------------------------------------------------------------------------
def tga_header(image_type, bits, descriptor, map_spec=(0, 0, 0)):
    return struct.pack("<BBBHHBHHHHBB", 0, 1 if map_spec[1] else 0, image_type, map_spec[0], map_spec[1],
                       map_spec[2], 0, 0, W, H, bits, descriptor)


def tga_rle(pixels, bpp):
    """Run-length packets: runs of equal pixels, raw packets between them."""
    out, i = bytearray(), 0
    while i < len(pixels):
        j = i
        while j + 1 < len(pixels) and pixels[j + 1] == pixels[i] and j - i < 127:
            j += 1
        if j > i:
            out.append(0x80 | (j - i))
            out += pixels[i]
            i = j + 1
        else:
            k = i
            while k + 1 < len(pixels) and pixels[k + 1] != pixels[k] and k - i < 127:
                k += 1
            out.append(k - i)
            for p in pixels[i:k + 1]:
                out += p
            i = k + 1
    return bytes(out)


def tga_files(files):
    pic = rgba_picture()
    # Bottom-up rows (descriptor bit 5 clear); BGRA.
    bgra = [bytes((p[2], p[1], p[0], p[3])) for row in pic[::-1] for p in row]
    # Repeat pixels so the RLE has runs: the last row all one colour.
    files["tga_rgba32.tga"] = tga_header(2, 32, 8) + b"".join(bgra)
    files["tga_rgba32_rle.tga"] = tga_header(10, 32, 8) + tga_rle(bgra, 4)
    files["tga_rgba32_rle_topdown.tga"] = tga_header(10, 32, 8 | 0x20) + tga_rle(
        [bytes((p[2], p[1], p[0], p[3])) for row in pic for p in row], 4)
    ga = [bytes((p[0], p[3])) for row in pic[::-1] for p in row]
    files["tga_grey_alpha.tga"] = tga_header(3, 16, 8) + b"".join(ga)
    files["tga_grey_alpha_rle.tga"] = tga_header(11, 16, 8) + tga_rle(ga, 2)
    files["tga_grey8.tga"] = tga_header(3, 8, 0) + bytes(p[0] for row in pic[::-1] for p in row)
    # 16 bits 1-5-5-5 with the attribute bit as alpha.
    def p1555(p):
        v = (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3) | (0x8000 if p[3] >= 128 else 0)
        return struct.pack("<H", v)
    files["tga_argb1555.tga"] = tga_header(2, 16, 1) + b"".join(p1555(p) for row in pic[::-1] for p in row)
    files["bad_tga_rle_truncated.tga"] = files["tga_rgba32_rle.tga"][:30]


# ---- ICO and CUR -------------------------------------------------------------------------
def and_mask(pic):
    stride = ((W + 31) // 32) * 4
    out = bytearray()
    for row in pic[::-1]:
        bits = 0
        line = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def ico(entries, kind=1):
    head = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    dirs, blobs = b"", b""
    for (w, h, colours, hot, bits, blob) in entries:
        a, b = hot if kind == 2 else (1, bits)
        dirs += struct.pack("<BBBBHHII", w & 255, h & 255, colours, 0, a, b, len(blob), offset + len(blobs))
        blobs += blob
    return head + dirs + blobs


def ico_files(files):
    pic = rgba_picture()
    # 32-bit pixels with an alpha channel (the AND mask is ignored by browsers when alpha is used).
    px32 = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in pic[::-1] for p in row)
    dib32 = info_header(40, W, 2 * H, 32, 0) + px32 + and_mask(pic)
    files["ico_32_alpha.ico"] = ico([(W, H, 0, None, 32, dib32)])
    # 32-bit pixels whose alpha bytes are all zero: the AND mask decides (old writers).
    px32z = b"".join(bytes((p[2], p[1], p[0], 0)) for row in pic[::-1] for p in row)
    # ImageMagick takes the zero alpha bytes for alpha; browsers fall back to the mask.
    files["expected/ico_32_andmask.ico.rgba"] = bytes(
        c for row in pic for p in row for c in ((0, 0, 0, 0) if p[3] < 128 else p[:3] + (255,)))
    files["ico_32_andmask.ico"] = ico([(W, H, 0, None, 32, info_header(40, W, 2 * H, 32, 0) + px32z + and_mask(pic))])
    # 24-bit with an AND mask, 8-bit palette with a mask, and a PNG inside.
    px24 = b"".join(b"".join(bytes((p[2], p[1], p[0])) for p in row) + b"\0" * ((4 - W * 3 % 4) % 4) for row in pic[::-1])
    files["ico_24_andmask.ico"] = ico([(W, H, 0, None, 24, info_header(40, W, 2 * H, 24, 0) + px24 + and_mask(pic))])
    rgba = [[v for p in r for v in p] for r in pic]
    files["ico_png.ico"] = ico([(W, H, 0, None, 32, png(6, 8, rgba))])
    # Cursors: the usual 32-bit, one whose directory gives zero planes and bits, one holding a PNG,
    # and one with two sizes.
    files["cur_32.cur"] = ico([(W, H, 0, (2, 1), 32, dib32)], kind=2)
    files["cur_png.cur"] = ico([(W, H, 0, (2, 1), 32, png(6, 8, rgba))], kind=2)
    px8 = b"".join(bytes((x + y * W) % 4 for x in range(W)) + b"\0" * ((4 - W % 4) % 4) for y in range(H))
    pal8 = b"".join(bytes((i * 60, 255 - i * 60, 100, 0)) for i in range(4)) + b"\0" * 4 * 252
    dib8 = info_header(40, W, 2 * H, 8, 0) + pal8 + px8 + and_mask(pic)
    files["cur_8bit.cur"] = ico([(W, H, 0, (0, 0), 8, dib8)], kind=2)
    files["cur_two_sizes.cur"] = ico([(W, H, 0, (2, 1), 32, dib32), (W, H, 4, (1, 1), 8, dib8)], kind=2)


# ---- GIF ---------------------------------------------------------------------------------
def lzw_uncompressed(indices, min_code):
    """A valid LZW stream that clears often enough never to grow the code size."""
    clear, end = 1 << min_code, (1 << min_code) + 1
    size = min_code + 1
    codes = []
    run = 0
    codes.append(clear)
    for v in indices:
        codes.append(v)
        run += 1
        if run == (1 << size) - (1 << min_code) - 3:
            codes.append(clear)
            run = 0
    codes.append(end)
    out, acc, n = bytearray(), 0, 0
    for c in codes:
        acc |= c << n
        n += size
        while n >= 8:
            out.append(acc & 255)
            acc >>= 8
            n -= 8
    if n:
        out.append(acc)
    blocks = b""
    for i in range(0, len(out), 255):
        part = out[i:i + 255]
        blocks += bytes([len(part)]) + part
    return bytes([min_code]) + blocks + b"\0"


def gif(frames, transparent=None, stray=False):
    pal = b"".join(bytes(((i * 60) & 255, (i * 90) & 255, (255 - i * 30) & 255)) for i in range(4))
    out = b"GIF89a" + struct.pack("<HHBBB", W, H, 0x81, 0, 0) + pal
    out += b"!\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00" if len(frames) > 1 else b""
    for i, f in enumerate(frames):
        flags = 1 if transparent is not None else 0
        out += b"!\xf9\x04" + bytes([flags | (1 << 2)]) + struct.pack("<H", 10) + bytes([transparent or 0]) + b"\0"
        if stray and i == 1:
            out += b"\0\0"  # stray bytes between records, which browsers skip
        out += b"," + struct.pack("<HHHHB", 0, 0, W, H, 0) + lzw_uncompressed(f, 2)
    return out + b";"


def gif_files(files):
    f1 = [(x + y) % 4 for y in range(H) for x in range(W)]
    f2 = [(x * y) % 4 for y in range(H) for x in range(W)]
    files["gif_two_frames.gif"] = gif([f1, f2])
    files["gif_transparent.gif"] = gif([f1], transparent=2)
    whole = gif([f1, f2])
    # Cut inside the second frame's data: the first frame is whole.
    files["gif_cut_second_frame.gif"] = whole[: len(whole) - 6]
    # Cut inside the only frame: browsers show the rows that arrived.
    one = gif([f1])
    files["gif_cut_first_frame.gif"] = one[: len(one) - 5]
    # What arrived, worked out from the codes: 3-bit codes after the 2-bit minimum, a clear
    # code after every index, so the data bytes left hold (bits // 3 + 1) // 2 indices; the
    # rest of the frame shows the background, entry 0 (as a browser shows it over its page).
    data_bytes = len(lzw_uncompressed(f1, 2)) - 3 - 3  # less size byte, block length, end
    shown = (data_bytes * 8 // 3 - 1 + 1) // 2
    pal = [((i * 60) & 255, (i * 90) & 255, (255 - i * 30) & 255) for i in range(4)]
    expected = [pal[v] + (255,) for v in f1[:shown]] + [pal[0] + (255,)] * (W * H - shown)
    files["expected/gif_cut_first_frame.gif.rgba"] = bytes(c for p in expected for c in p)
    files["gif_stray_record.gif"] = gif([f1, f2], stray=True)
    files["gif_no_trailer.gif"] = one[:-1]
    files["bad_gif_header_only.gif"] = one[:13]


# ---- JPEG, TIFF, WebP, AVIF through the tools ----------------------------------------------
def lab_to_srgb(path):
    """The stored CIE L*a*b* bytes of an uncompressed 8-bit TIFF to sRGB in double precision:
    XYZ relative to the file's white point, Bradford adaptation to D65, the sRGB matrix and curve.
    No decoder shows these files alike (ImageMagick, Pillow and libtiff's own rendering differ
    by up to 20 levels), so the expectation is worked out from the definitions."""
    from PIL import Image
    with Image.open(path) as im:
        w, h = im.size
        wx, wy = (float(v) for v in im.tag_v2.get(318, (0.3457, 0.3585)))
        offsets, counts = im.tag_v2[273], im.tag_v2[279]
    data = open(path, "rb").read()
    raw = b"".join(data[o:o + c] for o, c in zip(offsets, counts))
    white = (wx / wy, 1.0, (1 - wx - wy) / wy)
    m = ((0.8951, 0.2664, -0.1614), (-0.7502, 1.7135, 0.0367), (0.0389, -0.0685, 1.0296))
    mi = ((0.9869929, -0.1470543, 0.1599627), (0.4323053, 0.5183603, 0.0492912), (-0.0085287, 0.0400428, 0.9684867))
    d65 = (0.95047, 1.0, 1.08883)
    src = [sum(m[i][k] * white[k] for k in range(3)) for i in range(3)]
    dst = [sum(m[i][k] * d65[k] for k in range(3)) for i in range(3)]
    adapt = [[sum(mi[i][k] * dst[k] / src[k] * m[k][j] for k in range(3)) for j in range(3)] for i in range(3)]
    to_rgb = ((3.2404542, -1.5371385, -0.4985314), (-0.9692660, 1.8760108, 0.0415560), (0.0556434, -0.2040259, 1.0572252))

    def finv(t):
        d = 6 / 29
        return t ** 3 if t > d else 3 * d * d * (t - 4 / 29)

    def encode(v):
        v = min(max(v, 0.0), 1.0)
        v = 12.92 * v if v <= 0.0031308 else 1.055 * v ** (1 / 2.4) - 0.055
        return int(v * 255 + 0.5)

    out = bytearray()
    for i in range(w * h):
        L, a, b = raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]
        a, b = (a - 256 if a > 127 else a), (b - 256 if b > 127 else b)
        fy = (L * 100 / 255 + 16) / 116
        xyz = [white[0] * finv(fy + a / 500), white[1] * finv(fy), white[2] * finv(fy - b / 200)]
        xyz = [sum(adapt[r][k] * xyz[k] for k in range(3)) for r in range(3)]
        out += bytes(encode(sum(to_rgb[r][k] * xyz[k] for k in range(3))) for r in range(3)) + b"\xff"
    return bytes(out)


def tool_files(files):
    from PIL import Image
    import subprocess
    import tempfile
    import os
    pic = rgba_picture()
    big = Image.new("RGB", (32, 24))
    for y in range(24):
        for x in range(32):
            big.putpixel((x, y), ((x * 8) & 255, (y * 10) & 255, ((x ^ y) * 8) & 255))
    b = io.BytesIO()
    big.save(b, "JPEG", quality=90)
    jpeg = b.getvalue()
    files["jpeg_baseline.jpg"] = jpeg
    # Cut in the middle of the scan: browsers show the rows that arrived, grey below.
    sos = jpeg.index(b"\xff\xda")
    files["jpeg_truncated.jpg"] = jpeg[: sos + (len(jpeg) - sos) // 2]
    b = io.BytesIO()
    big.save(b, "JPEG", quality=90, progressive=True)
    prog = b.getvalue()
    files["jpeg_progressive_truncated.jpg"] = prog[: len(prog) * 2 // 3]
    files["bad_jpeg_header_only.jpg"] = jpeg[:sos]
    # TIFF in CIELab (8 bits, as ImageMagick writes it).
    rgba = Image.new("RGBA", (W, H))
    for y in range(H):
        for x in range(W):
            rgba.putpixel((x, y), pic[y][x])
    with tempfile.TemporaryDirectory() as d:
        src = os.path.join(d, "src.png")
        big.resize((8, 6)).save(src)
        lab = os.path.join(d, "lab.tif")
        subprocess.run(["/usr/bin/convert-im6.q16", src, "-colorspace", "Lab", "-compress", "none", lab], check=True)
        files["tiff_cielab.tif"] = open(lab, "rb").read()
        files["expected/tiff_cielab.tif.rgba"] = lab_to_srgb(lab)
        rgba.save(os.path.join(d, "a.png"))
        subprocess.run(["/usr/bin/convert-im6.q16", os.path.join(d, "a.png"), "-compress", "none",
                        os.path.join(d, "rgba.tif")], check=True)
        files["tiff_rgba.tif"] = open(os.path.join(d, "rgba.tif"), "rb").read()
        # AVIF with alpha from libavif's own tool, plain and with premultiplied colour.
        rgba.save(os.path.join(d, "a.png"))
        for name, extra in (("avif_alpha.avif", ["-l"]), ("avif_alpha_premultiplied.avif", ["-l", "--premultiply"])):
            out = os.path.join(d, name)
            subprocess.run(["avifenc", *extra, os.path.join(d, "a.png"), out], check=True, capture_output=True)
            files[name] = open(out, "rb").read()
    b = io.BytesIO()
    rgba.save(b, "WEBP", lossless=True)
    files["webp_alpha_lossless.webp"] = b.getvalue()
    frames = [rgba, rgba.transpose(Image.FLIP_LEFT_RIGHT)]
    b = io.BytesIO()
    frames[0].save(b, "WEBP", save_all=True, append_images=frames[1:], lossless=True, duration=100, loop=0)
    files["webp_animated.webp"] = b.getvalue()


def main():
    files = {}
    png_files(files)
    bmp_files(files)
    tga_files(files)
    ico_files(files)
    gif_files(files)
    tool_files(files)
    for name, data in sorted(files.items()):
        os.makedirs(os.path.dirname(name) or ".", exist_ok=True)
        with open(name, "wb") as f:
            f.write(data)
    print(len(files), "files")


if __name__ == "__main__":
    main()
