#!/usr/bin/env python3
"""Draws the symbol list window's glyphs and cursor as XPM images.

The art is kept here as character grids; run this script to write
ui/resources/*.xpm again after changing it.
"""
import os

OUT = os.path.join(os.path.dirname(__file__), "..", "ui", "resources")

# 5x7 letters for the category badges.
LETTERS = {
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
}


def badge(letter):
    """A rounded square with a white letter in it."""
    rows = []
    for y in range(16):
        row = ""
        for x in range(16):
            inside = 1 <= x <= 14 and 1 <= y <= 14
            corner = (x in (1, 14)) and (y in (1, 14))
            if not inside or corner:
                row += "."
            elif x in (1, 14) or y in (1, 14):
                row += "o"  # darker rim
            else:
                row += "c"
        rows.append(list(row))
    glyph = LETTERS[letter]
    for gy, line in enumerate(glyph):
        for gx, ch in enumerate(line):
            if ch == "#":
                rows[4 + gy][5 + gx] = "w"
                rows[4 + gy][6 + gx] = "w" if rows[4 + gy][6 + gx] != "w" else "w"
    # Bold: thicken each stroke one pixel to the right.
    return ["".join(r) for r in rows]


BOOKMARK = [
    "................",
    "...oooooooooo...",
    "...occcccccco...",
    "...occcccccco...",
    "...occcwwcccco..",
    "...occwwwwccco..",
    "...occwwwwccco..",
    "...occcwwcccco..",
    "...occcccccco...",
    "...occcccccco...",
    "...occcccccco...",
    "...occcoocccco..",
    "...occo..occco..",
    "...oco....occo..",
    "...oo......oo...",
    "................",
]

GO = [
    "................",
    "................",
    "....oo..........",
    "....occo........",
    "....occcco......",
    "....occccccoo...",
    "....occccccccoo.",
    "....occcccccccco",
    "....occcccccccco",
    "....occccccccoo.",
    "....occccccoo...",
    "....occcco......",
    "....occo........",
    "....oo..........",
    "................",
    "................",
]

ABORT = [
    "................",
    "................",
    "..oo........oo..",
    "..occo....occo..",
    "...occo..occo...",
    "....occooccco...",
    ".....occcco.....",
    "......occo......",
    "......occo......",
    ".....occcco.....",
    "....occooccco...",
    "...occo..occo...",
    "..occo....occo..",
    "..oo........oo..",
    "................",
    "................",
]

ABOUT = [
    "................",
    ".....oooooo.....",
    "...oocccccccoo..",
    "..occcccwwcccco.",
    "..occcccwwcccco.",
    ".occcccccccccco.",
    ".occccwwwwccccco",
    ".occcccwwwcccco.",
    ".occcccwwwcccco.",
    ".occcccwwwcccco.",
    "..occccwwwccco..",
    "..occcwwwwwcco..",
    "...oocccccccoo..",
    ".....oooooo.....",
    "................",
    "................",
]

CHECK = [
    "................",
    "................",
    "............oo..",
    "...........occo.",
    "..........occo..",
    ".........occo...",
    "..oo....occo....",
    ".occo..occo.....",
    "..occooccco.....",
    "...occccco......",
    "....occco.......",
    ".....oco........",
    "......o.........",
    "................",
    "................",
    "................",
]

# A pointing hand; its hot spot is the tip of the finger at (5, 0).
HAND = [
    ".....oo.........",
    "....owwo........",
    "....owwo........",
    "....owwo........",
    "....owwoooo.....",
    "....owwowwoooo..",
    ".oo.owwowwowwoo.",
    "owwoowwwwwwwwwo.",
    "owwwowwwwwwwwwo.",
    ".owwwwwwwwwwwwo.",
    "..owwwwwwwwwwwo.",
    "..owwwwwwwwwwo..",
    "...owwwwwwwwwo..",
    "....owwwwwwwo...",
    "....owwwwwwwo...",
    "....ooooooooo...",
]


def write(name, rows, colours):
    """Writes a 16x16 (or any size) XPM with '.' transparent."""
    used = sorted({c for row in rows for c in row})
    lines = ["/* XPM */", "static const char *%s[] = {" % name.replace("-", "_"),
             '"%d %d %d 1",' % (len(rows[0]), len(rows), len(used))]
    for c in used:
        lines.append('"%s c %s",' % (c, "None" if c == "." else colours[c]))
    for i, row in enumerate(rows):
        lines.append('"%s"%s' % (row, "," if i + 1 < len(rows) else ""))
    lines.append("};")
    with open(os.path.join(OUT, name + ".xpm"), "w") as f:
        f.write("\n".join(lines) + "\n")


def picture():
    """The About dialog's 80x70 picture: a falcon's wing over a sky."""
    rows = []
    for y in range(70):
        row = ""
        for x in range(80):
            # sky gradient in four bands
            band = "abcd"[min(3, y * 4 // 70)]
            # a stylised wing: a wide triangle with feathers
            dx, dy = x - 14, y - 18
            in_wing = 0 <= dx <= 56 and dy >= dx * 0.35 - 2 and dy <= dx * 0.7 + 6 and dy <= 44
            feather = in_wing and (dx // 7) % 2 == 0 and dy > dx * 0.55
            body = (x - 20) ** 2 / 90 + (y - 30) ** 2 / 40 <= 1
            eye = (x - 17) ** 2 + (y - 27) ** 2 <= 2
            if eye:
                row += "k"
            elif body:
                row += "r"
            elif feather:
                row += "s"
            elif in_wing:
                row += "t"
            else:
                row += band
        rows.append(row)
    return rows


def main():
    os.makedirs(OUT, exist_ok=True)
    outline = {"o": "#1f2d3d", "w": "#ffffff"}
    for letter, name, fill, rim in [("D", "declaration", "#3b7dd8", "#1f4f96"),
                                    ("P", "procedure", "#2e9b4f", "#1b6433"),
                                    ("F", "function", "#8a4fc7", "#5b2d8c")]:
        write(name, badge(letter), {"c": fill, "o": rim, "w": "#ffffff"})
    write("bookmark", BOOKMARK, {"c": "#d9342b", "o": "#7d1510", "w": "#ffffff"})
    write("go", GO, {"c": "#2e9b4f", "o": "#1b6433"})
    write("go-disabled", GO, {"c": "#c4c4c4", "o": "#8a8a8a"})
    write("abort", ABORT, {"c": "#d9342b", "o": "#7d1510"})
    write("about", ABOUT, {"c": "#3b7dd8", "o": "#1f4f96", "w": "#ffffff"})
    write("about-disabled", ABOUT, {"c": "#c4c4c4", "o": "#8a8a8a", "w": "#ffffff"})
    write("ok", CHECK, {"c": "#2e9b4f", "o": "#1b6433"})
    write("HAND16", HAND, outline)
    write("program", picture(), {"a": "#9cc3ec", "b": "#b3d1f1", "c": "#cadff5",
                                 "d": "#e0edf9", "r": "#8c5a2b", "s": "#5e3a17",
                                 "t": "#b07a43", "k": "#111111"})


if __name__ == "__main__":
    main()
