#!/usr/bin/env python3
"""Writes an inventory export of ROWS machines to FILE, for measuring.

The machines share PAIRS distinct pairs of BIOS version token and platform
name, drawn from a fixed seed: tokens shaped like real ones (the example
kit's MRL01 and MRL02 among them) and platform names such as Morlane-S,
Intel AMT's "Null String" or none. Each row's BIOS version is its token with
one of REVISIONS revisions (default 10000); with --distinct every row's BIOS
version is its own.

Usage: scripts/make-inventory.py FILE ROWS PAIRS [REVISIONS | --distinct]
"""
import random
import sys


def pairs(count, rng):
    shapes = ["MRL%02d", "N%02dET%02dW (1", "QX%02d", "F%d", "%d", "ZX8%d", "T%05d"]
    platforms = ["Morlane-S", "Kestrel", "Null String", "", "Osprey", "Harrier"]
    chosen = set()
    while len(chosen) < count:
        shape = rng.choice(shapes)
        numbers = tuple(rng.randrange(100) for _ in range(shape.count("%")))
        if shape == "T%05d":
            numbers = (rng.randrange(100000),)
        chosen.add((shape % numbers, rng.choice(platforms)))
    return sorted(chosen)


def main():
    path, rows, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    distinct = "--distinct" in sys.argv[4:]
    revisions = int(sys.argv[4]) if len(sys.argv) > 4 and not distinct else 10000
    rng = random.Random(20261209)
    known = pairs(count, rng)
    with open(path, "w", newline="") as out:
        out.write("name,bios_version,platform_name\n")
        lines = []
        for i in range(rows):
            token, platform = known[rng.randrange(count)]
            revision = "%08d" % i if distinct else "%04d" % rng.randrange(revisions)
            lines.append("PC%08d,%s.%s,%s\n" % (i, token, revision, platform))
            if len(lines) == 100000:
                out.write("".join(lines))
                lines = []
        out.write("".join(lines))


main()
