#!/usr/bin/env python3
"""Rebuild res/logo.gif, Quelt's animated logo, from nothing but this file.

A folder holds a sheet of paper marked with a green up arrow. The sheet rises
out of the folder, overshoots, settles, flashes, and leaves a lone green arrow
behind before the next sheet peeks out.

    python3 tools/make_logo.py [output]      (default: res/logo.gif)

Only the Python 3 standard library is used, and the output is the same byte
for byte on every run. The script checks its own output with a separate
block walker and LZW decoder before it writes anything.
"""

import os
import sys

SIDE = 64
MIN_CODE_SIZE = 3                      # 8 colours
CLEAR = 1 << MIN_CODE_SIZE             # 8
END = CLEAR + 1                        # 9
FIRST_FREE = CLEAR + 2                 # 10
MAX_CODES = 4096                       # codes never grow past 12 bits

# Index 0 is the transparent background so the host window shows through.
BG, INK, BACK, FRONT, PAPER, GREEN, GREY, GLOW = range(8)
PALETTE = [
    (240, 240, 240),   # background (transparent)
    (44, 38, 52),      # outline of the sheet
    (214, 118, 24),    # back wall and tab of the folder
    (255, 198, 52),    # front wall of the folder
    (255, 255, 255),   # paper
    (30, 158, 66),     # arrow
    (150, 150, 160),   # spare: a 3-bit code size means a table of 8
    (255, 243, 160),   # rim of the front wall and the flash
]

# Frame delays in hundredths of a second.
DELAYS = [20, 20, 20, 5, 25, 15, 30, 20]

# Length of each frame when cut out as a standalone GIF: the 37-byte head
# (signature, screen descriptor, colour table), the frame, the trailer.
# These figures are fixed for this resource, so the encoder below is tuned
# until every frame lands on its length exactly.
CUT_LENGTHS = [305, 312, 304, 305, 311, 301, 273, 277]
TOTAL_LENGTH = 2141

HEAD_LENGTH = 6 + 7 + 3 * len(PALETTE)   # 37
LOOP_EXT_LENGTH = 19
FRAME_FIXED = 8 + 10 + 1                  # control ext + descriptor + code size


# ---------------------------------------------------------------- drawing

def blank():
    return [[BG] * SIDE for _ in range(SIDE)]


def fill(img, x0, y0, x1, y1, colour):
    """Fill the inclusive rectangle, clipped to the canvas."""
    for y in range(max(0, y0), min(SIDE, y1 + 1)):
        row = img[y]
        for x in range(max(0, x0), min(SIDE, x1 + 1)):
            row[x] = colour


def framed(img, x0, y0, x1, y1, inside, edge):
    fill(img, x0, y0, x1, y1, edge)
    fill(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, inside)


def up_arrow(img, cx, top, head_rows, bottom, half_shaft, colour):
    """Arrow whose head widens by one pixel a side per row, centred on the
    gap between columns cx-1 and cx so it stays symmetric."""
    for k in range(head_rows):
        fill(img, cx - k - 1, top + k, cx + k, top + k, colour)
    fill(img, cx - half_shaft, top + head_rows, cx + half_shaft - 1, bottom,
         colour)


# Folder geometry. The walls are flat colour without outlines: every extra
# run of colour in a row costs LZW codes, and the frames have tight byte
# budgets.
MARGIN = 4
TAB_TOP, BACK_TOP, FRONT_TOP, FRONT_BOTTOM = 28, 32, 39, 54
TAB_RIGHT = MARGIN + 20
SHEET_TOP = 35           # top edge of a sheet that has not risen yet
SHEET_WIDTH = 22
SHEET_LEFT = SIDE // 2 - SHEET_WIDTH // 2
SHEET_RIGHT = SHEET_LEFT + SHEET_WIDTH - 1
CENTRE = SIDE // 2


def folder_back(img):
    fill(img, MARGIN + 2, TAB_TOP, TAB_RIGHT, BACK_TOP, BACK)
    fill(img, MARGIN + 2, BACK_TOP, SIDE - 1 - MARGIN - 2, FRONT_TOP, BACK)


def folder_front(img):
    fill(img, MARGIN, FRONT_TOP, SIDE - 1 - MARGIN, FRONT_BOTTOM, FRONT)
    fill(img, MARGIN, FRONT_TOP, SIDE - 1 - MARGIN, FRONT_TOP, GLOW)


def sheet(img, lift, paper=PAPER, edge=INK):
    top = SHEET_TOP - lift
    # The lower part hides behind the front wall, so drawing it only a few
    # rows below the rim is enough.
    framed(img, SHEET_LEFT, top, SHEET_RIGHT, FRONT_TOP + 4, paper, edge)
    up_arrow(img, CENTRE, top + 4, 6, FRONT_TOP + 4, 2, GREEN)


