#!/usr/bin/env python3
"""utf16_ini.py SOURCE TARGET: writes the UTF-8 INI file SOURCE as UTF-16 LE with a byte-order
mark and CRLF line ends, the form in which the platform's INI reader takes non-ANSI text."""
import sys


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        lines = f.read().splitlines()
    with open(target, "wb") as f:
        f.write(("\ufeff" + "\r\n".join(lines) + "\r\n").encode("utf-16-le"))


if __name__ == "__main__":
    main()
