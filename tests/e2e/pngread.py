"""Reading screenshots: the PNG files ImageMagick's `import` writes, decoded far enough to sample pixels."""

import struct
import zlib
from pathlib import Path

from winetools import EnvError


class Picture:
    """A decoded screenshot: pixel(x, y) gives (r, g, b)."""

    def __init__(self, width, height, rows, channels, palette):
        self.width = width
        self.height = height
        self._rows = rows
        self._channels = channels
        self._palette = palette

    def pixel(self, x, y):
        row = self._rows[y]
        if self._palette is not None:
            return self._palette[row[x]]
        at = x * self._channels
        if self._channels < 3:
            return (row[at],) * 3
        return tuple(row[at:at + 3])

    def pixels(self, box):
        """(x, y, (r, g, b)) for every pixel of box = (left, top, right, bottom), right and bottom excluded."""
        left, top, right, bottom = box
        for y in range(max(0, top), min(self.height, bottom)):
            for x in range(max(0, left), min(self.width, right)):
                yield x, y, self.pixel(x, y)


def read_png(path):
    """Decodes the PNG files ImageMagick's `import` writes (8-bit grey, RGB, RGBA or palette, not interlaced);
    the standard library has no image reader, and a test needs only a few pixels."""
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise EnvError(f"{path} is not a PNG file")
    at, compressed, palette, header = 8, b"", None, None
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body) - 2, 3)]
        elif kind == b"IDAT":
            compressed += body
        elif kind == b"IEND":
            break
        at += 12 + length
    if header is None:
        raise EnvError(f"{path} has no PNG header")
    width, height, depth, color, _, _, interlace = header
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(color)
    if channels is None or depth != 8 or interlace:
        raise EnvError(f"{path}: PNG colour type {color}, depth {depth}, interlace {interlace} not supported")
    if color != 3:
        palette = None
    stride = width * channels
    raw = zlib.decompress(compressed)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                guess = left + up - corner
                distances = (abs(guess - left), abs(guess - up), abs(guess - corner))
                nearest = left if distances[0] <= distances[1] and distances[0] <= distances[2] else \
                    up if distances[1] <= distances[2] else corner
                line[i] = (line[i] + nearest) & 255
        rows.append(line)
        previous = line
    return Picture(width, height, rows, channels, palette)

