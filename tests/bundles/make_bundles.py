#!/usr/bin/env python3
"""Builds the split bundles the tests open, from APKs made by Debian's aapt, laid out as the three
sources users get them from lay them out, plus damaged and hostile ones:

  make_bundles.py <aapt> <framework-res.apk> <make_logo.py> <out-dir>

The pieces (<out>/pieces/) all belong to org.varnel.bundle, version 7:
  base.apk              from `aapt package --split ...`: labels, permissions, an adaptive icon; the
                        PNG icons and the zh and fr labels went into the splits below
  base_zh.apk base_fr.apk base_mdpi-v4.apk base_hdpi-v4.apk base_xhdpi-v4.apk base_xxhdpi-v4.apk
  config.<abi>.apk      split="config.arm64_v8a" etc. with lib/<abi>/libvarnel.so
  feature_x.apk         a feature module (isFeatureSplit), and feature_x.config.<abi>.apk for two ABIs
  full.apk              one complete APK (universal, the single-APK .xapk), full-<abi>.apk for standalones
Each piece has <name>.badging beside it: what Debian's aapt prints for it.

Bundles (<out>/):
  bundle.apks       bundletool: toc.pb, splits/, standalones/ (stored, as bundletool writes them)
  bundle.xapk       APKPure: manifest.json (version_code as text), the APKs, an OBB under Android/obb/
  bundle.apkm       APKMirror: info.json (min_api as text), base.apk, split_*.apk (deflated)
  single.xapk       APKPure's first form: manifest.json without split_apks, <package>.apk, an OBB
  universal.apks    bundletool's universal mode: toc.pb and universal.apk
  standalones.apks  standalones/ only
  sai.apks          SAI: base.apk, split_config.*.apk and meta.sai_v2.json at the top
Damaged and hostile ones: nobase.apks/.xapk, twobases.apks (a member name twice)/.xapk (two ids
"base"), mixed.xapk (manifest and base name disagree), mixed-obb.xapk (an OBB of another package),
missing.xapk and toomany.xapk (the manifest names pieces the archive lacks), badjson.xapk,
hugejson.xapk (2 MiB), deepjson.xapk (nested 100,000 deep), badname.xapk and badobb.xapk (names
unfit for a command line), cut.xapk, notzip.xapk, climb.xapk (member names with "..", drive
letters, leading slashes, device names, reserved characters), hugepiece.apks and pastend.apks (a
piece's directory entry claims more than the archive holds), badcrc.apks (a piece's data
damaged), encrypted.apkm (info.json not JSON)
and encrypted-member.apkm (members encrypted in the archive).
"""
import os
import json
import shutil
import struct
import subprocess
import sys
import warnings
import zipfile

PACKAGE = "org.varnel.bundle"
ABIS = ["arm64_v8a", "armeabi_v7a", "x86_64"]
DENSITIES = ["mdpi", "hdpi", "xhdpi", "xxhdpi"]
ICON_SIZES = {"mdpi": 48, "hdpi": 72, "xhdpi": 96, "xxhdpi": 144}
LANGUAGES = ["zh", "fr"]
FEATURE_ABIS = ["arm64_v8a", "x86_64"]

BASE_MANIFEST = """<?xml version="1.0" encoding="utf-8"?>
<manifest xmlns:android="http://schemas.android.com/apk/res/android" package="{package}"
    android:versionCode="7" android:versionName="2.1">
    <uses-sdk android:minSdkVersion="21" android:targetSdkVersion="30" />
    <uses-permission android:name="android.permission.INTERNET" />
    <uses-permission android:name="android.permission.CAMERA" />
    <uses-permission android:name="android.permission.ACCESS_FINE_LOCATION" />
    <application android:label="@string/app_name" android:icon="@drawable/ic_launcher" />
</manifest>
"""

SPLIT_MANIFEST = """<?xml version="1.0" encoding="utf-8"?>
<manifest xmlns:android="http://schemas.android.com/apk/res/android" package="{package}"
    android:versionCode="7" split="{split}" {extra}>
    <application android:hasCode="false" />
</manifest>
"""

ADAPTIVE = """<?xml version="1.0" encoding="utf-8"?>
<adaptive-icon xmlns:android="http://schemas.android.com/apk/res/android">
    <background android:drawable="@color/icon_background" />
    <foreground android:drawable="@drawable/ic_launcher" />
</adaptive-icon>
"""

