#!/usr/bin/env python3
"""Writes the seeds that stand on each limit of the reader, the writer and
the logger, and a few whose every answer the targets' models know, one file
per seed, into fuzz/corpus/<target>/limit-* and case-*:
  python3 fuzz/make-limit-seeds.py
The files are kept in git; run this again after changing it or the way a
target decodes its input."""
import pathlib

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"
ANSI, UTF16 = b"\x00", b"\x01"  # LoadDocumentFuzzer's first byte: the encoding


def nested(depth, innermost=""):
    return "<e>" * depth + innermost + "</e>" * depth


def attributes(count, value="1"):
    return "".join(' a%d="%s"' % (i, value) for i in range(count))


def start_tag_of_length(length):
    """An empty-element tag of exactly `length` characters: values at most
    259 characters, as the reader takes them."""
    fixed = len("<e />")
    values, index = [], 0
    remaining = length - fixed
    while remaining > 0:
        key = "a%d" % index
        overhead = len(' %s=""' % key)
        value = min(259, remaining - overhead)
        if remaining - overhead - value in range(1, overhead + 1):
            value -= overhead + 1  # leave room for one more whole attribute
        values.append(' %s="%s"' % (key, "v" * value))
        remaining -= overhead + value
        index += 1
    tag = "<e" + "".join(values) + " />"
    assert len(tag) == length, (len(tag), length)
    return tag


def load_document_seeds():
    docs = {
        "depth-256": nested(256),
        "depth-257": nested(257),
        "attributes-64": "<e%s/>" % attributes(64),
        "attributes-65": "<e%s/>" % attributes(65),
        "line-2047": start_tag_of_length(2047),
        "line-2048": start_tag_of_length(2048),
        "name-259-with-children": "<%s><c/></%s>" % ("n" * 259, "n" * 259),
    }
    seeds = {}
    for name, text in docs.items():
        seeds["ansi-" + name] = ANSI + text.encode()
    for name in ("depth-256", "depth-257", "attributes-65", "line-2048"):
        seeds["utf16-" + name] = UTF16 + docs[name].encode("utf-16-le")
    for length in (259, 260):
        seeds["utf16-value-%d" % length] = UTF16 + ('<e a="%s"/>' % ("v" * length)).encode("utf-16-le")
    seeds["utf16-name-260"] = UTF16 + ("<%s/>" % ("n" * 260)).encode("utf-16-le")
    return seeds


# TreeEditFuzzer: each step is a node byte (0xFF the newest node; 0 the
# root, 1 the first item), an operation byte and its arguments. A text is a
# length byte (0xF8 + n: 256 + n repeats of one character) and character
# bytes (0 'a', 1 'A', 2 'b', 3 'B', 4 '1', 5 ':', 6 '_', 7 '.'; 0xE9 '/',
# 0xF3 the backslash).
FIND_OR_ADD, ADD, REMOVE, SET_STRING, SET_INT, SET_COLOUR, REMOVE_ATTR, QUERY, CHILDREN = 0, 1, 2, 3, 4, 5, 6, 7, 8


def children(node, name=None):
    """A walk over all children, or over those of one name."""
    return step(node, CHILDREN, text(0) if name is None else name, bytes([0 if name is None else 1]))


def text(length, char=0):
    if length >= 256:
        return bytes([0xF8 + length - 256, char])
    return bytes([length if length < 12 else 0xC0 + length] + [char] * length)


def step(node, operation, *arguments):
    return bytes([node, operation]) + b"".join(arguments)


def chain(depth):
    """The root with a chain of children below it, `depth` elements deep."""
    return step(0, FIND_OR_ADD, text(1)) + step(0xFF, FIND_OR_ADD, text(1)) * (depth - 2)


def two_letter_keys(count):
    return [bytes([2, a, b]) for a in range(8) for b in range(8)][:count]


def long_line(length):
    """Attributes on the first item until its saved start tag is `length`
    characters: four spaces, <item id="1", the attributes, " />"."""
    remaining = length - len('    <item id="1" />')
    steps, keys = b"", iter(two_letter_keys(64))
    while remaining > 0:
        value = min(259, remaining - 6)
        if value < 256:
            value = min(11, value)  # a text is short or 256 to 263 long
        if remaining - 6 - value in range(1, 7):
            value = 0 if value < 256 else 256
        steps += step(1, SET_STRING, next(keys), text(value))
        remaining -= 6 + value
    assert remaining == 0, remaining
    return steps


def tree_edit_seeds():
    seeds = {
        "depth-256": chain(256) + children(0),
        "depth-257": chain(257) + children(0),
        "line-2047": long_line(2047),
        "line-2048": long_line(2048),
    }
    for length in (259, 260):
        name = text(length)
        seeds["name-%d" % length] = step(0, FIND_OR_ADD, name) * 2 + children(0, name)
        seeds["value-%d" % length] = step(0, SET_STRING, text(1), text(length)) + step(0, QUERY, text(1))
        seeds["key-%d" % length] = step(0, SET_STRING, text(length), text(1)) + step(0, QUERY, text(length))
    for count in (64, 65):
        # The root holds two attributes already.
        sets = b"".join(step(0, SET_INT, key, bytes([i, 0, 0, 0])) for i, key in enumerate(two_letter_keys(count - 2)))
        seeds["attributes-%d" % count] = sets + step(0, QUERY, two_letter_keys(64)[count - 3])
    return seeds


