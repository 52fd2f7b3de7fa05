#!/usr/bin/env python3
"""snmpd "pass" script: a colour laser printer's Printer MIB supply table
(prtMarkerSuppliesTable and prtMarkerColorantTable) for the app's tests.
snmpd runs it as  printer-mib.py -g OID  (get) or  -n OID  (get next) and
reads three lines: the OID, its type, its value; nothing for no such OID."""
import sys

SUPPLIES = "1.3.6.1.2.1.43.11.1.1"
COLORANTS = "1.3.6.1.2.1.43.12.1.1.4"
# index: colorant, class (3 consumed, 4 filled), type (21 toner cartridge,
# 4 waste toner, 9 drum), description, max capacity, level
ROWS = {
    1: (1, 3, 21, "Black Toner Cartridge", 100, 80),
    2: (2, 3, 21, "Cyan Toner Cartridge", 2000, 500),
    3: (0, 4, 4, "Waste Toner Box", 100, 30),
    4: (0, 3, 9, "Imaging Drum", -2, -3),
}
COLUMNS = {3: 0, 4: 1, 5: 2, 6: 3, 8: 4, 9: 5}

table = {}
for row, values in ROWS.items():
    for column, at in COLUMNS.items():
        value = values[at]
        table["%s.%d.1.%d" % (SUPPLIES, column, row)] = ("string", value) if isinstance(value, str) else ("integer", value)
table[COLORANTS + ".1.1"] = ("string", "black")
table[COLORANTS + ".1.2"] = ("string", "cyan")


def key(oid):
    return [int(arc) for arc in oid.strip(".").split(".")]


def main(mode, oid):
    oid = oid.strip(".")
    if mode == "-g":
        found = oid if oid in table else None
    else:
        later = [name for name in table if key(name) > key(oid)]
        found = min(later, key=key) if later else None
    if found:
        kind, value = table[found]
        print("." + found)
        print(kind)
        print(value)


if __name__ == "__main__" and len(sys.argv) == 3:
    main(sys.argv[1], sys.argv[2])
