#!/usr/bin/env python3
"""Makes the fuzz seeds from packages of the aapt comparison corpus (build/<tree>/tests/aapt/corpus):
    make_seeds.py <seed folder> <package.apk>...
Each seed is [manifest length][AndroidManifest.xml][resources.arsc], the layout BadgingFuzzer.cpp reads."""
import os
import struct
import sys
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for apk in sys.argv[2:]:
    with zipfile.ZipFile(apk) as package:
        manifest = package.read("AndroidManifest.xml")
        names = package.namelist()
        table = package.read("resources.arsc") if "resources.arsc" in names else b""
    name = os.path.splitext(os.path.basename(apk))[0]
    with open(os.path.join(out, name + ".seed"), "wb") as seed:
        seed.write(struct.pack("<I", len(manifest)) + manifest + table)
