"""Reads the wire trace that `ZK4 --trace FILE` and `zk4-sim --log FILE` write.

One line per chunk of bytes: "<ms>.<us> <tag> <bytes>", where the tag is H>D (host to
device), D>H (device to host) or -- (a note in words), and the bytes are printable ASCII as
they are, with backslash, CR, LF and TAB written \\\\ \\r \\n \\t and every other byte \\xHH.
"""
import re
import sys

_ESCAPES = {"\\": b"\\", "r": b"\r", "n": b"\n", "t": b"\t"}
_LINE = re.compile(r"^(\d+)\.(\d{3}) (H>D|D>H|--) ?(.*)$")


def unescape(text):
    """The bytes an escaped trace text stands for."""
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and text[i + 1:i + 2] in _ESCAPES:
            out += _ESCAPES[text[i + 1]]
            i += 2
        elif c == "\\" and text[i + 1:i + 2] == "x":
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        else:
            out += c.encode("latin-1")
            i += 1
    return bytes(out)


def read(path):
    """(time in ms, tag, bytes) for each line of the trace that is one (a note's words as bytes)."""
    with open(path, encoding="latin-1") as trace:
        for line in trace:
            m = _LINE.match(line.rstrip("\n"))
            if m:
                ms = int(m.group(1)) + int(m.group(2)) / 1000
                data = m.group(4)
                yield ms, m.group(3), data.encode("latin-1") if m.group(3) == "--" else unescape(data)


def joined(path, tag):
    """Everything that went one way, as one byte string."""
    return b"".join(data for _, t, data in read(path) if t == tag)


if __name__ == "__main__":
    # wiretrace.py FILE TAG: what went that way, as bytes on stdout.
    sys.stdout.buffer.write(joined(sys.argv[1], sys.argv[2]))
