"""Renewick starts only the setup the update INI vouches for: "sha256" checked whenever given,
and in a build with a vendor key (testing/signed_renewick/Renewick.exe, whose key pair the
build made) a valid
"signature" required. A setup that fails is deleted and never started; the user is told.
"""
import base64
import hashlib
import os
import subprocess
import time
import unittest

from test_renewick import IDOK, IDYES, RenewickTestCase
from winetest import build_dir, program, wait_until


SIGNED = os.path.join(build_dir(), "testing", "signed_renewick")


def sign(data, key):
    """base64 of the DER signature over data's SHA-256, as the signing recipe makes it."""
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=data,
                         capture_output=True, check=True, timeout=30).stdout
    return base64.b64encode(der).decode("ascii")


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

    def update(self, renewick, integrity):
        """Runs an update to 2.1 with the INI's product section extended by integrity; returns
        the message shown after the download (None when there was none)."""
        for name in ("fake_setup.exe", "fake_setup.exe.txt"):
            if os.path.exists(self.temp_file(name)):
                os.remove(self.temp_file(name))
        text = (f"[public]\r\nversion=2.1\r\n[A]\r\n"
                f"download_path={self.server.url('fake_setup.exe')}\r\nsetup_param=/S\r\n")
        text += "".join(f"{key}={value}\r\n" for key, value in integrity.items())
        self.server.put("update.ini", text.encode("ascii"))
        self.renewick = renewick
        process = self.start(*self.saver_line("A", "Duskpanel", "2.0",
                                              self.server.url("update.ini")))
        question = self.find("Renewick", "New version is:2.1, update now?")
        self.assertIsNotNone(question)
        self.press(question, IDYES)

        def outcome():
            if os.path.exists(self.temp_file("fake_setup.exe.txt")):
                return "started"
            box = self.find("Renewick", "error info:", timeout_ms=200)
            return box and box.texts()
        result = wait_until(outcome, timeout=30, interval=0.2)
        self.assertTrue(result, "neither started nor refused")
        message = None
        if result == "started":
            told = self.find("Renewick", "Duskpanel 2.1 is installed.")
            self.assertIsNotNone(told, "the end of the setup is told")
            self.press(told, IDOK)
        else:
            message = next(t for t in result if t.startswith("error info:"))
            self.press(self.find("Renewick", "error info:"), IDOK)
        self.assertEqual(self.assert_ends(process), 0)
        return message

    def test_only_a_setup_that_matches_is_started(self):
        url = self.server.url("fake_setup.exe")
        right = hashlib.sha256(self.setup_bytes).hexdigest()
        wrong = hashlib.sha256(b"something else").hexdigest()
        sha_failed = f"error info: sha256 check fail, setup deleted:{url}"
        signature_failed = f"error info: signature check fail, setup deleted:{url}"
        rows = [
            ("no sha256: started as always", self.plain, {}, None),
            ("right sha256 (capitals): started", self.plain, {"sha256": right.upper()}, None),
            ("wrong sha256", self.plain, {"sha256": wrong}, sha_failed),
            ("key, no signature", self.with_key, {"sha256": right}, signature_failed),
            ("key, malformed signature", self.with_key, {"signature": "MEUCIQ!!"},
             signature_failed),
            ("key, signature of other bytes", self.with_key,
             {"signature": sign(b"something else", self.key)}, signature_failed),
            ("key, right signature: started", self.with_key,
             {"signature": sign(self.setup_bytes, self.key)}, None),
        ]
        for name, renewick, integrity, expected in rows:
            with self.subTest(name):
                message = self.update(renewick, integrity)
                self.assertEqual(message, expected)
                if expected:
                    self.assertFalse(os.path.exists(self.temp_file("fake_setup.exe")),
                                     "the refused setup is deleted")
                    time.sleep(0.5)  # a setup started by mistake would have written by now
                    self.assertFalse(os.path.exists(self.temp_file("fake_setup.exe.txt")))


if __name__ == "__main__":
    unittest.main()