def sparkle(img, lift, reach=4, gap=2):
    """Rays around the top of a flashing sheet: two diagonals, one straight
    up, and one to each side just under the top edge."""
    top = SHEET_TOP - lift
    for k in range(reach):
        img[top - gap - k][SHEET_LEFT - gap - k] = FRONT
        img[top - gap - k][SHEET_RIGHT + gap + k] = FRONT
    fill(img, CENTRE - 1, top - gap - reach, CENTRE, top - gap - 1, FRONT)
    fill(img, SHEET_LEFT - gap - reach, top + 1, SHEET_LEFT - gap - 1, top + 1,
         FRONT)
    fill(img, SHEET_RIGHT + gap + 1, top + 1, SHEET_RIGHT + gap + reach,
         top + 1, FRONT)


def picture(kind, lift):
    img = blank()
    folder_back(img)
    if kind == "sheet":
        sheet(img, lift)
    elif kind == "flash":
        sheet(img, lift, paper=GLOW, edge=BACK)
        sparkle(img, lift)
    elif kind == "arrow":
        # Larger than the arrow printed on the sheet: this frame is held
        # longest and says what the program does.
        up_arrow(img, CENTRE, SHEET_TOP - lift, 10, FRONT_TOP, 4, GREEN)
    else:
        raise ValueError(kind)
    folder_front(img)
    return [p for row in img for p in row]


# The story, one entry per frame: peek, rise, overshoot, settle back a little,
# flash, the sheet is gone and only its arrow is left, the next sheet peeks.
SCENES = [
    ("sheet", 4),
    ("sheet", 8),
    ("sheet", 11),
    ("sheet", 13),
    ("sheet", 10),
    ("flash", 10),
    ("arrow", 20),
    ("sheet", 0),
]


# ------------------------------------------------------------- LZW encoding

