#!/usr/bin/env python3
"""Makes the signing fuzzer's seeds from the signature test packages:
    make_seeds.py <folder of signed packages (build/native/tests/signing-packages)> <seed folder>
Each seed is one mode byte (see SigningFuzzer.cpp) and then a signing block, a manifest or .SF
text, or a JAR signature's three files and a member."""
import os
import struct
import sys
import zipfile

packages, seeds = sys.argv[1:3]
os.makedirs(seeds, exist_ok=True)


def write(name, mode, data):
    with open(os.path.join(seeds, name + ".seed"), "wb") as f:
        f.write(bytes([mode]) + data)


for name in ("v1v2v3", "ec", "dsa", "rsa4096", "rotated", "two-signers", "stamp", "verity"):
    data = open(os.path.join(packages, name + ".apk"), "rb").read()
    end = data.rfind(b"PK\x05\x06")
    directory = struct.unpack_from("<I", data, end + 16)[0]
    size = struct.unpack_from("<Q", data, directory - 24)[0]
    write("block-" + name, 0, data[directory - size - 8:directory])

for name in ("v1", "dsa"):
    with zipfile.ZipFile(os.path.join(packages, name + ".apk")) as z:
        files = {n: z.read(n) for n in z.namelist()}
    manifest = files["META-INF/MANIFEST.MF"]
    sf = next(v for n, v in files.items() if n.endswith(".SF"))
    block = next(v for n, v in files.items() if n.endswith((".RSA", ".DSA", ".EC")))
    write("manifest-" + name, 1, manifest)
    write("sf-" + name, 1, sf)
    # The manifest cut down to the main section and classes.dex, which the .SF's whole-manifest
    # digest no longer matches, so the section digests are taken too.
    sections = manifest.split(b"\r\n\r\n")
    small = b"\r\n\r\n".join([sections[0]] + [s for s in sections if b"Name: classes.dex" in s]) + b"\r\n\r\n"
    write("jar-" + name, 2, b"\n--\n".join([small, sf, block, files["classes.dex"]]))
