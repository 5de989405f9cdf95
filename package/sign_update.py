#!/usr/bin/env python3
"""Signs the offers of an update INI with the vendor's private key (./dev sign-update).

    sign_update.py UPDATE.ini PRIVATE.pem

PRIVATE.pem is an ECDSA P-256 key as `openssl ecparam -genkey -name prime256v1 -noout` writes it.
Every section but "public" that names a "download_path" is an offer of that product, and one
that names "download_path_x64" or "download_path_x86" an offer for that architecture (keys with
the same suffix); each gets a "signature" line ("signature_x64" ...): base64 of the DER
signature over the SHA-256 of the offer's canonical form

    Renewick offer 1\\nproduct=<section>[/<architecture>]\\nversion=<public version>\\n
    download_path=<url>\\nsetup_param=<parameters>\\nsha256=<setup's SHA-256>\\n

in UTF-8, each value as the platform's INI reader returns it (Renewick signs nothing itself and
builds the same text from what it reads). An offer without "sha256" is refused: the signature
would vouch for no file. The file is rewritten in place, its other lines as they were.
"""
import base64
import re
import subprocess
import sys

# Characters Renewick reads of each value, terminator included: a longer value would arrive cut
# and never verify.
LIMITS = {"version": 50, "download_path": 1024, "setup_param": 100}
UTF8_MARK = b"\xef\xbb\xbf"


class Refused(Exception):
    pass


def read_lines(path):
    with open(path, "rb") as f:
        data = f.read()
    marked = data.startswith(UTF8_MARK)
    text = data[len(UTF8_MARK):] if marked else data
    try:
        # Without the mark Renewick's reader takes the system's code page: only ASCII reads the
        # same everywhere.
        decoded = text.decode("utf-8" if marked else "ascii")
    except UnicodeDecodeError:
        raise Refused("save the INI as ASCII, or as UTF-8 with a byte-order mark")
    return marked, decoded.splitlines()


def parse(lines):
    """{section (lower case): (name, {key (lower case): value}, index of the last line)}; the
    first of repeated keys counts, as the platform reader takes it, but repeats are refused."""
    sections, current = {}, None
    for index, line in enumerate(lines):
        stripped = line.strip()
        if stripped.startswith("[") and "]" in stripped:
            name = stripped[1:stripped.index("]")].strip()
            if name.lower() in sections:
                raise Refused(f"section [{name}] appears twice")
            current = sections[name.lower()] = [name, {}, index]
            continue
        if current is None or "=" not in stripped or stripped.startswith(";"):
            continue
        key, value = (part.strip() for part in stripped.split("=", 1))
        if key.lower() in current[1]:
            raise Refused(f"[{current[0]}] {key} appears twice")
        if value[:1] in ("'", '"'):
            raise Refused(f"[{current[0]}] {key}: a value in quotes reads differently")
        current[1][key.lower()] = value
        current[2] = index
    return sections


ARCHITECTURES = ("", "_x64", "_x86")


def canonical(product, version, values, suffix=""):
    name = product + ("/" + suffix[1:] if suffix else "")
    lines = ["Renewick offer 1", f"product={name}", f"version={version}",
             f"download_path={values.get('download_path' + suffix, '')}",
             f"setup_param={values.get('setup_param' + suffix, '')}",
             f"sha256={values.get('sha256' + suffix, '')}"]
    return ("\n".join(lines) + "\n").encode("utf-8")


def sign(data, key):
    result = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=data,
                            capture_output=True, timeout=60)
    if result.returncode != 0:
        raise Refused("openssl could not sign: " + result.stderr.decode("utf-8", "replace"))
    return base64.b64encode(result.stdout).decode("ascii")


def signed_lines(lines, key):
    sections = parse(lines)
    if "public" not in sections or "version" not in sections["public"][1]:
        raise Refused("no [public] version")
    version = sections["public"][1]["version"]
    if len(version) >= LIMITS["version"]:
        raise Refused("the version is too long")
    offers = [(name, values, last, suffix) for k, (name, values, last) in sections.items()
              if k != "public" for suffix in ARCHITECTURES if "download_path" + suffix in values]
    if not offers:
        raise Refused("no section names a download_path")
    inserts = {}
    for name, values, last, suffix in offers:
        for key_name, limit in LIMITS.items():
            if key_name != "version" and len(values.get(key_name + suffix, "")) >= limit:
                raise Refused(f"[{name}] {key_name}{suffix} is too long")
        if not re.fullmatch(r"[0-9A-Fa-f]{64}", values.get("sha256" + suffix, "")):
            raise Refused(f"[{name}] needs sha256{suffix}=<the setup's SHA-256> (sha256sum)")
        line = f"signature{suffix}=" + sign(canonical(name, version, values, suffix), key)
        inserts.setdefault(name.lower(), [last, []])[1].append(line)
    out, section = [], None
    for index, line in enumerate(lines):
        stripped = line.strip()
        if stripped.startswith("[") and "]" in stripped:
            section = stripped[1:stripped.index("]")].strip().lower()
        elif section in inserts and stripped.split("=", 1)[0].strip().lower() in (
                "signature" + suffix for suffix in ARCHITECTURES):
            continue  # an earlier signature is replaced
        out.append(line)
        if section in inserts and index == inserts[section][0]:
            out.extend(inserts[section][1])
    return out, [name + suffix for name, _, _, suffix in offers]


def main(argv):
    if len(argv) != 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    ini, key = argv[1], argv[2]
    try:
        marked, lines = read_lines(ini)
        out, signed = signed_lines(lines, key)
    except (OSError, Refused) as error:
        print(f"sign-update: {ini}: {error}", file=sys.stderr)
        return 1
    with open(ini, "wb") as f:
        f.write((UTF8_MARK if marked else b"") + ("\r\n".join(out) + "\r\n").encode("utf-8"))
    print(f"sign-update: signed {', '.join(signed)} in {ini}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