class BitSink:
    """Packs codes LSB first, as GIF readers expect."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.nbits = 0

    def put(self, code, width):
        self.acc |= code << self.nbits
        self.nbits += width
        while self.nbits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.nbits -= 8

    def finish(self):
        if self.nbits:
            self.out.append(self.acc & 0xFF)   # leftover high bits are zero
        return bytes(self.out)


def lzw_encode(pixels, stride=0, phase=0, tail_clears=0):
    """LZW in the GIF flavour, with knobs that change the length of the
    output without changing what a decoder draws.

    stride/phase: every code whose index is congruent to phase modulo stride
    takes a match one pixel shorter than the longest available (when the
    longest is at least two pixels). Any table string that starts the rest
    of the input is a valid code to send; the decoder just learns different
    strings.
    tail_clears: clear codes sent right before the end code. Each lengthens
    the output by four bits: the first takes the end code's place at the
    current width, and after a clear the end code goes out in four bits.
    """
    sink = BitSink()
    # Track the decoder's view of the table: it learns one entry per code
    # except the first after a clear, and widens codes as soon as the next
    # entry it would make needs another bit.
    dec_next = FIRST_FREE
    dec_fresh = True

    def emit(code):
        nonlocal dec_next, dec_fresh
        sink.put(code, min(12, dec_next.bit_length()))
        if code == CLEAR:
            dec_next, dec_fresh = FIRST_FREE, True
        elif code != END:
            if not dec_fresh and dec_next < MAX_CODES:
                dec_next += 1
            dec_fresh = False

    def fresh_table():
        # Keyed by (code of a string, next pixel): walking it from a single
        # pixel visits every prefix of the current match in turn.
        return {}, FIRST_FREE

    emit(CLEAR)
    table, next_code = fresh_table()
    n = len(pixels)
    pos = 0
    index = 0
    while pos < n:
        code, shorter, end = pixels[pos], None, pos + 1
        while end < n and (code, pixels[end]) in table:
            shorter, code = code, table[(code, pixels[end])]
            end += 1
        if stride and index % stride == phase and shorter is not None:
            code, end = shorter, end - 1
        emit(code)
        index += 1
        if end < n:
            # Duplicates are possible after a shortened match; the decoder
            # still spends a code on them, so the counter must move too.
            table.setdefault((code, pixels[end]), next_code)
            next_code += 1
            if next_code == MAX_CODES:
                emit(CLEAR)
                table, next_code = fresh_table()
        pos = end
    for _ in range(tail_clears):
        emit(CLEAR)
    emit(END)
    return sink.finish()


def sub_blocks(data, count):
    """Split data into count sub-blocks of near-equal size plus the
    terminating empty block."""
    assert 1 <= count <= len(data) and len(data) <= 255 * count
    out = bytearray()
    start = 0
    for i in range(count):
        size = len(data) * (i + 1) // count - start
        out.append(size)
        out += data[start:start + size]
        start += size
    out.append(0)
    return bytes(out)


def fit_chain(pixels, chain_length):
    """Find encoder settings whose sub-block chain is chain_length bytes.

    Sub-blocks: as few as the data allows first. Shortened matches: the
    strides whose plain run comes closest to the goal are tried first, so
    the search stays short; every phase of a stride is tried before the next
    stride. Extra clear codes are only tried when a run falls a byte or two
    short, as each one adds just four bits. Returns (chain, settings).
    """
    plain = lzw_encode(pixels)
    targets = []
    for data_len in range(chain_length - 2, 0, -1):
        blocks = chain_length - 1 - data_len
        if -(-data_len // 255) <= blocks <= data_len:
            targets.append((blocks, data_len))
    targets.sort()
    if not targets or len(plain) > max(d for _, d in targets):
        raise SystemExit(
            "picture needs %d data bytes, more than its chain of %d allows; "
            "simplify it" % (len(plain), chain_length))
    first_try = {stride: len(lzw_encode(pixels, stride))
                 for stride in range(2, 401)}
    first_try[0] = len(plain)
    for blocks, data_len in targets:
        if len(plain) > data_len:
            continue
        strides = sorted(first_try,
                         key=lambda st: (abs(first_try[st] - data_len), -st))
        for stride in strides:
            for phase in range(min(stride, 16) if stride else 1):
                data = lzw_encode(pixels, stride, phase)
                tails = [0]
                if data_len - 2 <= len(data) < data_len:
                    tails += [1, 2, 3]
                for tail in tails:
                    if tail:
                        data = lzw_encode(pixels, stride, phase, tail)
                    if len(data) == data_len:
                        settings = dict(stride=stride, phase=phase,
                                        tail_clears=tail, blocks=blocks)
                        return sub_blocks(data, blocks), settings
    raise SystemExit("no encoder settings reach a chain of %d bytes"
                     % chain_length)


# --------------------------------------------------------------- assembly

def le16(v):
    return bytes((v & 0xFF, v >> 8))


def head():
    size_bits = len(PALETTE).bit_length() - 2        # 8 entries -> 2
    packed = 0x80 | (7 << 4) | size_bits             # table, 8-bit colour
    out = b"GIF89a" + le16(SIDE) + le16(SIDE) + bytes((packed, BG, 0))
    return out + b"".join(bytes(c) for c in PALETTE)


LOOP_FOREVER = b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"


def frame_run(delay, chain):
    # Disposal 2 restores the background before the next frame, and colour 0
    # is transparent.
    control = (b"\x21\xF9\x04" + bytes(((2 << 2) | 1,)) + le16(delay)
               + bytes((BG, 0)))
    descriptor = b"\x2C" + le16(0) + le16(0) + le16(SIDE) + le16(SIDE) + b"\x00"
    return control + descriptor + bytes((MIN_CODE_SIZE,)) + chain


def build():
    pictures = [picture(kind, lift) for kind, lift in SCENES]
    runs, report = [], []
    for number, (pixels, delay, cut) in enumerate(
            zip(pictures, DELAYS, CUT_LENGTHS)):
        chain_length = cut - HEAD_LENGTH - 1 - FRAME_FIXED
        chain, settings = fit_chain(pixels, chain_length)
        runs.append(frame_run(delay, chain))
        report.append((number, cut, chain_length, settings))
    data = head() + LOOP_FOREVER + b"".join(runs) + b"\x3B"
    return data, pictures, report


# ------------------------------------------------------------ self-check
# Written without sharing code with the encoder above, so a mistake in one
# is not silently mirrored by the other.

def lzw_decode(min_size, data):
    clear, end = 1 << min_size, (1 << min_size) + 1
    prefix, suffix, first = [0] * 4096, [0] * 4096, [0] * 4096
    for i in range(clear):
        suffix[i] = first[i] = i
    out = []
    acc = nbits = byte_pos = 0
    width, avail, prev = min_size + 1, clear + 2, None

    def expand(code):
        s = []
        while code >= clear:
            s.append(suffix[code])
            code = prefix[code]
        s.append(code)
        return s[::-1]

    while True:
        while nbits < width:
            if byte_pos >= len(data):
                raise ValueError("data ends before the end code")
            acc |= data[byte_pos] << nbits
            byte_pos += 1
            nbits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        nbits -= width
        if code == clear:
            width, avail, prev = min_size + 1, clear + 2, None
            continue
        if code == end:
            break
        if prev is None:
            if code >= clear:
                raise ValueError("first code after a clear is not a colour")
            out.append(code)
            prev = code
            continue
        if code < avail:
            string = expand(code)
            head_pixel = string[0]
        elif code == avail:
            head_pixel = first[prev]
            string = expand(prev) + [head_pixel]
        else:
            raise ValueError("code %d is not in the table" % code)
        if avail < 4096:
            prefix[avail], suffix[avail] = prev, head_pixel
            first[avail] = first[prev]
            avail += 1
            if avail == (1 << width) and width < 12:
                width += 1
        out.extend(string)
        prev = code
    if byte_pos != len(data):
        raise ValueError("bytes after the end code")
    if acc:
        raise ValueError("non-zero bits after the end code")
    return out


def walk(blob, looping=True):
    """Walk the file block by block and return the frames found as
    (offset, end, delay, control packed byte, transparent index, chain data).
    A cut frame has no looping extension."""
    assert blob[:6] == b"GIF89a"
    w, h = blob[6] | blob[7] << 8, blob[8] | blob[9] << 8
    packed = blob[10]
    assert (w, h) == (SIDE, SIDE)
    assert packed & 0x80 and packed & 7 == 2 and blob[12] == 0
    pos = 13 + 3 * (2 << (packed & 7))
    assert pos == HEAD_LENGTH
    if looping:
        assert blob[pos:pos + LOOP_EXT_LENGTH] == LOOP_FOREVER
        pos += LOOP_EXT_LENGTH
    frames = []
    while blob[pos] != 0x3B:
        start = pos
        assert blob[pos:pos + 3] == b"\x21\xF9\x04" and blob[pos + 7] == 0
        control, delay = blob[pos + 3], blob[pos + 4] | blob[pos + 5] << 8
        transparent = blob[pos + 6]
        pos += 8
        assert blob[pos] == 0x2C
        left, top = blob[pos + 1] | blob[pos + 2] << 8, blob[pos + 3] | blob[pos + 4] << 8
        fw, fh = blob[pos + 5] | blob[pos + 6] << 8, blob[pos + 7] | blob[pos + 8] << 8
        assert (left, top, fw, fh, blob[pos + 9]) == (0, 0, SIDE, SIDE, 0)
        pos += 10
        assert blob[pos] == MIN_CODE_SIZE
        pos += 1
        data = bytearray()
        while blob[pos]:
            data += blob[pos + 1:pos + 1 + blob[pos]]
            pos += 1 + blob[pos]
        pos += 1
        frames.append((start, pos, delay, control, transparent, bytes(data)))
    assert pos == len(blob) - 1
    return frames


def check(blob, pictures):
    assert len(blob) == TOTAL_LENGTH, len(blob)
    assert blob[-1] == 0x3B and blob.index(LOOP_FOREVER) == HEAD_LENGTH
    frames = walk(blob)
    assert len(frames) == len(DELAYS)
    cuts = []
    for (start, end, delay, control, transparent, data), want_delay, \
            want_cut, pixels in zip(frames, DELAYS, CUT_LENGTHS, pictures):
        assert delay == want_delay
        assert (control >> 2) & 7 == 2 and control & 1 and transparent == BG
        cut = blob[:HEAD_LENGTH] + blob[start:end] + b"\x3B"
        assert len(cut) == want_cut, (len(cut), want_cut)
        assert walk(cut, looping=False)[0][5] == data
        decoded = lzw_decode(MIN_CODE_SIZE, data)
        assert decoded == pixels, "frame decodes to a different picture"
        cuts.append(len(cut))
    # Paths the logo itself never reaches: a full table, a code used the
    # moment it is made, many shortened matches and stray clear codes.
    seed, noise = 1, []
    for _ in range(50000):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise.append((seed >> 16) % 3 if (seed >> 8) & 3 else 0)
    for stride, phase, tail in ((0, 0, 0), (3, 1, 2), (1, 0, 1)):
        assert lzw_decode(MIN_CODE_SIZE,
                          lzw_encode(noise, stride, phase, tail)) == noise
    assert lzw_decode(MIN_CODE_SIZE, lzw_encode([5] * 5000)) == [5] * 5000
    return cuts


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) > 1 else os.path.join(here, "..", "res",
                                                        "logo.gif")
    assert HEAD_LENGTH == 37
    assert HEAD_LENGTH + LOOP_EXT_LENGTH + sum(
        c - HEAD_LENGTH - 1 for c in CUT_LENGTHS) + 1 == TOTAL_LENGTH
    blob, pictures, report = build()
    cuts = check(blob, pictures)
    for (number, cut, chain_length, s), seen in zip(report, cuts):
        print("frame %d: cut %d bytes (chain %d, %d sub-block%s), "
              "shorten every %s from %d, %d extra clear%s"
              % (number, seen, chain_length, s["blocks"],
                 "" if s["blocks"] == 1 else "s",
                 s["stride"] or "-", s["phase"], s["tail_clears"],
                 "" if s["tail_clears"] == 1 else "s"))
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with open(target, "wb") as f:
        f.write(blob)
    print("wrote %s, %d bytes" % (os.path.normpath(target), len(blob)))


if __name__ == "__main__":
    main(sys.argv)
