#!/usr/bin/env python3
"""Makes the release zip with CPack into a folder of its own and checks what a user gets from it.

  check_package.py <cpack> <CPackConfig.cmake> <out-dir> <objdump> <version> <source-dir>

Prints one line per failed check and ends with a "N passed, N failed" line.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile

# DLLs that every Windows system has; the program must need nothing else (no C++ runtime, no
# winpthread, no zlib beside it).
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msimg32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "uxtheme.dll", "version.dll", "ws2_32.dll",
}
README = "使用说明.txt"
# The licences of the libraries inside the program, each with a line of its own text.
LICENSES = {
    "licenses/libwebp/COPYING.txt": b"Copyright (c) 2010, Google Inc.",
    "licenses/libwebp/PATENTS.txt": b"Additional IP Rights Grant (Patents)",
    "licenses/FreeType/FTL.TXT": b"The FreeType Project LICENSE",
    "licenses/OpenSSL/LICENSE.txt": b"Apache License",
}
# The FreeType License asks for this credit in the documentation, with the year of the version used.
FREETYPE_CREDIT = "Portions of this software are copyright © 2022 The FreeType Project (www.freetype.org)."


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("FAILED: " + what)
        return ok


def imported_dlls(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    return out, [name.strip() for name in re.findall(r"DLL Name: (\S+)", out)]


def file_version(exe):
    """The FILEVERSION of the version resource, as four numbers."""
    at = exe.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", exe, at + 8)
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main(cpack, config, out, objdump, version, source):
    c = Checks()
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    subprocess.run([cpack, "--config", config, "-B", out], check=True, stdout=subprocess.DEVNULL)
    name = "Varnel-%s-win64.zip" % version
    path = os.path.join(out, name)
    if not c.check(os.path.isfile(path), "the package is named " + name + ": " + str(os.listdir(out))):
        return c

    with zipfile.ZipFile(path) as z:
        infos = [i for i in z.infolist() if not i.is_dir()]
        names = sorted(i.filename for i in infos)
        expected = sorted(["Varnel.exe", "PermissionInfo.cfg", "adb/aapt.exe", README] + list(LICENSES))
        c.check(names == expected, "the zip holds %s, not %s" % (expected, names))
        for info in infos:
            # Names beyond ASCII are UTF-8, flagged so (bit 11), or Explorer and 7-Zip misread them.
            if any(ord(ch) > 127 for ch in info.filename):
                c.check(info.flag_bits & 0x800, info.filename + " carries the UTF-8 name flag")
        c.check(z.testzip() is None, "every member's checksum is right")
        files = {n: z.read(n) for n in names}

    stage = os.path.join(out, "unpacked")
    for member, data in files.items():
        target = os.path.join(stage, member)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)

    for exe in ("Varnel.exe", "adb/aapt.exe"):
        if exe not in files:
            continue
        dump, dlls = imported_dlls(objdump, os.path.join(stage, exe))
        c.check("file format pei-x86-64" in dump, exe + " is a 64-bit Windows program")
        foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
        c.check(dlls and not foreign, exe + " needs only system DLLs; also " + str(foreign))

    exe = files.get("Varnel.exe", b"")
    parts = [int(p) for p in version.split(".")] + [0, 0, 0, 0]
    c.check(file_version(exe) == tuple(parts[:4]), "FILEVERSION %s is the project's %s" % (file_version(exe), version))
    quad = ".".join(str(p) for p in parts[:4])
    c.check(('version="%s"' % quad).encode() in exe, "the manifest inside carries version " + quad)
    c.check(b"PerMonitorV2" in exe and b"true/pm" in exe, "the manifest asks for per-monitor DPI awareness")

    cfg = files.get("PermissionInfo.cfg", b"")
    with open(os.path.join(source, "data", "PermissionInfo.cfg"), "rb") as f:
        c.check(cfg == f.read(), "PermissionInfo.cfg is the one in data/, byte for byte")
    try:
        text = cfg.decode("gbk")
        c.check("[ApplicationConfig]" in text and "权限" in text, "PermissionInfo.cfg reads as GBK Chinese")
    except UnicodeDecodeError as error:
        c.check(False, "PermissionInfo.cfg is GBK: " + str(error))
    try:
        cfg.decode("utf-8")
        c.check(False, "PermissionInfo.cfg is not UTF-8")
    except UnicodeDecodeError:
        c.check(True, "")

    for member, text in LICENSES.items():
        c.check(text in files.get(member, b""), member + " is the licence from the library's sources")

    readme = files.get(README, b"")
    # Notepad reads UTF-8 with its byte-order mark on every Windows, whatever its code page.
    c.check(readme.startswith(b"\xef\xbb\xbf"), README + " begins with the UTF-8 byte-order mark")
    c.check(b"\n" not in readme.replace(b"\r\n", b""), README + " ends its lines with CR LF")
    try:
        text = readme[3:].decode("utf-8")
        words = ("adb.exe", "AdbWinApi.dll", "AdbWinUsbApi.dll", "USB 调试", ".apk", "开发者选项", FREETYPE_CREDIT)
        for word in words:
            c.check(word in text, README + " mentions " + word)
    except UnicodeDecodeError as error:
        c.check(False, README + " is UTF-8: " + str(error))
    return c


if __name__ == "__main__":
    if len(sys.argv) != 7:
        sys.stderr.write(__doc__)
        sys.exit(2)
    checks = main(*sys.argv[1:])
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    sys.exit(1 if checks.failed else 0)
