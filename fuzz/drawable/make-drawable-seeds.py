#!/usr/bin/env python3
"""Makes the drawable fuzzer's seeds from the drawables the tests build (tests/drawable): each seed
is the package's resource table and one compiled drawable, in the layout DrawableFuzzer.cpp reads.

  make-drawable-seeds.py <build>/tests/drawable/drawables/drawables.apk <seeds-dir>
"""
import os
import struct
import sys
import zipfile


def main(apk, out):
    os.makedirs(out, exist_ok=True)
    with zipfile.ZipFile(apk) as package:
        table = package.read("resources.arsc")
        for name in package.namelist():
            if name.startswith("res/") and name.endswith(".xml"):
                seed = struct.pack("<I", len(table)) + table + package.read(name)
                with open(os.path.join(out, name[4:].replace("/", "_")), "wb") as f:
                    f.write(seed)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
