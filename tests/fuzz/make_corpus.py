#!/usr/bin/env python3
"""Writes the seed corpus of the TIFF loader: a few valid little TIFF files and broken variants
of them (truncated, forged sizes, looping directories, bad offsets, wrong types). The tests read
every file here and expect either a clean read or an IOException; the fuzzer starts from them.
Inputs the fuzzer once broke the loader with are kept beside these under their own names
(tile_forged_size.tif: a tile far larger than the file could hold; errors_on_every_row.tif: a
strip that makes libtiff report an error for each of a million rows; rows_beyond_limit.tif: the
same with 60 million rows)."""
import os
import struct
import sys

TYPES = {"SHORT": 3, "LONG": 4, "RATIONAL": 5, "ASCII": 2}


def tiff(width, height, bits, pixels, extra=None, little=True, next_ifd=0, strip_offset=None,
         strip_count=None, spp=1, sample_format=1, photometric=1, pages=1):
    """A classic TIFF with one strip per page; returns bytes."""
    e = "<" if little else ">"
    out = bytearray(b"II*\x00" if little else b"MM\x00*")
    out += struct.pack(e + "I", 0)  # first IFD offset, patched below
    page_offsets = []
    for _ in range(pages):
        page_offsets.append(len(out))
        out += pixels
    ifd_offsets = []
    for p in range(pages):
        tags = [
            (256, "LONG", width), (257, "LONG", height), (258, "SHORT", bits),
            (259, "SHORT", 1), (262, "SHORT", photometric),
            (273, "LONG", strip_offset if strip_offset is not None else page_offsets[p]),
            (277, "SHORT", spp), (278, "LONG", height),
            (279, "LONG", strip_count if strip_count is not None else len(pixels)),
            (339, "SHORT", sample_format),
        ]
        if extra:
            tags += extra
        tags.sort()
        if len(out) % 2:
            out += b"\x00"
        ifd_offsets.append(len(out))
        out += struct.pack(e + "H", len(tags))
        for tag, typ, value in tags:
            code = TYPES[typ]
            if typ == "SHORT":
                out += struct.pack(e + "HHIHH", tag, code, 1, value, 0)
            else:
                out += struct.pack(e + "HHII", tag, code, 1, value)
        out += struct.pack(e + "I", 0)
    for p in range(pages):
        nxt = ifd_offsets[p + 1] if p + 1 < pages else next_ifd
        count = struct.unpack_from(e + "H", out, ifd_offsets[p])[0]
        struct.pack_into(e + "I", out, ifd_offsets[p] + 2 + 12 * count, nxt)
    struct.pack_into(e + "I", out, 4, ifd_offsets[0])
    return bytes(out), ifd_offsets


def main(folder):
    os.makedirs(folder, exist_ok=True)
    files = {}
    px8 = bytes(range(16))
    px16 = b"".join(struct.pack("<H", 1000 * i) for i in range(16))
    files["valid_gray8.tif"], _ = tiff(4, 4, 8, px8)
    files["valid_gray16.tif"], _ = tiff(4, 4, 16, px16)
    files["valid_gray16_bigendian.tif"], _ = tiff(
        4, 4, 16, b"".join(struct.pack(">H", 1000 * i) for i in range(16)), little=False)
    files["valid_stack3.tif"], _ = tiff(4, 4, 8, px8, pages=3)
    files["valid_float32.tif"], _ = tiff(2, 2, 32, struct.pack("<4f", 0.5, 1.5, 2.5, 3.5),
                                         sample_format=3)
    files["valid_bilevel.tif"], _ = tiff(8, 2, 1, bytes([0b10101010, 0b11110000]))
    good, ifds = tiff(4, 4, 16, px16)
    files["empty.tif"] = b""
    files["header_only.tif"] = good[:8]
    files["truncated_pixels.tif"] = good[:20]
    files["garbage.tif"] = bytes((i * 37 + 11) % 256 for i in range(200))
    files["wrong_magic.tif"] = b"II+\x00" + good[4:]
    files["forged_size.tif"], _ = tiff(1 << 20, 1 << 20, 16, px16)
    files["forged_size_stack.tif"], _ = tiff(60000, 60000, 16, px16, pages=2)
    # 50 MB of bits, but 400 M voxels once read into an image of one byte per voxel.
    files["forged_size_bilevel.tif"], _ = tiff(20000, 20000, 1, bytes([0b10101010, 0b11110000]))
    files["strip_past_end.tif"], _ = tiff(4, 4, 16, px16, strip_offset=1 << 30)
    files["strip_count_huge.tif"], _ = tiff(4, 4, 16, px16, strip_count=0x7FFFFFFF)
    files["zero_width.tif"], _ = tiff(0, 4, 8, px8)
    loop, loop_ifds = tiff(4, 4, 8, px8, pages=2)
    loop = bytearray(loop)
    count = struct.unpack_from("<H", loop, loop_ifds[1])[0]
    struct.pack_into("<I", loop, loop_ifds[1] + 2 + 12 * count, loop_ifds[0])
    files["ifd_loop.tif"] = bytes(loop)
    files["ifd_offset_past_end.tif"] = good[:4] + struct.pack("<I", 1 << 28) + good[8:]
    files["rgb8.tif"], _ = tiff(2, 2, 8, bytes(12), spp=3, photometric=2)
    files["bits12.tif"], _ = tiff(4, 4, 12, bytes(24))
    a, mixed_ifds = tiff(4, 4, 8, px8, pages=2)
    # Make the second page 3 rows high: slices of different size.
    a = bytearray(a)
    ifd2 = mixed_ifds[1]
    count = struct.unpack_from("<H", a, ifd2)[0]
    for k in range(count):
        tag = struct.unpack_from("<H", a, ifd2 + 2 + 12 * k)[0]
        if tag == 257:
            struct.pack_into("<I", a, ifd2 + 2 + 12 * k + 8, 3)
    files["mixed_pages.tif"] = bytes(a)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus"))