# LoggerFuzzer: a layout byte (1 the logger key exists, 2 with its Zone
# key, 4 a key of this executable's own), a choice per setting (0 absent,
# 3 + 4 * n the DWORD n), zone registrations and entries.
def small_dword(value):
    return bytes([3 + 4 * value])


def settings(output_type=None, severity=None):
    def value(v):
        return bytes([0]) if v is None else small_dword(v)

    return value(output_type) + value(severity) + value(None) + value(None)


def registration(zone, name, outputs=None):
    """name: a length of 'a's, or the bytes of a text."""
    flags = 1 if outputs is not None else 0
    written = small_dword(outputs[0]) + small_dword(outputs[1]) if outputs is not None else b""
    return bytes([zone, flags]) + (text(name) if isinstance(name, int) else name) + written


def entry(zone, severity, repeated, repeats, tail, source=False):
    return (bytes([zone, severity, 2 if source else 0]) + text(4 if source else 0) + repeated + bytes([repeats]) +
            tail + bytes([0]))


def logger_seeds():
    file_output = bytes([3]) + settings(output_type=3)
    seeds = {}
    # Zone 1, DebLog: a line is 25 characters and the message.
    for line, (repeated, repeats, tail) in {1023: (text(9), 110, text(8)), 1024: (text(9), 111, text(0)),
                                            1025: (text(10), 100, text(0))}.items():
        seeds["line-%d" % line] = file_output + bytes([0, 1]) + entry(1, 3, repeated, repeats, tail)
    zones = [registration(127, 31), registration(128, 1), registration(5, 32), registration(6, 8),
             registration(7, 9, outputs=(3, 1)), registration(8, 259), registration(9, bytes([3, 2, 0xE9, 2])),
             registration(10, bytes([3, 3, 0xF3, 3]))]
    entries = [entry(z, 4, text(1), 1, text(0), source=True) for z in (127, 5, 6, 7, 8, 9, 10)]
    seeds["zones-at-limits"] = file_output + bytes([len(zones)]) + b"".join(zones) + bytes([len(entries)]) + b"".join(
        entries)
    seeds["executable-key"] = bytes([7]) + settings(output_type=2) + settings(output_type=3, severity=1) + bytes(
        [0, 1]) + entry(65, 1, text(3), 2, text(0))
    seeds["logger-key-without-zone-key"] = bytes([1]) + settings(output_type=3) + bytes([1]) + registration(
        9, 2) + bytes([1]) + entry(9, 3, text(1), 1, text(0))
    return seeds


def edit_case_seeds():
    """Steps whose every answer the model knows: case rules, finding, moving, removing."""
    # Names that differ only in case: set and remove match exactly, lookups do not.
    a, big_a = text(1, 0), text(1, 1)
    seeds = {}
    seeds["attribute-case"] = (step(0, SET_STRING, a, text(1, 4)) + step(0, SET_STRING, big_a, text(2, 4)) +
                               step(0, QUERY, big_a) + step(0, REMOVE_ATTR, text(1, 2)) + step(0, REMOVE_ATTR, a) +
                               step(0, QUERY, a) + step(0, SET_STRING, big_a, text(1, 5)) +
                               step(0, SET_COLOUR, a, bytes([77, 60, 43, 255])) + step(0, QUERY, big_a))
    # Items found by name, a child moved under another, one removed twice.
    item = bytes([4, 0, 0, 0, 0])  # not "item": the alphabet has no i; a new name
    seeds["children"] = (step(0, FIND_OR_ADD, item) + step(0, FIND_OR_ADD, item) + children(0) +
                         step(0, REMOVE, bytes([1])) + step(0, REMOVE, bytes([1])) + step(2, ADD, bytes([1]), text(0)) +
                         step(1, ADD, bytes([0]), text(1, 3)) + children(2) + children(0, item) + step(0, 10))
    return seeds


def enabled_seeds():
    """Zones with thresholds and output switches of their own, asked at every severity."""
    seeds = {}
    for output_type in (0, 1, 4):
        zones = [registration(30, 3, outputs=(1, 0)), registration(31, 4, outputs=(2, 4)),
                 registration(32, 5, outputs=(3, 2)), registration(33, 6)]
        entries = [entry(zone, severity, text(1), 1, text(0)) for zone in (30, 31, 32, 33, 34) for severity in range(5)]
        seeds["enabled-output-type-%d" % output_type] = (bytes([3]) + settings(output_type=output_type) + bytes(
            [len(zones)]) + b"".join(zones) + bytes([len(entries)]) + b"".join(entries))
    return seeds


def write(target, limits, cases=None):
    """Seeds at a limit are named limit-*, seeds of one behaviour case-*."""
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in list(folder.glob("limit-*")) + list(folder.glob("case-*")):
        old.unlink()
    for prefix, seeds in (("limit-", limits), ("case-", cases or {})):
        for name, data in seeds.items():
            (folder / (prefix + name)).write_bytes(data)


if __name__ == "__main__":
    write("LoadDocumentFuzzer", load_document_seeds())
    write("TreeEditFuzzer", tree_edit_seeds(), edit_case_seeds())
    write("LoggerFuzzer", logger_seeds(), enabled_seeds())
