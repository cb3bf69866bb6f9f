#!/usr/bin/env python3
"""Writes COUNT hostile kit tables into FOLDER, from a fixed seed, and the
list of lookups that profile_lookups answers for them: each table's count,
every numbered key up to one past it, "Ver" and a few odd names.

The tables mix what the profile reader must get right: four encodings,
three kinds of line end, blanks (Ctrl-Z among them) around names and
values, quotes, comments, repeated sections and keys, keys without "=",
values near the cut at 99 characters, zero bytes and stray bytes.

Usage: make_hostile_tables.py FOLDER COUNT
"""
import os
import random
import sys

BLANKS = [" ", "\t", "\x0b", "\x0c", "\x1a", "  "]
ODD_KEYS = ["01", "+1", "-1", " 1", "1 ", "1x", "total_num", "TOTAL_NUM ", ";1", "", "=", "Ver "]


def blank(rng):
    return rng.choice(BLANKS) if rng.random() < 0.25 else ""


def value(rng):
    kind = rng.random()
    if kind < 0.15:
        length = rng.choice([97, 98, 99, 100, 101, 150])
        text = "".join(rng.choice("ABCxyz019.-") for _ in range(length))
    elif kind < 0.25:
        text = rng.choice(["N/A", "Null String", "", ".", "MRL01", "Morlane-S"])
    else:
        text = "".join(rng.choice("ABCDEFmrl0123456789.-_ ") for _ in range(rng.randint(1, 12)))
    quote = rng.random()
    if quote < 0.1:
        text = '"' + text + '"'
    elif quote < 0.15:
        text = "'" + text + "'"
    elif quote < 0.18:
        text = '"' + text
    elif quote < 0.2:
        text = '"' + text + "'"
    if rng.random() < 0.03:
        text = text[: len(text) // 2] + "\0" + text[len(text) // 2:]
    if rng.random() < 0.05:
        text += rng.choice(["\xe9", "\x80", "\u20ac", "\xff"])
    return text


def table(rng):
    lines = []
    if rng.random() < 0.2:
        lines.append("orphan=line before any section")
    sections = []
    for name in ["Version", "DMI_Type0_Table", "DMI_Type130_Table"]:
        if rng.random() < 0.9:
            sections.append(name)
    if rng.random() < 0.2:
        sections.append(rng.choice(sections or ["Version"]).upper())  # repeated
    rng.shuffle(sections)
    count = rng.choice([0, 1, 2, 3, 5, 8])
    for name in sections:
        header = "[" + blank(rng) + name + blank(rng) + "]"
        if rng.random() < 0.05:
            header += " trailing"
        if rng.random() < 0.03:
            header = "[" + name  # never closed
        lines.append(blank(rng) + header)
        if rng.random() < 0.2:
            lines.append("; a comment=" + value(rng))
        if name.lower() == "version":
            tag = rng.choice(["Morlane_V4.0.0.4", "morlane_v4.0.0.4", " Morlane_V4.0.0.4 ",
                              '"Morlane_V4.0.0.4"', "Morlane_V4.0.0.3", ""])
            lines.append(blank(rng) + rng.choice(["Ver", "ver", "VER"]) + blank(rng) + "=" + tag)
            continue
        written = rng.choice([str(count), " %dx" % count, "+%d" % count, "-1", "", "99999999999"])
        lines.append(blank(rng) + "TOTAL_NUM" + blank(rng) + "=" + blank(rng) + written + blank(rng))
        for number in range(1, count + 2):
            if rng.random() < 0.15:
                continue
            key = str(number)
            if rng.random() < 0.05:
                lines.append(blank(rng) + key)  # no "="
                continue
            lines.append(blank(rng) + key + blank(rng) + "=" + blank(rng) + value(rng) + blank(rng))
            if rng.random() < 0.05:
                lines.append(key + "=" + value(rng))  # repeated
        for odd in rng.sample(ODD_KEYS, 2):
            lines.append(odd + "=" + value(rng))
    if rng.random() < 0.05:
        lines.insert(rng.randrange(len(lines) + 1), "\x1a")
    end = rng.choice(["\r\n", "\n", "\r"])
    text = end.join(lines) + (end if rng.random() < 0.8 else "")
    encoding = rng.random()
    if encoding < 0.1:
        return b"\xff\xfe" + text.encode("utf-16-le", "surrogatepass"), count
    if encoding < 0.15:
        return b"\xfe\xff" + text.encode("utf-16-be", "surrogatepass"), count
    if encoding < 0.25:
        return b"\xef\xbb\xbf" + text.encode("utf-8"), count
    data = text.encode("cp1252", "replace")
    if rng.random() < 0.05:
        data = data.replace(b"x", b"\x81", 1)  # a byte that Windows-1252 leaves unassigned
    return data, count


def hexed(text):
    return "".join("%04X" % unit for unit in
                   [int.from_bytes(text.encode("utf-16-le")[i:i + 2], "little")
                    for i in range(0, len(text.encode("utf-16-le")), 2)]) or "-"


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(20261209)
    os.makedirs(folder, exist_ok=True)
    lookups = []
    for i in range(count):
        name = "t%04d.ini" % i
        data, numbers = table(rng)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
        path = os.path.basename(folder) + "/" + name
        asks = [("Version", "Ver"), (" version ", "VER"), ("", "orphan")]
        for section in ["DMI_Type0_Table", "DMI_Type130_Table"]:
            asks.append((section, "TOTAL_NUM"))
            asks += [(section, str(n)) for n in range(1, numbers + 2)]
            asks += [(section, odd) for odd in rng.sample(["01", "+1", " 1", "total_num", ";1", ""], 2)]
        lookups += ["%s %s %s" % (hexed(path), hexed(s), hexed(k)) for s, k in asks]
    with open(os.path.join(os.path.dirname(os.path.abspath(folder)), "lookups.txt"), "w") as out:
        out.write("\n".join(lookups) + "\n")
    print(len(lookups))


main()
