#!/usr/bin/env python3
"""Builds the comparison corpus: one package per folder of corpus/, made by Debian's aapt (or aapt2)
from our own manifests and resources.

    build_corpus.py <corpus folder> <output folder> <aapt> <aapt2 or -> <framework-res.apk> [package...]

Each folder holds AndroidManifest.xml, optionally res/, and optionally package.txt with lines:
    options: <extra arguments for aapt package> (with --split, the split APKs join the corpus too)
    builder: aapt2-sparse          (aapt2 compile + link --enable-sparse-encoding)
    image: <path under res/> <size>  (a solid square PNG made here)
Writes <output>/<name>.apk for each, damaged copies of the package "full" (see DAMAGES), and
<output>/list.txt naming them all. For these and the further packages named, <output>/<name>.badging
records what Debian's aapt prints for "dump badging": a first line "exit <status>", then its output.
"""
import glob
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib


def write_png(path, size, seed):
    """A solid-colour RGB square: enough for the packager, which only crunches it."""
    colour = bytes(((seed * 67) & 0xFF, (seed * 131) & 0xFF, (seed * 199) & 0xFF))
    raw = b"".join(b"\x00" + colour * size for _ in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
                  chunk(b"IEND", b""))


def read_settings(folder):
    settings = {"options": [], "builder": "aapt", "images": []}
    path = os.path.join(folder, "package.txt")
    if not os.path.exists(path):
        return settings
    with open(path, encoding="utf-8") as text:
        for line in text:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            key, _, value = line.partition(":")
            value = value.strip()
            if key == "options":
                settings["options"] += value.split()
            elif key == "builder":
                settings["builder"] = value
            elif key == "image":
                name, size = value.split()
                settings["images"].append((name, int(size)))
    return settings


def build(source, work, apk, tools):
    aapt, aapt2, framework = tools
    settings = read_settings(source)
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(work)
    manifest = os.path.join(source, "AndroidManifest.xml")
    res = os.path.join(work, "res")
    if os.path.isdir(os.path.join(source, "res")):
        shutil.copytree(os.path.join(source, "res"), res)
    for seed, (name, size) in enumerate(settings["images"]):
        write_png(os.path.join(work, name), size, seed + 1)
    if os.path.exists(apk):
        os.remove(apk)
    if settings["builder"] == "aapt2-sparse":
        if aapt2 == "-":
            return False
        compiled = os.path.join(work, "compiled.zip")
        subprocess.check_call([aapt2, "compile", "--dir", res, "-o", compiled])
        subprocess.check_call([aapt2, "link", "-o", apk, "-I", framework, "--manifest", manifest, compiled,
                               "--enable-sparse-encoding"] + settings["options"])
        return True
    command = [aapt, "package", "-f", "-M", manifest, "-I", framework, "-F", apk] + settings["options"]
    if os.path.isdir(res):
        command[5:5] = ["-S", res]
    subprocess.check_call(command, stdout=subprocess.DEVNULL)
    return True


def rewrite(source, target, change):
    """Copies a package, letting change(name, data) replace members (None drops one)."""
    with zipfile.ZipFile(source) as zin, zipfile.ZipFile(target, "w") as zout:
        for info in zin.infolist():
            data = change(info.filename, zin.read(info.filename))
            if data is not None:
                zout.writestr(info, data)


def chunks(data, start, end):
    """(offset, type, header size, size) of the chunks between start and end."""
    while start + 8 <= end:
        kind, header, size = struct.unpack_from("<HHI", data, start)
        yield start, kind, header, size
        if size < 8:
            return
        start += size


def bad_node(data):
    """Gives the fourth element node of a binary XML document a size that is not a multiple of 4."""
    data = bytearray(data)
    elements = [offset for offset, kind, _, _ in chunks(data, 8, len(data)) if kind == 0x0102]
    struct.pack_into("<I", data, elements[3] + 4, struct.unpack_from("<I", data, elements[3] + 4)[0] + 2)
    return bytes(data)


def bad_entry(data):
    """Points every entry of the default-configuration chunk of the type with the most
    configurations (the strings) far outside its chunk."""
    data = bytearray(data)
    types = {}
    for offset, kind, header, size in chunks(data, 12, len(data)):
        if kind != 0x0200:
            continue
        for inner, inner_kind, inner_header, _ in chunks(data, offset + header, offset + size):
            if inner_kind == 0x0201:
                types.setdefault(data[inner + 8], []).append((inner, inner_header))
    inner, inner_header = max(types.values(), key=len)[0]
    count = struct.unpack_from("<I", data, inner + 12)[0]
    for i in range(count):
        struct.pack_into("<I", data, inner + inner_header + 4 * i, 0x00FFFFF0)
    return bytes(data)


# Damaged copies of "full": the tool must print what aapt prints before it fails, and fail too.
DAMAGES = {
    "damaged-not-a-zip": None,
    "damaged-no-manifest": lambda name, data: None if name == "AndroidManifest.xml" else data,
    "damaged-manifest-cut": lambda name, data: data[:len(data) // 2] if name == "AndroidManifest.xml" else data,
    "damaged-manifest-node": lambda name, data: bad_node(data) if name == "AndroidManifest.xml" else data,
    "damaged-table-cut": lambda name, data: data[:len(data) // 3] if name == "resources.arsc" else data,
    "damaged-table-entries": lambda name, data: bad_entry(data) if name == "resources.arsc" else data,
    "damaged-no-table": lambda name, data: None if name == "resources.arsc" else data,
}


def make_damaged(output, source):
    made = []
    for name, change in sorted(DAMAGES.items()):
        target = os.path.join(output, name + ".apk")
        if change is None:
            with open(target, "wb") as out:
                out.write(b"This is a text file, not a package.\n" * 20)
        else:
            rewrite(source, target, change)
        made.append(target)
    return made


def record(aapt, apk, output):
    done = subprocess.run([aapt, "dump", "badging", apk], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    name = os.path.splitext(os.path.basename(apk))[0]
    with open(os.path.join(output, name + ".badging"), "wb") as out:
        out.write(b"exit %d\n" % done.returncode + done.stdout)


def main():
    corpus, output, aapt, aapt2, framework = sys.argv[1:6]
    further = sys.argv[6:]
    os.makedirs(output, exist_ok=True)
    built = []
    for name in sorted(os.listdir(corpus)):
        source = os.path.join(corpus, name)
        if not os.path.isfile(os.path.join(source, "AndroidManifest.xml")):
            continue
        apk = os.path.join(output, name + ".apk")
        for stale in glob.glob(os.path.join(output, glob.escape(name) + "_*.apk")):
            os.remove(stale)
        if build(source, os.path.join(output, "work", name), apk, (aapt, aapt2, framework)):
            built.append(apk)
            # aapt package --split writes <name>_<configs>.apk beside the base.
            built += sorted(glob.glob(os.path.join(output, glob.escape(name) + "_*.apk")))
    full = os.path.join(output, "full.apk")
    if full in built:
        built += make_damaged(output, full)
    with open(os.path.join(output, "list.txt"), "w", encoding="utf-8") as listing:
        listing.write("".join(path + "\n" for path in built))
    for apk in built + further:
        record(aapt, apk, output)


if __name__ == "__main__":
    main()