STRINGS = '<?xml version="1.0" encoding="utf-8"?>\n<resources><string name="app_name">{}</string></resources>\n'
COLORS = '<?xml version="1.0" encoding="utf-8"?>\n<resources><color name="icon_background">#2E7D32</color></resources>\n'


def run(*command):
    subprocess.check_call(list(command), stdout=subprocess.DEVNULL)


def write(path, data, mode="w"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, mode, **({} if "b" in mode else {"encoding": "utf-8"})) as f:
        f.write(data)


def add_members(apk, members):
    """Adds (name, bytes) members to an APK made by aapt."""
    with zipfile.ZipFile(apk, "a", zipfile.ZIP_DEFLATED) as z:
        for name, data in members:
            z.writestr(name, data)


def native_library(abi):
    return (b"\x7fELF varnel native code for %s\n" % abi.encode()) * 64


def make_pieces(aapt, framework, logo, work, pieces):
    res = os.path.join(work, "res")
    write(os.path.join(res, "values", "strings.xml"), STRINGS.format("Bundle Demo"))
    write(os.path.join(res, "values", "colors.xml"), COLORS)
    write(os.path.join(res, "values-zh", "strings.xml"), STRINGS.format("分包演示"))
    write(os.path.join(res, "values-fr", "strings.xml"), STRINGS.format("Démo des paquets"))
    write(os.path.join(res, "drawable-anydpi-v26", "ic_launcher.xml"), ADAPTIVE)
    for density, size in ICON_SIZES.items():
        write(os.path.join(res, "drawable-" + density, "ic_launcher.png"),
              logo.png_bytes(logo.render(logo.sample_icon, size)), "wb")
    manifest = os.path.join(work, "base", "AndroidManifest.xml")
    write(manifest, BASE_MANIFEST.format(package=PACKAGE))
    split_options = []
    for config in LANGUAGES + DENSITIES:
        split_options += ["--split", config]
    run(aapt, "package", "-f", "-M", manifest, "-S", res, "-I", framework, "-F", os.path.join(pieces, "base.apk"),
        *split_options)
    run(aapt, "package", "-f", "-M", manifest, "-S", res, "-I", framework, "-F", os.path.join(pieces, "full.apk"))
    add_members(os.path.join(pieces, "full.apk"),
                [("lib/%s/libvarnel.so" % abi.replace("_", "-"), native_library(abi)) for abi in ABIS])

    def split(name, split_name, extra="", members=()):
        folder = os.path.join(work, name)
        path = os.path.join(folder, "AndroidManifest.xml")
        write(path, SPLIT_MANIFEST.format(package=PACKAGE, split=split_name, extra=extra))
        apk = os.path.join(pieces, name + ".apk")
        run(aapt, "package", "-f", "-M", path, "-I", framework, "-F", apk)
        add_members(apk, members)

    for abi in ABIS:
        split("config." + abi, "config." + abi,
              members=[("lib/%s/libvarnel.so" % abi.replace("_", "-"), native_library(abi))])
        # A standalone APK: the whole package with one ABI's code.
        standalone = os.path.join(pieces, "full-%s.apk" % abi)
        run(aapt, "package", "-f", "-M", manifest, "-S", res, "-I", framework, "-F", standalone)
        add_members(standalone, [("lib/%s/libvarnel.so" % abi.replace("_", "-"), native_library(abi))])
    split("feature_x", "feature_x", 'android:isFeatureSplit="true"', [("assets/feature_x.txt", b"feature x\n")])
    for abi in FEATURE_ABIS:
        split("feature_x.config." + abi, "feature_x.config." + abi, 'configForSplit="feature_x"',
              [("lib/%s/libfeature.so" % abi.replace("_", "-"), native_library(abi))])

    for name in sorted(os.listdir(pieces)):
        if name.endswith(".apk"):
            apk = os.path.join(pieces, name)
            with open(apk[:-4] + ".badging", "wb") as f:
                f.write(subprocess.run([aapt, "dump", "badging", apk], stdout=subprocess.PIPE).stdout)


def piece(pieces, name):
    with open(os.path.join(pieces, name), "rb") as f:
        return f.read()


def obb_bytes(size=300000):
    """Game data: not very compressible, the same every build."""
    data = bytearray()
    state = 12345
    while len(data) < size:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        data += struct.pack("<I", state)
    return bytes(data[:size])


