"""Finds a window's offscreen rendering (PNG) in a QEMU screendump (PPM).

Usage: screen_match.py SCREEN.ppm WINDOW.png
       screen_match.py SCREEN.ppm pixel X Y R G B
       screen_match.py SCREEN.ppm differs OTHER.ppm LEFT TOP RIGHT BOTTOM

The window is looked for centred on the screen. A pixel matches when each
channel is within what a 16-bit framebuffer loses (5 or 6 bits a channel);
the window is found when nearly all do. Prints the share of matching pixels;
exits 1 when the window is not there. The second form checks one pixel's
colour (a page's button, a dialog's face); the third whether a rectangle
differs from another screendump's (a field that has changed).
"""
import struct
import sys
import zlib


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, position = [], 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position)
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit(f"{path}: not an 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, 3, data[position + 1:position + 1 + width * height * 3]


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    position, chunks = 8, []
    header = None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        position += 12 + length
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        sys.exit(f"{path}: not an 8-bit RGB(A) PNG")
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    pixels = bytearray(height * stride)
    previous = bytearray(stride)
    for row in range(height):
        kind = raw[row * (stride + 1)]
        line = bytearray(raw[row * (stride + 1) + 1:(row + 1) * (stride + 1)])
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
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        pixels[row * stride:(row + 1) * stride] = line
        previous = line
    return width, height, channels, bytes(pixels)


def close(a, b):
    return abs(a[0] - b[0]) <= 8 and abs(a[1] - b[1]) <= 4 and abs(a[2] - b[2]) <= 8


def main():
    screen_width, screen_height, _, screen = read_ppm(sys.argv[1])
    if sys.argv[2] == "pixel":
        x, y, *colour = (int(value) for value in sys.argv[3:8])
        found = screen[(y * screen_width + x) * 3:(y * screen_width + x) * 3 + 3]
        print(f"{tuple(found)} at {x},{y}")
        sys.exit(0 if close(found, colour) else 1)
    if sys.argv[2] == "differs":
        _, _, _, other = read_ppm(sys.argv[3])
        left, top, right, bottom = (int(value) for value in sys.argv[4:8])
        rows = [slice((y * screen_width + left) * 3, (y * screen_width + right) * 3) for y in range(top, bottom)]
        sys.exit(0 if any(screen[row] != other[row] for row in rows) else 1)
    width, height, channels, window = read_png(sys.argv[2])
    left, top = (screen_width - width) // 2, (screen_height - height) // 2
    if left < 0 or top < 0 or left + width > screen_width or top + height > screen_height:
        print(f"0.0 (a {screen_width}x{screen_height} screen cannot hold the {width}x{height} window)")
        sys.exit(1)
    matching = 0
    for y in range(height):
        on_screen = ((top + y) * screen_width + left) * 3
        in_window = y * width * channels
        for x in range(width):
            s = on_screen + x * 3
            w = in_window + x * channels
            if close(screen[s:s + 3], window[w:w + 3]):
                matching += 1
    share = matching / (width * height)
    print(f"{share:.4f}")
    sys.exit(0 if share >= 0.98 else 1)


if __name__ == "__main__":
    main()
