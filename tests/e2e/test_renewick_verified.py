"""Renewick acts only on the offer the update INI vouches for. A build with a vendor key
(testing/signed_renewick/Renewick.exe, whose key pair the build made) believes nothing of an
offer, not even its version, before the "signature" that package/sign_update.py (./dev
sign-update) writes holds over the version, download address, parameters and SHA-256; the
setup's SHA-256 is then checked. Without a key, "sha256" is checked whenever given. A setup
that fails is deleted and never started; the user is told.
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import unittest

from test_renewick import IDOK, IDYES, RenewickTestCase
from winetest import HERE, build_dir, program


SIGNED = os.path.join(build_dir(), "testing", "signed_renewick")
SIGN_TOOL = os.path.join(os.path.dirname(HERE), "package", "sign_update.py")


class VerifiedSetup(RenewickTestCase):
    prefix_name = "renewick-verified"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        with open(program("fake_setup.exe"), "rb") as f:
            cls.setup_bytes = f.read()
        cls.server.put("fake_setup.exe", cls.setup_bytes)
        cls.plain = cls.renewick
        cls.with_key = os.path.join(SIGNED, "Renewick.exe")
        cls.key = os.path.join(SIGNED, "key", "private.pem")  # the half built in is public

    def offer(self, version="2.1", sha=None, x64_setup=None):
        """The update INI; with x64_setup, an offer of the 64-bit setup beside the plain one."""
        sha = hashlib.sha256(self.setup_bytes).hexdigest() if sha is None else sha
        text = (f"[public]\r\nversion={version}\r\n[A]\r\n"
                f"download_path={self.server.url('fake_setup.exe')}\r\nsetup_param=/S\r\n"
                + (f"sha256={sha}\r\n" if sha else ""))
        if x64_setup:
            text += (f"download_path_x64={self.server.url(x64_setup)}\r\nsetup_param_x64=/S\r\n"
                     f"sha256_x64={hashlib.sha256(self.setup_bytes).hexdigest()}\r\n")
        return text

    def signed(self, text):
        with tempfile.NamedTemporaryFile("w", suffix=".ini", delete=False, newline="") as f:
            f.write(text)
        self.addCleanup(os.remove, f.name)
        subprocess.run([sys.executable, SIGN_TOOL, f.name, self.key], check=True, timeout=60,
                       capture_output=True)
        with open(f.name, newline="") as f:
            return f.read()

    def update(self, renewick, ini_text):
        """Runs an update from 2.0 against ini_text, answering Yes; None when the setup was
        started (and its end told), else the message the user was shown instead."""
        self.clear_downloads()
        self.server.put("update.ini", ini_text.encode("ascii"))
        self.renewick = renewick
        process = self.start(*self.saver_line("A", "Duskpanel", "2.0",
                                              self.server.url("update.ini")))
        message, deadline = None, time.time() + 60
        while time.time() < deadline:
            if os.path.exists(self.setup_file("fake_setup.exe.txt")):
                told = self.find("Renewick", "Duskpanel 2.1 is installed.")
                self.assertIsNotNone(told, "the end of the setup is told")
                self.press(told, IDOK)
                break
            question = self.find("Renewick", "New version is:", timeout_ms=200)
            if question:
                self.press(question, IDYES)
                continue
            box = next((b for b in (self.find("Renewick", t, timeout_ms=200) for t in
                                    ("error info:", "Your already")) if b), None)
            if box:
                message = next(t for t in box.texts() if t.startswith(("error", "Your")))
                self.press(box, IDOK)
                break
        self.assertEqual(self.assert_ends(process), 0)
        if message:
            time.sleep(0.5)  # a setup started by mistake would have written by now
            self.assertFalse(os.path.exists(self.setup_file("fake_setup.exe.txt")), message)
        return message

    def test_only_the_offer_and_setup_vouched_for_are_acted_on(self):
        ini_url, setup_url = self.server.url("update.ini"), self.server.url("fake_setup.exe")
        wrong = hashlib.sha256(b"something else").hexdigest()
        sha_failed = f"error info: sha256 check fail, setup deleted:{setup_url}"
        offer_failed = f"error info: signature check fail:{ini_url}"
        rows = [
            ("no key, no sha256: started as always", self.plain, self.offer(sha=""), None),
            ("no key, wrong sha256", self.plain, self.offer(sha=wrong), sha_failed),
            ("key, signed offer: started", self.with_key, self.signed(self.offer()), None),
            ("key, unsigned offer", self.with_key, self.offer(), offer_failed),
            ("key, version raised after signing", self.with_key,
             self.signed(self.offer()).replace("version=2.1", "version=2.2"), offer_failed),
            ("key, parameters changed after signing", self.with_key,
             self.signed(self.offer()).replace("setup_param=/S", r"setup_param=/S /D=C:\Other"),
             offer_failed),
            ("key, an older signed offer replayed", self.with_key,
             self.signed(self.offer(version="1.9")),
             "Your already have the lastest version installed."),
            ("key, signed offer of other setup bytes", self.with_key,
             self.signed(self.offer(sha=wrong)), sha_failed),
        ]
        # The 64-bit Renewick takes the x64 offer; a signature of the plain offer does not
        # vouch for it.
        x64 = self.offer(x64_setup="slow/fake_setup.exe")
        plain_signature = next(line for line in self.signed(x64).splitlines()
                               if line.startswith("signature="))
        rows += [
            ("key, signed x64 offer: taken instead of the plain one", self.with_key,
             self.signed(x64).replace(self.server.url("fake_setup.exe"),
                                      self.server.url("404/fake_setup.exe")), None),
            ("key, the plain offer's signature on the x64 offer", self.with_key,
             x64 + plain_signature.replace("signature=", "signature_x64=") + "\r\n",
             offer_failed),
        ]
        for name, renewick, ini_text, expected in rows:
            with self.subTest(name):
                self.assertEqual(self.update(renewick, ini_text), expected)
                if expected == sha_failed:
                    self.assertFalse(os.path.exists(self.setup_file("fake_setup.exe")),
                                     "the refused setup is deleted")


if __name__ == "__main__":
    unittest.main()
