"""Root-window contents for end-to-end tests: every pixel encodes its own root coordinates, so a
captured or copied image tells exactly where each of its pixels came from."""

from PIL import Image


def encode(x, y):
    return (x & 255, y & 255, ((x >> 8) & 15) | (((y >> 8) & 15) << 4))


def decode(rgb):
    r, g, b = rgb[:3]
    return r | ((b & 15) << 8), g | ((b >> 4) << 8)


def coordinate_pattern(width, height, path):
    """Writes the pattern for a root of the given size to path (PNG)."""
    row_r = bytes(x & 255 for x in range(width))
    data = bytearray()
    for y in range(height):
        g = y & 255
        hi = ((y >> 8) & 15) << 4
        row = bytearray(width * 3)
        row[0::3] = row_r
        row[1::3] = bytes([g]) * width
        row[2::3] = bytes(((x >> 8) & 15) | hi for x in range(width))
        data += row
    Image.frombytes("RGB", (width, height), bytes(data)).save(path)
    return path
