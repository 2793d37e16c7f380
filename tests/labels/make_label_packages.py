#!/usr/bin/env python3
"""Builds packages whose labels and version names are the non-ASCII text users meet, each with
Debian's aapt, and records what Debian's aapt prints for them:

  <out>/<name>.apk        the package (no icon: the tests look at the text fields only)
  <out>/<name>.badging    Debian's `aapt dump badging` output for it, as the tool wrote it

  make_label_packages.py <aapt> <framework-res.apk> <out-dir>
"""
import os
import shutil
import subprocess
import sys

# name, label, version name. The byte counts of the labels differ on purpose: a label whose UTF-8
# form has an odd number of bytes before its closing quote is what broke when the output was read
# through a double-byte code page.
PACKAGES = [
    ("label-1", "微", "1.0"),
    ("label-2", "微信", "8.0.47"),
    ("label-3", "支付宝", "10.5.0"),
    ("label-pdd", "拼多多", "7.1"),
    ("label-xhs", "小红书", "8.20.0"),
    ("label-5", "网易云音乐", "9.0.0 正式版"),
    ("label-lite", "小红书 Lite", "12.3 测试"),
    ("label-mixed", "urzip-πÇÇ现代汉语通用字-български-عربي1234", "1.0"),
    ("label-cafe", "Café", "2.0"),
]

STRINGS = """<?xml version="1.0" encoding="utf-8"?>
<resources><string name="app_name">{label}</string></resources>
"""

MANIFEST = """<?xml version="1.0" encoding="utf-8"?>
<manifest xmlns:android="http://schemas.android.com/apk/res/android" package="org.varnel.labels.{ident}"
    android:versionCode="1" android:versionName="{version}">
    <uses-sdk android:minSdkVersion="21" android:targetSdkVersion="30" />
    <application android:label="@string/app_name" />
</manifest>
"""


def main():
    aapt, framework, out = sys.argv[1:4]
    work = os.path.join(out, "work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for name, label, version in PACKAGES:
        # The label is a string resource, as in every real package: aapt's dump shows no other.
        values = os.path.join(work, name, "res", "values")
        os.makedirs(values)
        with open(os.path.join(values, "strings.xml"), "w", encoding="utf-8") as f:
            f.write(STRINGS.format(label=label))
        manifest = os.path.join(work, name, "AndroidManifest.xml")
        with open(manifest, "w", encoding="utf-8") as f:
            f.write(MANIFEST.format(ident=name.replace("-", "_"), version=version))
        apk = os.path.join(out, name + ".apk")
        if os.path.exists(apk):
            os.remove(apk)
        subprocess.check_call([aapt, "package", "-f", "-M", manifest, "-S", os.path.dirname(values), "-I", framework,
                               "-F", apk],
                              stdout=subprocess.DEVNULL)
        badging = subprocess.run([aapt, "dump", "badging", apk], check=True, stdout=subprocess.PIPE).stdout
        with open(os.path.join(out, name + ".badging"), "wb") as f:
            f.write(badging)
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
