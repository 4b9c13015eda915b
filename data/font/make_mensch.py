#!/usr/bin/env python3
"""Writes the interface font: DejaVu Sans with its family renamed to Mensch.

The lookup dialog shows IPA symbols, which DejaVu Sans covers; renaming
the family lets the program ask for it by a name no system font takes.
Usage: make_mensch.py SOURCE.ttf TARGET.ttf
"""
import sys

from fontTools.ttLib import TTFont

FAMILY = "Mensch"


def main(source, target):
    font = TTFont(source)
    names = font["name"]
    style = "Book"
    for record in names.names:
        if record.nameID == 2:
            style = record.toUnicode()
            break
    renamed = {
        1: FAMILY,                       # family
        3: f"{FAMILY}:{style}",          # unique identifier
        4: f"{FAMILY} {style}".strip(),  # full name
        6: f"{FAMILY}-{style}".replace(" ", ""),  # PostScript name
        16: FAMILY,                      # typographic family
    }
    for record in names.names:
        if record.nameID in renamed:
            record.string = renamed[record.nameID]
    font.save(target)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
