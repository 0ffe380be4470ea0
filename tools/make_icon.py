#!/usr/bin/env python3
"""Draws the program's icons (an envelope on a blue disc; on an orange one for new mail, a green one for
appointments) at 16, 32 and 48 pixels and writes .ico files: make_icon.py OUT.ico [--new-mail | --calendar]."""
import struct
import sys


def pixel(x, y, size, disc):
    """BGRA of one pixel: a blue disc with a white envelope and its flap."""
    cx = cy = (size - 1) / 2
    r = size / 2 - 0.5
    d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
    if d > r:
        return (0, 0, 0, 0)
    alpha = 255 if d <= r - 1 else int(255 * (r - d + 1) / 2) if r - d > -1 else 0
    left, right = size * 0.22, size * 0.78
    top, bottom = size * 0.32, size * 0.70
    if left <= x <= right and top <= y <= bottom:
        # The flap: two lines from the top corners to the middle.
        mid = (left + right) / 2
        flap_y = top + (bottom - top) * 0.55 * (1 - abs(x - mid) / (mid - left))
        if abs(y - flap_y) < max(1.0, size / 24):
            return (140, 90, 30, 255)
        return (255, 255, 255, 255)
    return disc + (alpha,)


def image(size, disc):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(struct.pack("BBBB", *pixel(x, y, size, disc)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(path, kind):
    disc = {"--new-mail": (20, 120, 240), "--calendar": (60, 160, 40)}.get(kind, (200, 120, 30))  # BGR
    sizes = (16, 32, 48)
    images = [image(s, disc) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "")
