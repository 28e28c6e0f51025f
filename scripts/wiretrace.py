"""Reads the wire trace that `ZK4 --trace FILE` and `zk4-sim --log FILE` write.

One line per chunk of bytes: "<ms>.<us> <tag> <bytes>", where the tag is H>D (host to
device), D>H (device to host) or -- (a note in words), and the bytes are printable ASCII as
they are, with backslash, CR, LF and TAB written \\\\ \\r \\n \\t and every other byte \\xHH.

As a command, for scripts and tests:
  wiretrace.py FILE TAG                     what went that way, as bytes
  wiretrace.py count FILE TAG TEXT [OPTIONS] how often TEXT went that way, on stdout
      --after TAG2 TEXT2   only after the last time TEXT2 (any case) went TAG2's way
      --since MS           only in lines stamped after MS
  TEXT may hold \\r and \\n.
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


def parse(line):
    """(time in ms, tag, bytes) of one trace line (a note's words as bytes), or None."""
    m = _LINE.match(line.rstrip("\n"))
    if not m:
        return None
    ms = int(m.group(1)) + int(m.group(2)) / 1000
    data = m.group(4)
    return ms, m.group(3), data.encode("latin-1") if m.group(3) == "--" else unescape(data)


def read(path):
    """parse() of each line of the trace that is one."""
    with open(path, encoding="latin-1") as trace:
        for line in trace:
            entry = parse(line)
            if entry:
                yield entry


def joined(path, tag):
    """Everything that went one way, as one byte string."""
    return b"".join(data for _, t, data in read(path) if t == tag)


def count(path, tag, text, after=None, since=None):
    """How often `text` went `tag`'s way, after the last `after` (tag, text) and `since` ms."""
    lines = list(read(path))
    if after:
        marks = [i for i, (_, t, d) in enumerate(lines) if t == after[0] and after[1] in d.upper()]
        lines = lines[marks[-1] + 1:] if marks else []
    if since is not None:
        lines = [line for line in lines if line[0] > since]
    return b"".join(d for _, t, d in lines if t == tag).count(text)


def _text(arg):
    return arg.replace("\\r", "\r").replace("\\n", "\n").encode("latin-1")


if __name__ == "__main__":
    args = sys.argv[1:]
    if args and args[0] == "count":
        path, tag, text = args[1], args[2], _text(args[3])
        after = since = None
        rest = args[4:]
        while rest:
            if rest[0] == "--after":
                after, rest = (rest[1], _text(rest[2])), rest[3:]
            elif rest[0] == "--since":
                since, rest = float(rest[1]), rest[2:]
            else:
                sys.exit("unknown option " + rest[0])
        print(count(path, tag, text, after, since))
    else:
        sys.stdout.buffer.write(joined(args[0], args[1]))
