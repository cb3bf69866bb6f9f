#!/usr/bin/env python3
"""Writes COUNT firmware dumps of 18 machines into FOLDER, for measuring.

Each machine has a table shaped like a real one (BIOS, system, board,
chassis, processors, caches, ports, slots, memory devices, OEM strings,
some with a type 130 structure, an end-of-table structure) of 2 to 6 KB.
The dumps take the four formats in turn: a RawSMBIOSData block, an "_SM_"
dump, an "_SM3_" dump whose table is shorter than its maximum size, and a
bare table.

Usage: scripts/make-fleet.py FOLDER COUNT
"""
import os
import struct
import sys


def structure(kind, handle, formatted, strings):
    body = bytes([kind, 4 + len(formatted)]) + struct.pack("<H", handle) + bytes(formatted)
    if not strings:
        return body + b"\0\0"
    return body + b"".join(s + b"\0" for s in strings) + b"\0"


def machine_table(number):
    vendors = [b"Contoso Ltd", b"Fabrikam, Inc.", b"Northwind Traders"]
    versions = [b"MRL01.0105", b"MRL02.0031", b"N22ET52W (1.29 )", b"3.00      ", b"1.60",
                b"QX70.0203.A", b"MRL01.0107", b"F.42", b"090008 "]
    version = versions[number % len(versions)]
    if number >= len(versions):
        version = version.replace(b"0", b"1", 1)
    parts = [structure(0, 0, [1, 2, 0, 0xE8, 3, 0xFF] + [0x90] * 8 + [3, 0xE8, 1, 2, 0, 0, 0, 0, 0x40, 0],
                       [vendors[number % 3], version, b"12/%02d/2026" % (1 + number)])]
    parts.append(structure(1, 1, [1, 2, 3, 4] + [number] * 16 + [6, 5, 6],
                           [vendors[number % 3], b"Model %d" % number, b"1.0", b"SN%08d" % number,
                            b"SKU%d" % number, b"Family"]))
    parts.append(structure(2, 2, [1, 2, 3, 4, 5, 9, 6, 3, 0, 10, 0, 0],
                           [vendors[number % 3], b"Board %d" % number, b"A0", b"BSN%d" % number,
                            b"Tag", b"Chassis"]))
    parts.append(structure(3, 3, [1, 10, 2, 3, 4, 3, 3, 3, 3, 0, 0, 0, 0, 1, 0, 0, 0],
                           [vendors[number % 3], b"1.0", b"CSN%d" % number, b"Asset"]))
    for cpu in range(1 + number % 2):
        parts.append(structure(4, 0x10 + cpu, [1, 3, 0xC6, 2] + [0xA5] * 8 + [3, 0x8A, 0x64, 0, 0x40, 0x1F,
                               0x40, 0x1F, 0x41, 0x0F, 0x20, 0, 0x21, 0, 0x22, 0, 4, 5, 6, 8, 8, 16, 0xEC, 0, 0xC6, 0],
                               [b"CPU%d" % cpu, b"Intel(R) Corporation", b"Processor %d" % cpu,
                                b"To Be Filled", b"Asset", b"Part"]))
    for cache in range(6):
        parts.append(structure(7, 0x20 + cache, [1, 0x80, 1, 0, 1, 0, 1, 0x20, 0, 0x20, 0, 0, 5, 5, 8],
                               [b"L%d Cache" % (1 + cache % 3)]))
    for port in range(40 + 4 * (number % 10)):
        parts.append(structure(8, 0x40 + port, [1, 0, 2, 0x10, 0x10],
                               [b"J%d" % port, b"USB %d" % port]))
    for slot in range(8 + number % 5):
        parts.append(structure(9, 0x80 + slot, [1, 0xA6, 0x0D, 3, 4, slot, 0, 4, 1, 0, 0, 0, 0x08],
                               [b"SLOT%d" % slot]))
    parts.append(structure(11, 0xA0, [4], [b"OEM string %d" % i for i in range(4)]))
    for dimm in range(4 + 4 * (number % 4)):
        parts.append(structure(17, 0xB0 + dimm, [0, 0x10, 0xFE, 0xFF, 0x40, 0, 0x40, 0, 0, 0x20, 0x0D, 1, 2,
                               0x1A, 0x80, 0, 0x80, 0x0C, 3, 4, 5, 6, 2, 0, 0, 0, 0, 0x80, 0x0C, 0xB0, 4],
                               [b"DIMM %d" % dimm, b"BANK %d" % dimm, b"Samsung", b"%08X" % dimm,
                                b"Asset", b"M471A1K43DB1-CWE"]))
    if number % 3 == 0:
        parts.append(structure(130, 0xC0, [1, 0, 0, 0], [b"Morlane-S" if number % 6 == 0 else b"Kestrel"]))
    if number % 3 == 1:
        parts.append(structure(130, 0xC0, [ord("$"), ord("A"), ord("M"), ord("T")] + [0] * 12, []))
    parts.append(structure(127, 0xFFFF, [], []))
    return b"".join(parts)


def dumps(table, version):
    raw = struct.pack("<BBBBI", 0, version[0], version[1], 0, len(table)) + table
    sm = bytearray(0x20)
    sm[0:4] = b"_SM_"
    sm[6:8] = bytes(version)
    sm[0x10:0x15] = b"_DMI_"
    struct.pack_into("<HI", sm, 0x16, len(table), 0x20)
    sm[0x1E] = version[0] << 4 | version[1]
    sm[5] = 0x1F
    sm[0x15] = -sum(sm[0x10:0x1F]) & 0xFF
    sm[4] = -sum(sm[0:0x1F]) & 0xFF
    sm3 = bytearray(0x20)
    sm3[0:5] = b"_SM3_"
    sm3[6:10] = bytes([0x18, 3, 5, 0])
    sm3[10] = 1
    struct.pack_into("<IQ", sm3, 0x0C, len(table) + 1486, 0x20)
    sm3[5] = -sum(sm3[0:0x18]) & 0xFF
    return [raw, bytes(sm) + table, bytes(sm3) + table, table]


def main():
    if len(sys.argv) != 3 or "--help" in sys.argv:
        sys.exit(__doc__)
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    machines = [dumps(machine_table(n), [2, 8] if n % 2 else [3, 2]) for n in range(18)]
    for i in range(count):
        with open(os.path.join(folder, "machine%05d.bin" % i), "wb") as out:
            out.write(machines[i % 18][(i // 18) % 4])


main()
