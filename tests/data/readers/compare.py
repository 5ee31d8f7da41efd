#!/usr/bin/python3
"""Decodes every file of the collection with Pillow, ImageMagick, libpng (for PNG, through
netpbm's pngtopam) and libavif's avifdec (for AVIF) and with kalmira-cli, and reports where
they agree.

    ./compare.py [--cli PATH] [--write-expected]

Pixels are compared as 8-bit RGBA of the first frame; a fully transparent pixel counts as
(0, 0, 0, 0) whatever colour it hides. --write-expected stores the reference decoding named in
manifest.txt as expected/<file>.rgba, which the reader tests compare with.
"""
import argparse
import io
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageFile

# Files cut short show what arrived, as browsers show them.
ImageFile.LOAD_TRUNCATED_IMAGES = True

HERE = os.path.dirname(os.path.abspath(__file__))
MAGICK = "/usr/bin/convert-im6.q16"


def normalise(img):
    img = img.convert("RGBA")
    data = bytearray(img.tobytes())
    for i in range(0, len(data), 4):
        if data[i + 3] == 0:
            data[i:i + 3] = b"\0\0\0"
    return img.size, bytes(data)


def pillow(path):
    with Image.open(path) as im:
        im.load()
        return normalise(im)


def magick(path):
    out = subprocess.run([MAGICK, path + "[0]", "-depth", "8", "png32:-"], capture_output=True)
    if out.returncode != 0 or not out.stdout:
        raise RuntimeError(out.stderr.decode(errors="replace").strip().splitlines()[-1] if out.stderr else "failed")
    return normalise(Image.open(io.BytesIO(out.stdout)))


def libpng(path):
    if not path.endswith(".png"):
        raise RuntimeError("not PNG")
    out = subprocess.run(["pngtopam", "-alphapam", path], capture_output=True)
    if out.returncode != 0:
        raise RuntimeError("pngtopam failed")
    # PAM: header lines up to ENDHDR, then rows of DEPTH samples of MAXVAL.
    head, _, body = out.stdout.partition(b"ENDHDR\n")
    fields = dict(line.split(b" ", 1) for line in head.splitlines()[1:] if b" " in line)
    w, h, depth, maxval = (int(fields[k]) for k in (b"WIDTH", b"HEIGHT", b"DEPTH", b"MAXVAL"))
    size = 2 if maxval > 255 else 1
    samples = [int.from_bytes(body[i:i + size], "big") for i in range(0, w * h * depth * size, size)]
    rgba = bytearray()
    for p in range(w * h):
        s = [(v * 255 + maxval // 2) // maxval for v in samples[p * depth:(p + 1) * depth]]
        if depth in (1, 2):
            rgba += bytes((s[0], s[0], s[0], s[1] if depth == 2 else 255))
        else:
            rgba += bytes((s[0], s[1], s[2], s[3] if depth == 4 else 255))
    for i in range(0, len(rgba), 4):
        if rgba[i + 3] == 0:
            rgba[i:i + 3] = b"\0\0\0"
    return (w, h), bytes(rgba)


def avifdec(path):
    if not path.endswith(".avif"):
        raise RuntimeError("not AVIF")
    with tempfile.TemporaryDirectory() as d:
        out = os.path.join(d, "o.png")
        if subprocess.run(["avifdec", path, out], capture_output=True).returncode != 0:
            raise RuntimeError("avifdec failed")
        return pillow(out)


def ours(path, cli):
    with tempfile.TemporaryDirectory() as d:
        out = os.path.join(d, "o.png")
        r = subprocess.run([cli, "convert", path, out, "--format", "75", "--bits", "32"], capture_output=True)
        if r.returncode != 0:
            raise RuntimeError(r.stderr.decode(errors="replace").strip())
        damaged = b"damaged: 1" in r.stdout
        return pillow(out), damaged


def largest_difference(a, b):
    if a is None or b is None or a[0] != b[0]:
        return None
    return max((abs(x - y) for x, y in zip(a[1], b[1])), default=0)


def read_manifest():
    entries = []
    with open(os.path.join(HERE, "manifest.txt")) as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            entries.append(line.split())
    return entries


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default=os.path.join(HERE, "../../../build/debug/cli/kalmira-cli"))
    ap.add_argument("--write-expected", action="store_true")
    args = ap.parse_args()
    decoders = {"pillow": pillow, "magick": magick, "libpng": libpng, "avifdec": avifdec}
    agree = {name: [0, 0] for name in decoders}  # [agreeing, compared]
    refs_agree = [0, 0]
    rows = []
    for entry in read_manifest():
        name, result = entry[0], entry[1]
        path = os.path.join(HERE, name)
        got = {}
        for dname, fn in decoders.items():
            try:
                got[dname] = fn(path)
            except Exception as e:  # a reference that refuses the file
                got[dname] = None
        try:
            mine, damaged = ours(path, args.cli)
        except Exception as e:
            mine, damaged = None, False
        tol = int(entry[6]) if result != "error" else 0
        cells = []
        for dname in decoders:
            if got[dname] is None:
                cells.append(f"{dname}: -")
                continue
            d = largest_difference(mine, got[dname])
            agree[dname][1] += 1
            if d is not None and d <= tol:
                agree[dname][0] += 1
            cells.append(f"{dname}: {'refused' if mine is None else d if d is not None else 'size'}")
        present = [got[d] for d in ("pillow", "magick") if got[d] is not None]
        if len(present) == 2:
            refs_agree[1] += 1
            dd = largest_difference(present[0], present[1])
            refs_agree[0] += dd is not None and dd <= tol
        rows.append(f"{name:32} {'refused' if mine is None else 'damaged' if damaged else 'ok':8} " + ", ".join(cells))
        if args.write_expected and result != "error" and entry[5] != "made":
            ref = entry[5]
            data = got.get(ref)
            if data is None:
                print(f"{name}: the reference {ref} gave nothing", file=sys.stderr)
                continue
            os.makedirs(os.path.join(HERE, "expected"), exist_ok=True)
            with open(os.path.join(HERE, "expected", name + ".rgba"), "wb") as f:
                f.write(data[1])
    print("\n".join(rows))
    for dname, (a, n) in agree.items():
        print(f"agreement with {dname}: {a} of {n} files it decodes")
    print(f"Pillow and ImageMagick agree with each other on {refs_agree[0]} of {refs_agree[1]}")


if __name__ == "__main__":
    main()
