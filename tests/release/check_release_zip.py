#!/usr/bin/env python3
"""Checks the release zip as a Windows user meets it after unpacking.

    check_release_zip.py ZIP FOLDER VERSION HELP.pdf

One folder holding exactly aerovane.exe, Aerovane_help.pdf and README.txt:
the exe a 64-bit Windows GUI program, the help document beside it (the help
button opens it from the program's own folder), the same PDF the build made
and one that covers the guide's topics, and a read-me with Windows line
endings that names the version. Exits 1 with one line per fault.
"""
import shutil
import struct
import subprocess
import sys
import zipfile

EXPECTED_FILES = {"aerovane.exe", "Aerovane_help.pdf", "README.txt"}

# Texts the guide must explain; a document that lost a section fails here.
GUIDE_TOPICS = ["Connecting the console", "The dashboard", "Units", "Whole period",
                "Data set", "The export file", "Weather Underground", "Weathercloud",
                "Station ID", "Auto Upload", "UPLOAD", "FAIL", "Troubleshooting"]

IMAGE_FILE_MACHINE_AMD64 = 0x8664
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


def pe_machine_and_subsystem(data):
    if data[:2] != b"MZ" or len(data) < 0x40:
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    # The optional header follows the 20-byte file header; its subsystem
    # field sits at offset 68 in both the PE32 and PE32+ layouts.
    subsystem = struct.unpack_from("<H", data, pe + 24 + 68)[0]
    return machine, subsystem


def pdf_text(data):
    """The PDF's text through pdftotext, or None when it is not installed."""
    if not shutil.which("pdftotext"):
        return None
    result = subprocess.run(["pdftotext", "-layout", "-", "-"], input=data,
                            capture_output=True, check=False)
    return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else ""


def check(zip_path, folder, version, built_help):
    faults = []
    with zipfile.ZipFile(zip_path) as archive:
        bad = archive.testzip()
        if bad:
            faults.append("damaged member: " + bad)
        names = [n for n in archive.namelist() if not n.endswith("/")]
        files = {}
        for name in names:
            top, _, rest = name.partition("/")
            if top != folder or "/" in rest:
                faults.append("outside the folder %s/: %s" % (folder, name))
            else:
                files[rest] = archive.read(name)
        if set(files) != EXPECTED_FILES:
            faults.append("files %s, expected %s" % (sorted(files), sorted(EXPECTED_FILES)))

    exe = files.get("aerovane.exe", b"")
    if exe:
        kind = pe_machine_and_subsystem(exe)
        if kind != (IMAGE_FILE_MACHINE_AMD64, IMAGE_SUBSYSTEM_WINDOWS_GUI):
            faults.append("aerovane.exe is not a 64-bit Windows GUI program: %r" % (kind,))

    help_pdf = files.get("Aerovane_help.pdf", b"")
    if help_pdf:
        with open(built_help, "rb") as f:
            if f.read() != help_pdf:
                faults.append("Aerovane_help.pdf differs from the build's " + built_help)
        if not help_pdf.startswith(b"%PDF-") or b"%%EOF" not in help_pdf[-1024:]:
            faults.append("Aerovane_help.pdf is not a complete PDF")
        text = pdf_text(help_pdf)
        if text is not None:
            for topic in GUIDE_TOPICS:
                if topic not in text:
                    faults.append("the guide never mentions %r" % topic)
            if "Version " + version not in text:
                faults.append("the guide does not give version " + version)

    readme = files.get("README.txt", b"")
    if readme:
        if b"\r\n" not in readme or readme.replace(b"\r\n", b"").find(b"\n") >= 0:
            faults.append("README.txt has a line without a Windows line ending")
        if b"\r\r" in readme:
            faults.append("README.txt has a doubled carriage return")
        for word in (b"Aerovane " + version.encode(), b"aerovane.exe", b"Aerovane_help.pdf"):
            if word not in readme:
                faults.append("README.txt does not mention " + word.decode())
    return faults


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    faults = check(*sys.argv[1:])
    for fault in faults:
        print("FAIL: " + fault)
    if not faults:
        print("release zip holds %s/ with %s" % (sys.argv[2], ", ".join(sorted(EXPECTED_FILES))))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