def zip_members(path, members, method=zipfile.ZIP_STORED):
    """Writes (name, bytes) or (name, bytes, method) members in order, names exactly as given."""
    if os.path.exists(path):
        os.remove(path)
    with zipfile.ZipFile(path, "w") as z:
        for member in members:
            name, data = member[0], member[1]
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = member[2] if len(member) > 2 else method
            z.writestr(info, data)


def split_layout(pieces):
    """The pieces under their Android split names: (split name, piece file)."""
    names = [("", "base.apk")]
    names += [("config." + abi, "config.%s.apk" % abi) for abi in ABIS]
    names += [("config." + d, "base_%s-v4.apk" % d) for d in DENSITIES]
    names += [("config." + lang, "base_%s.apk" % lang) for lang in LANGUAGES]
    names += [("feature_x", "feature_x.apk")]
    names += [("feature_x.config." + abi, "feature_x.config.%s.apk" % abi) for abi in FEATURE_ABIS]
    return names


STANDALONES = [("arm64_v8a", "xxhdpi"), ("armeabi_v7a", "hdpi"), ("x86_64", "xhdpi")]
OBB_NAME = "main.7.%s.obb" % PACKAGE
OBB_MEMBER = "Android/obb/%s/%s" % (PACKAGE, OBB_NAME)


def apks_members(pieces):
    members = [("toc.pb", b"\x0a\x12bundletool toc stand-in")]
    for split_name, file in split_layout(pieces):
        if split_name == "":
            name = "splits/base-master.apk"
        elif split_name.startswith("config."):
            name = "splits/base-%s.apk" % split_name[7:]
        elif ".config." in split_name:
            module, config = split_name.split(".config.")
            name = "splits/%s-%s.apk" % (module, config)
        else:
            name = "splits/%s-master.apk" % split_name
        members.append((name, piece(pieces, file)))
    for abi, density in STANDALONES:
        members.append(("standalones/standalone-%s_%s.apk" % (abi, density), piece(pieces, "full-%s.apk" % abi)))
    return members


def xapk_manifest(split_apks=None, package=PACKAGE, expansions=True, obb_name=OBB_NAME, expansion_list=None, **more):
    manifest = {
        "xapk_version": 2,
        "package_name": package,
        "name": "Bundle Demo",
        "version_code": "7",
        "version_name": "2.1",
        "min_sdk_version": 21,
        "target_sdk_version": "30",
        "permissions": ["android.permission.INTERNET", "android.permission.CAMERA"],
        "total_size": 0,
    }
    if split_apks is not None:
        manifest["split_configs"] = [s["id"] for s in split_apks if s["id"] != "base"]
        manifest["split_apks"] = split_apks
    if expansions:
        manifest["expansions"] = [{"file": "Android/obb/%s/%s" % (package, obb_name),
                                   "install_location": "EXTERNAL_STORAGE",
                                   "install_path": "Android/obb/%s/%s" % (package, obb_name)}]
    if expansion_list is not None:
        manifest["expansions"] = expansion_list
    manifest.update(more)
    return json.dumps(manifest, indent=2, ensure_ascii=False).encode("utf-8")


def xapk_pieces(pieces):
    """(file in the .xapk, id, piece file) as APKPure names them."""
    out = []
    for split_name, file in split_layout(pieces):
        if split_name == "":
            out.append((PACKAGE + ".apk", "base", file))
        else:
            out.append((split_name + ".apk", split_name, file))
    return out


def make_xapk(path, pieces, entries, manifest=None, obb=OBB_MEMBER, extra=()):
    split_apks = [{"file": f, "id": i} for f, i, _ in entries]
    members = [("manifest.json", manifest if manifest is not None else xapk_manifest(split_apks), zipfile.ZIP_DEFLATED),
               ("icon.png", piece(pieces, "base.apk")[:64])]
    members += [(f, piece(pieces, p)) for f, _, p in entries]
    if obb:
        members.append((obb, obb_bytes(), zipfile.ZIP_DEFLATED))
    members += list(extra)
    zip_members(path, members)


