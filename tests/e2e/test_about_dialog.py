"""The About dialog as a user meets it, through testing/about_driver (the saver's start-up, its
template and version resource): its texts, and "Check for updates" starting the installed
Renewick, which fetches the update INI from the loopback server and asks."""
import os
import shutil
import subprocess
import time

from test_renewick import IDNO, IDOK, RenewickTestCase
from winetest import WINE, program

INSTALL_DIR = r"C:\Duskpanel"
PRODUCT_KEY = r"HKLM\Software\Nerovane\Duskpanel"
IDC_VERSION_LINE, IDC_COPYRIGHT, IDC_CHECK_UPDATES = 1044, 1043, 1047
IDC_HOME_LINK, IDC_SUPPORT_LINK = 1052, 1053


class AboutDialog(RenewickTestCase):
    prefix_name = "about-dialog"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        install = cls.wine.unix_path(INSTALL_DIR)
        os.makedirs(install, exist_ok=True)
        shutil.copy(program("Renewick.exe"), install)
        with open(os.path.join(install, "URLinfo.ini"), "w", newline="") as f:
            f.write(f"[public]\r\nhome={cls.server.url('home/')}\r\n"
                    f"support={cls.server.url('support/')}\r\n"
                    f"update={cls.server.url('update.ini')}\r\n")
        cls.wine.reg_add(PRODUCT_KEY, "Setup Path", INSTALL_DIR)

    def start_about(self):
        process = subprocess.Popen([WINE, program("about_driver.exe")], env=self.wine.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.started.append(process)
        return process

    def test_check_for_updates_starts_renewick_which_asks_about_the_new_version(self):
        self.write_ini("2.1")
        about = self.start_about()
        dialog = self.find("About Duskpanel")
        self.assertIsNotNone(dialog, "no About dialog")
        # Written down, not read from the build or formed as the product forms it.
        self.assertEqual(dialog.text(IDC_VERSION_LINE), "Duskpanel  Version 2.0")
        year = time.localtime().tm_year
        self.assertEqual(dialog.text(IDC_COPYRIGHT), f"Copyright (C) 2010-{year} Nerovane")
        self.assertEqual(dialog.text(IDC_HOME_LINK), "HomePage")
        self.assertEqual(dialog.text(IDC_SUPPORT_LINK), "Support")
        self.assertEqual(dialog.text(IDC_CHECK_UPDATES), "Check for updates")
        self.assertEqual(dialog.text(IDOK), "OK")

        self.press(dialog, IDC_CHECK_UPDATES)
        question = self.find("Renewick", "New version is:2.1, update now?")
        self.assertIsNotNone(question, "Renewick did not ask")
        updater = self.find("Renewick for Duskpanel")
        self.assertIsNotNone(updater, "no update dialog")
        self.assertTrue(self.requested("update.ini"), self.new_requests())
        # The About dialog has closed, and its program with it: the update replaces it.
        self.assertEqual(self.assert_ends(about), 0)
        self.press(question, IDNO)
        self.assertTrue(self.wait_gone(updater), "Renewick still runs")
