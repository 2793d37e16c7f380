#!/usr/bin/env python3
"""Makes the bundle fuzzer's seeds: make_seeds.py <seed folder>
Each seed is one mode byte (see BundleFuzzer.cpp) and then an archive or a manifest text."""
import io
import json
import os
import sys
import zipfile

APK = b"PK\x03\x04" + b"a small stand-in for a package" * 4
PACKAGE = "org.varnel.fuzz"


def archive(members, method=zipfile.ZIP_STORED):
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", method) as z:
        for name, content in members:
            z.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), content)
    return data.getvalue()


def xapk_manifest(**more):
    manifest = {"xapk_version": 2, "package_name": PACKAGE, "version_code": "1", "min_sdk_version": 21,
                "split_apks": [{"file": PACKAGE + ".apk", "id": "base"},
                               {"file": "config.arm64_v8a.apk", "id": "config.arm64_v8a"}],
                "expansions": [{"file": "Android/obb/%s/main.1.%s.obb" % (PACKAGE, PACKAGE),
                                "install_location": "EXTERNAL_STORAGE",
                                "install_path": "Android/obb/%s/main.1.%s.obb" % (PACKAGE, PACKAGE)}]}
    manifest.update(more)
    return json.dumps(manifest).encode()


SEEDS = {
    "apks-bundletool": (0, archive([("toc.pb", b"\x0a\x00"), ("splits/base-master.apk", APK),
                                    ("splits/base-arm64_v8a.apk", APK), ("splits/base-xxhdpi.apk", APK),
                                    ("splits/base-zh.apk", APK), ("splits/feature_x-master.apk", APK),
                                    ("splits/feature_x-x86_64.apk", APK),
                                    ("standalones/standalone-arm64_v8a_xxhdpi.apk", APK), ("universal.apk", APK)])),
    "apks-sai": (0, archive([("meta.sai_v2.json", b"{}"), ("base.apk", APK), ("split_config.hdpi.apk", APK)],
                            zipfile.ZIP_DEFLATED)),
    "xapk": (1, archive([("manifest.json", xapk_manifest()), (PACKAGE + ".apk", APK), ("config.arm64_v8a.apk", APK),
                         ("Android/obb/%s/main.1.%s.obb" % (PACKAGE, PACKAGE), b"obb" * 50)])),
    "xapk-single": (1, archive([("manifest.json", xapk_manifest(split_apks=[], xapk_version=1)),
                                (PACKAGE + ".apk", APK),
                                ("Android/obb/%s/main.1.%s.obb" % (PACKAGE, PACKAGE), b"obb")])),
    "apkm": (2, archive([("info.json", json.dumps({"pname": PACKAGE, "versioncode": 1, "min_api": "21"}).encode()),
                         ("base.apk", APK), ("split_config.arm64_v8a.apk", APK), ("split_feature_x.apk", APK)],
                        zipfile.ZIP_DEFLATED)),
    "manifest-full": (3, xapk_manifest()),
    "manifest-numbers": (3, xapk_manifest(version_code=12345678901, min_sdk_version="19")),
    "manifest-climbing": (3, xapk_manifest(split_apks=[{"file": "../" + PACKAGE + ".apk", "id": "base"}],
                                           expansions=[{"file": "../../x.obb", "install_path": "/sdcard/../x"}])),
    "manifest-odd": (3, b'{"package_name": 5, "split_apks": {"file": []}, "expansions": null}'),
    "info": (4, json.dumps({"pname": PACKAGE, "versioncode": "1", "min_api": 21.0}).encode()),
}


def main(out):
    os.makedirs(out, exist_ok=True)
    for name, (mode, data) in SEEDS.items():
        with open(os.path.join(out, name + ".seed"), "wb") as f:
            f.write(bytes([mode]) + data)


if __name__ == "__main__":
    main(sys.argv[1])
