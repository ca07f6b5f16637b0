#!/usr/bin/env python3
"""Writes WAV files for the test tables, fuzz seeds, examples and benchmarks.

wavgen FILE|- [i16|i24|i32|f32|f64] [rate=R] [ch=C] [frames=F] [ext[=MASK]]
       [tone=CH|*:FREQ:AMP[:PHASE]]... [noise=AMP] [set=INDEX:VALUE]... [sizes=S]
  Defaults: i16, 48000 Hz, one channel, one second; silence but for the tones
  and repeatable noise (drawn channel after channel); `set` overwrites one
  interleaved sample; `sizes` declares S as the RIFF and data sizes, as a
  writer on a pipe leaves them. Integers are rounded half away from zero and clamped.
wavgen FILE|- raw [riff] PIECE...
  Any layout, lies included. riff: RIFF, size, WAVE around what follows;
  bytes=BODY as it is; ID=BODY a chunk ('_' is a space) padded when odd;
  ID/SIZE=BODY a header declaring SIZE, then BODY. BODY joins with '+' x:HEX,
  t:TEXT, z:COUNT, i16|i24|i32|f32|f64:V,... and
  fmt:TAG,CH,RATE,BITS[,SIZE[,SUB[,MASK]]] (16 bytes unless told; 40 extensible)."""
import math
import sys
from array import array

ENCODINGS = {"i16": 16, "i24": 24, "i32": 32, "f32": "f", "f64": "d"}
GUID_TAIL = bytes([0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])


def le(value, width):
    """`value` as `width` little-endian bytes, cut to them as C's casts do."""
    return (value & ((1 << 8 * width) - 1)).to_bytes(width, "little")


def header(tag, size):
    return tag.encode() + le(size, 4)


def fmt_body(tag, channels, rate, bits, size=16, sub=1, mask=0):
    align = bits // 8 * channels
    fields = zip((tag, channels, rate, rate * align, align, bits, 22, bits, mask, sub), (2, 2, 4, 4, 2, 2, 2, 2, 4, 2))
    return (b"".join(le(v, w) for v, w in fields) + GUID_TAIL)[:size].ljust(size, b"\0")


def quantize(v, bits):
    top = 2.0 ** (bits - 1) - 1
    x = abs(v * top)
    r = math.floor(x)
    r = r + 1 if x - r >= 0.5 else r  # as C's round: half away from zero
    return int(max(-top - 1, min(top, math.copysign(r, v))))


def encode(values, encoding):
    if isinstance(encoding, str):
        a = array(encoding, values)
    else:
        a = array("h" if encoding == 16 else "i", [quantize(v, encoding) for v in values])
    if sys.byteorder == "big":
        a.byteswap()
    b = a.tobytes()
    if encoding == 24:  # the low three bytes of each 32-bit value
        out = bytearray(len(a) * 3)
        for k in range(3):
            out[k::3] = b[k::4]
        b = bytes(out)
    return b


def body(text):
    out = bytearray()
    for part in text.split("+"):
        kind, _, value = part.partition(":")
        if kind == "t":
            out += value.encode()
        elif kind == "x":
            out += bytes.fromhex(value)
        elif kind == "z":
            out += bytes(int(value))
        elif kind == "fmt":
            out += fmt_body(*[int(v, 0) for v in value.split(",")])
        elif kind in ("i16", "i24", "i32"):
            out += b"".join(le(int(v, 0), int(kind[1:]) // 8) for v in value.split(","))
        else:
            out += encode([float(v) for v in value.split(",")], ENCODINGS[kind])
    return bytes(out)


def raw(pieces):
    wrap = pieces[:1] == ["riff"]
    out = bytearray()
    for piece in pieces[wrap:]:
        head, _, text = piece.partition("=")
        b = body(text)
        if head != "bytes":
            out += header(head[:4].replace("_", " "), len(b) if len(head) == 4 else int(head[5:], 0))
            b += b"\0" * (len(head) == 4 and len(b) % 2)
        out += b
    return header("RIFF", len(out) + 4) + b"WAVE" + out if wrap else bytes(out)


def parse(args):
    d = {"enc": 16, "rate": 48000, "ch": 1, "frames": None, "ext": None, "noise": 0.0, "tones": [], "set": {}, "sizes": None}
    for a in args:
        key, _, v = a.partition("=")
        if a in ENCODINGS:
            d["enc"] = ENCODINGS[a]
        elif key in ("rate", "ch", "frames", "sizes"):
            d[key] = int(v, 0)
        elif key == "ext":
            d["ext"] = int(v, 0) if v else 0
        elif key == "tone":
            ch, freq, amp, *phase = v.split(":")
            d["tones"].append((None if ch == "*" else int(ch), float(freq), float(amp), float((phase or [0])[0])))
        elif key == "noise":
            d["noise"] = float(v)
        elif key == "set":
            index, value = v.split(":")
            d["set"][int(index)] = float(value)
        else:
            sys.exit(f"wavgen: what is '{a}'?")
    if d["frames"] is None:
        d["frames"] = d["rate"]
    return d


def samples(d):
    """The file's bytes in pieces: the header, then blocks of frames."""
    enc, rate, channels, frames, noise = d["enc"], d["rate"], d["ch"], d["frames"], d["noise"]
    is_float = isinstance(enc, str)
    bits = {"f": 32, "d": 64}[enc] if is_float else enc
    data_bytes = frames * channels * bits // 8
    ext = d["ext"] is not None
    fmt = fmt_body(0xFFFE if ext else 3 if is_float else 1, channels, rate, bits, 40 if ext else 16,
                   3 if is_float else 1, d["ext"] or 0)
    riff, data = (d["sizes"],) * 2 if d["sizes"] is not None else (4 + 8 + len(fmt) + 8 + data_bytes + data_bytes % 2, data_bytes)
    yield header("RIFF", riff) + b"WAVE" + header("fmt ", len(fmt)) + fmt + header("data", data)
    state, draws = 0x2545F4914F6CDD1D, array("d")
    for _ in range(frames * channels if noise else 0):  # channel-major
        state = (state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        draws.append((state >> 11) / 4503599627370496.0 - 1.0)
    step = 1 << 14
    for f0 in range(0, frames, step):
        span = range(f0, min(frames, f0 + step))
        columns = []
        for c in range(channels):
            x = [0.0] * len(span)
            for ch, freq, amp, phase in d["tones"]:
                if ch is None or ch == c:
                    x = [v + amp * math.sin(6.283185307179586 * freq * f / rate + phase) for v, f in zip(x, span)]
            if noise:
                x = [v + noise * draws[c * frames + f] for v, f in zip(x, span)]
            columns.append(x)
        values = [v for row in zip(*columns) for v in row]
        for index, value in d["set"].items():
            if f0 * channels <= index < (f0 + len(span)) * channels:
                values[index - f0 * channels] = value
        yield encode(values, enc)
    yield b"\0" * (data_bytes % 2)


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    pieces = [raw(argv[3:])] if argv[2:3] == ["raw"] else samples(parse(argv[2:]))
    with (open(sys.stdout.fileno(), "wb", closefd=False) if argv[1] == "-" else open(argv[1], "wb")) as out:
        for piece in pieces:
            out.write(piece)


if __name__ == "__main__":
    main(sys.argv)