def patch_central(path, member, field_offset, value):
    """Overwrites a 32-bit field of one member's central directory header."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    name = member.encode()
    at = 0
    while True:
        at = data.find(b"PK\x01\x02", at)
        if at < 0:
            raise SystemExit("no central header for " + member)
        length = struct.unpack_from("<H", data, at + 28)[0]
        if data[at + 46:at + 46 + length] == name:
            struct.pack_into("<I", data, at + field_offset, value)
            break
        at += 4
    with open(path, "wb") as f:
        f.write(data)


def make_bundles(pieces, out):
    apks = apks_members(pieces)
    zip_members(os.path.join(out, "bundle.apks"), apks)
    entries = xapk_pieces(pieces)
    make_xapk(os.path.join(out, "bundle.xapk"), pieces, entries)

    info = {"apkm_version": 5, "app_name": "Bundle Demo", "pname": PACKAGE, "release_version": "2.1",
            "versioncode": 7, "min_api": "21", "arches": ["arm64-v8a", "armeabi-v7a", "x86_64"]}
    apkm = [("info.json", json.dumps(info).encode()), ("icon.png", b"\x89PNG")]
    for split_name, file in split_layout(pieces):
        apkm.append(("base.apk" if split_name == "" else "split_%s.apk" % split_name, piece(pieces, file)))
    zip_members(os.path.join(out, "bundle.apkm"), apkm, zipfile.ZIP_DEFLATED)

    zip_members(os.path.join(out, "single.xapk"),
                [("manifest.json", xapk_manifest(xapk_version=1)), (PACKAGE + ".apk", piece(pieces, "full.apk")),
                 (OBB_MEMBER, obb_bytes())])
    zip_members(os.path.join(out, "universal.apks"),
                [("toc.pb", b"\x0a\x00"), ("universal.apk", piece(pieces, "full.apk"))])
    zip_members(os.path.join(out, "standalones.apks"),
                [m for m in apks if m[0].startswith("standalones/") or m[0] == "toc.pb"])
    sai = [("meta.sai_v2.json", json.dumps({"package": PACKAGE, "version_code": 7}).encode())]
    for split_name, file in split_layout(pieces):
        sai.append(("base.apk" if split_name == "" else "split_%s.apk" % split_name, piece(pieces, file)))
    zip_members(os.path.join(out, "sai.apks"), sai)

    # Damaged and hostile bundles.
    zip_members(os.path.join(out, "nobase.apks"), [m for m in apks if m[0] != "splits/base-master.apk"])
    make_xapk(os.path.join(out, "nobase.xapk"), pieces, [e for e in entries if e[1] != "base"])
    zip_members(os.path.join(out, "twobases.apks"), apks + [("splits/base-master.apk", piece(pieces, "full.apk"))])
    make_xapk(os.path.join(out, "twobases.xapk"), pieces, entries + [("other.apk", "base", "full.apk")])
    make_xapk(os.path.join(out, "mixed.xapk"), pieces, entries,
              manifest=xapk_manifest([{"file": f, "id": i} for f, i, _ in entries], package="org.varnel.other",
                                     expansions=False), obb=None)
    make_xapk(os.path.join(out, "mixed-obb.xapk"), pieces, entries,
              manifest=xapk_manifest([{"file": f, "id": i} for f, i, _ in entries], obb_name="main.7.org.varnel.other.obb"),
              obb="Android/obb/%s/main.7.org.varnel.other.obb" % PACKAGE)
    make_xapk(os.path.join(out, "missing.xapk"), pieces, entries,
              manifest=xapk_manifest([{"file": f, "id": i} for f, i, _ in entries] +
                                     [{"file": "config.x86.apk", "id": "config.x86"}]))
    many = [{"file": "config.piece%d.apk" % i, "id": "config.piece%d" % i} for i in range(600)]
    make_xapk(os.path.join(out, "toomany.xapk"), pieces, entries, manifest=xapk_manifest(many))
    make_xapk(os.path.join(out, "badjson.xapk"), pieces, entries,
              manifest=b'{"package_name": "org.varnel.bundle", "split_apks": [{"file": ')
    make_xapk(os.path.join(out, "hugejson.xapk"), pieces, entries,
              manifest=xapk_manifest([{"file": f, "id": i} for f, i, _ in entries], padding="x" * (2 << 20)))
    make_xapk(os.path.join(out, "deepjson.xapk"), pieces, entries, manifest=b"[" * 100000 + b"]" * 100000)
    make_xapk(os.path.join(out, "badname.xapk"), pieces, entries,
              manifest=xapk_manifest([{"file": f, "id": i} for f, i, _ in entries], package='org.varnel.bundle" & del'))
    make_xapk(os.path.join(out, "badobb.xapk"), pieces, entries,
              manifest=xapk_manifest([{"file": f, "id": i} for f, i, _ in entries], obb_name='main"7.obb'),
              obb='Android/obb/%s/main"7.obb' % PACKAGE)
    with open(os.path.join(out, "bundle.xapk"), "rb") as f:
        whole = f.read()
    with open(os.path.join(out, "cut.xapk"), "wb") as f:
        f.write(whole[:len(whole) * 3 // 5])
    with open(os.path.join(out, "notzip.xapk"), "wb") as f:
        f.write(b"This is a web page that was saved under the bundle's name.\n" * 40)

    # Member names that would climb out of a folder if they were ever used as paths.
    climbing = [("../../climb-base.apk", "base", "base.apk"),
                ("..\\..\\Windows\\config.arm64_v8a.apk", "config.arm64_v8a", "config.arm64_v8a.apk"),
                ("C:/Windows/System32/config.xxhdpi.apk", "config.xxhdpi", "base_xxhdpi-v4.apk"),
                ("/etc/config.zh.apk", "config.zh", "base_zh.apk"),
                ("\\\\server\\share\\feature_x.apk", "feature_x", "feature_x.apk"),
                ("CON", "config.fr", "base_fr.apk"),
                ("NUL.apk", "config.mdpi", "base_mdpi-v4.apk"),
                ('a<b>|c?*"d.apk', "config.hdpi", "base_hdpi-v4.apk")]
    climb_obb = "../../../climb.obb"
    make_xapk(os.path.join(out, "climb.xapk"), pieces, climbing, obb=climb_obb,
              manifest=xapk_manifest([{"file": f, "id": i} for f, i, _ in climbing], expansions=False,
                                     expansion_list=[{"file": climb_obb, "install_location": "EXTERNAL_STORAGE",
                                                      "install_path": "../../../../sdcard/DCIM/" + OBB_NAME}]))

    # A piece that claims more than it holds: a huge size, or data past the end of the archive.
    shutil.copy(os.path.join(out, "bundle.apks"), os.path.join(out, "hugepiece.apks"))
    patch_central(os.path.join(out, "hugepiece.apks"), "splits/base-xxhdpi.apk", 24, 0xFFFFFF00)
    shutil.copy(os.path.join(out, "bundle.apks"), os.path.join(out, "pastend.apks"))
    patch_central(os.path.join(out, "pastend.apks"), "splits/base-zh.apk", 20, 0x7FFFFF00)
    patch_central(os.path.join(out, "pastend.apks"), "splits/base-zh.apk", 24, 0x7FFFFF00)

    # A piece whose bytes no longer match their CRC: the directory reads, the extraction fails.
    damaged = os.path.join(out, "badcrc.apks")
    shutil.copy(os.path.join(out, "bundle.apks"), damaged)
    with zipfile.ZipFile(damaged) as z:
        entry = z.getinfo("splits/base-master.apk")
    with open(damaged, "r+b") as f:
        f.seek(entry.header_offset + 26)
        name_length, extra_length = struct.unpack("<HH", f.read(4))
        f.seek(entry.header_offset + 30 + name_length + extra_length + 100)
        byte = f.read(1)
        f.seek(-1, 1)
        f.write(bytes([byte[0] ^ 0xFF]))

    # APKMirror's old files: an info.json that isn't JSON, and members encrypted in the archive.
    noise = bytes((i * 131 + 7) & 0xFF for i in range(4096))
    zip_members(os.path.join(out, "encrypted.apkm"),
                [("info.json", noise[:300]), ("base.apk", noise), ("split_config.arm64_v8a.apk", noise)])
    plain = os.path.join(out, "work-encrypted")
    shutil.rmtree(plain, ignore_errors=True)
    os.makedirs(plain)
    shutil.copy(os.path.join(pieces, "base.apk"), plain)
    with open(os.path.join(plain, "info.json"), "w") as f:
        f.write(json.dumps(info))
    target = os.path.join(out, "encrypted-member.apkm")
    if os.path.exists(target):
        os.remove(target)
    subprocess.check_call(["zip", "-q", "-P", "secret", target, "info.json", "base.apk"], cwd=plain)
    shutil.rmtree(plain)


def main(aapt, framework, make_logo, out):
    warnings.filterwarnings("ignore", "Duplicate name")  # twobases.apks holds one on purpose
    pieces = os.path.join(out, "pieces")
    work = os.path.join(out, "work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(pieces, exist_ok=True)
    sys.path.insert(0, os.path.dirname(make_logo))
    import make_logo as logo
    make_pieces(aapt, framework, logo, work, pieces)
    make_bundles(pieces, out)
    shutil.rmtree(work)
    with open(os.path.join(out, "done.txt"), "w") as f:
        f.write("made\n")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
