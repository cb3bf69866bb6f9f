#!/usr/bin/env python3
"""Writes an inventory export of ROWS machines to FILE.

A fleet for rehearsing a rollout (without PAIRS): with --hashes NEW OLD...,
the kits of the release that goes out and of the releases before it, the
machines stand on every platform the kits list (by a BIOS version whose
token is a type 0 entry, or by a platform name of a type 130 entry) and a
few on none. Each reports its installed maps (columns ac_sha256 and
dc_sha256): most have the new release's maps, some an old release's, some
a map swapped or bytes nobody released, some none.

A fleet for measuring (with PAIRS): the machines share PAIRS distinct
pairs of BIOS version token and platform name, drawn from a fixed seed:
tokens shaped like real ones and platform names such as Morlane-S, Intel
AMT's "Null String" or none. Each row's BIOS version is its token with one
of REVISIONS revisions (default 10000); with --distinct every row's BIOS
version is its own. With --hashes KIT..., each pair has a few combinations
of installed maps, drawn from the maps of the kits, from bytes nobody
released, or none.

With --written, each row also says when it was written (column written, a
time within the 60 days before 2026-12-10), as the checker's own rows do.

With --share, FILE is a folder that receives one file per machine, as each
machine writes its own row with the checker (its CSV: the header, then the
row, with its time): plain UTF-8, UTF-8 with a byte-order mark, or UTF-16
with one, as PowerShell writes files.

Every fleet comes from a fixed seed: the same arguments give the same bytes.

Usage: scripts/make-inventory.py FILE ROWS --hashes NEW [OLD...] [--share] [--written]
       scripts/make-inventory.py FILE ROWS PAIRS [REVISIONS | --distinct]
                                 [--share] [--written] [--hashes KIT...]
"""
import hashlib
import os
import random
import sys

OWN_HEADER = ("name,bios_version,platform_name,token,table,key,folder,"
              "ac_installed,dc_installed,ac_sha256,dc_sha256,release,written,error\n")


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


def map_hashes(kits):
    """The SHA-256 of every thermal map in the kits, by name."""
    found = []
    for kit in kits:
        for folder, _, files in sorted(os.walk(kit)):
            for name in sorted(files):
                if name.startswith("ThermalMap_"):
                    with open(os.path.join(folder, name), "rb") as data:
                        found.append(hashlib.sha256(data.read()).hexdigest())
    return found


def installed_choices(count, kits, rng):
    """For each pair, three (AC, DC) hash cells its machines report."""
    known = map_hashes(kits)
    rogue = [hashlib.sha256(b"rogue %d" % i).hexdigest() for i in range(2)]
    cells = known + rogue + [""]
    return [[(rng.choice(cells), rng.choice(cells)) for _ in range(3)] for _ in range(count)]


def kit_entries(kit):
    """The type 0 and type 130 entries of a kit's table, each with its folder."""
    entries = {"[DMI_Type0_Table]": {}, "[DMI_Type130_Table]": {}}
    section = None
    with open(os.path.join(kit, "KORVPlatformTable.ini"), encoding="latin-1") as table:
        for line in table:
            line = line.strip()
            if line.startswith("["):
                section = entries.get(line)
            elif section is not None and "=" in line and not line.startswith("TOTAL_NUM"):
                value = line.split("=", 1)[1]
                section.setdefault(value, value)
    return entries["[DMI_Type0_Table]"], entries["[DMI_Type130_Table]"]


def folder_maps(kit, token, platform):
    """The AC and DC hash cells a kit installs for a machine: the token's
    type 0 entry wins over the platform name's type 130 entry."""
    type0, type130 = kit_entries(kit)
    folder = type0.get(token) or type130.get(platform)
    if folder is None:
        return None
    cells = []
    for name in ("ThermalMap_AC.ini", "ThermalMap_DC.ini"):
        path = os.path.join(kit, folder, name)
        cells.append(hashlib.sha256(open(path, "rb").read()).hexdigest() if os.path.exists(path) else "")
    return tuple(cells)


