"""What the shipped programs import: every imported library is loaded by every start of the
program, whatever the mode. Libraries only one mode needs are bound at run time instead."""
import re
import subprocess
import unittest

from winetest import program

OBJDUMP = "x86_64-w64-mingw32-objdump"

# program -> libraries it must not import (bound at run time where they are needed)
NOT_IMPORTED = [
    ("Duskpanel.scr", {"gdiplus.dll", "comctl32.dll"}),  # the overlay; dialogs and tooltips
    ("Renewick.exe", {"gdiplus.dll", "comctl32.dll"}),   # dialogs and the progress bar
]


def imported_libraries(path):
    out = subprocess.run([OBJDUMP, "-p", path], capture_output=True, text=True, check=True).stdout
    return {name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)", out, re.MULTILINE)}


class ImportTest(unittest.TestCase):
    def test_libraries_bound_at_run_time_are_not_imported(self):
        for name, forbidden in NOT_IMPORTED:
            with self.subTest(program=name):
                imported = imported_libraries(program(name))
                self.assertIn("kernel32.dll", imported)  # the table was read at all
                self.assertFalse(imported & forbidden, sorted(imported))


if __name__ == "__main__":
    unittest.main()