def rehearsal(kits, rng):
    """The machines' pairs and, for each, the installed maps it may report."""
    tokens, platforms = set(), set()
    for kit in kits:
        type0, type130 = kit_entries(kit)
        tokens.update(type0)
        platforms.update(type130)
    # By a token (any platform name), by a platform name (a token no kit
    # lists), or on no platform the kits know.
    # Each platform the kits list stands for many machines, the unknown
    # for a few.
    known = [(token, rng.choice(sorted(platforms) + [""])) for token in sorted(tokens)]
    known += [("B%02dX" % i, platform) for i, platform in enumerate(sorted(platforms))]
    known = known * 12 + [("ZZ%02d" % i, "Unknown-Board") for i in range(2)]
    rogue = hashlib.sha256(b"rogue").hexdigest()
    choices = []
    for token, platform in known:
        new, old = folder_maps(kits[0], token, platform), [folder_maps(k, token, platform) for k in kits[1:]]
        cells = [new] * 13 + [o for o in old if o] * 4
        if new:
            cells += [(new[1], new[0]), (new[0], rogue)]
        cells += [("", "")]
        choices.append([c for c in cells if c])
    return known, choices


def main():
    args = sys.argv[1:]
    if len(args) < 2 or "--help" in args:
        sys.exit(__doc__)
    kits = args[args.index("--hashes") + 1:] if "--hashes" in args else None
    if kits is not None:
        args = args[:args.index("--hashes")]
    share = "--share" in args
    distinct = "--distinct" in args
    written = "--written" in args or share
    args = [a for a in args if a not in ("--share", "--distinct", "--written")]
    path, rows = args[0], int(args[1])
    rng = random.Random(20261209)
    if len(args) > 2:
        count = int(args[2])
        revisions = int(args[3]) if len(args) > 3 else 10000
        known = pairs(count, rng)
        choices = installed_choices(count, kits, rng) if kits is not None else None
    elif kits:
        revisions = 10000
        known, choices = rehearsal(kits, rng)
        count = len(known)
    else:
        sys.exit("usage: make-inventory.py FILE ROWS --hashes NEW [OLD...] | FILE ROWS PAIRS ...")

    def row(i):
        number = rng.randrange(count)
        token, platform = known[number]
        revision = "%08d" % i if distinct else "%04d" % rng.randrange(revisions)
        cells = ["PC%08d" % i, "%s.%s" % (token, revision), platform]
        if choices is not None:
            ac, dc = rng.choice(choices[number])
            states = ["in place" if cell else "not installed" for cell in (ac, dc)]
            cells += ["", "", "", ""] + states + [ac, dc, ""] if share else [ac, dc]
        if written:
            seconds = rng.randrange(60 * 86400)
            days, rest = divmod(seconds, 86400)
            month, day = (12, 10 - days) if days < 10 else (11, 40 - days) if days < 40 else (10, 71 - days)
            cells.append("2026-%02d-%02dT%02d:%02d:%02dZ" % (month, day, rest // 3600, rest // 60 % 60, rest % 60))
        if share:
            cells.append("")
        return ",".join(cells) + "\n"

    if share:
        os.makedirs(path, exist_ok=True)
        for i in range(rows):
            text = OWN_HEADER + row(i)
            encoding = ("utf-8", "utf-8-sig", "utf-16")[i % 3]
            with open(os.path.join(path, "PC%08d.csv" % i), "w", newline="", encoding=encoding) as out:
                out.write(text.replace("\n", "\r\n"))
        return
    with open(path, "w", newline="") as out:
        out.write("name,bios_version,platform_name" + (",ac_sha256,dc_sha256" if kits is not None else "") +
                  (",written" if written else "") + "\n")
        lines = []
        for i in range(rows):
            lines.append(row(i))
            if len(lines) == 100000:
                out.write("".join(lines))
                lines = []
        out.write("".join(lines))


main()
