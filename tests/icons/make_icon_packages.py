#!/usr/bin/env python3
"""Builds the packages the icon tests open, each with Debian's aapt:

  icon-large.apk     one 144 px PNG icon (drawn scaled down to fit the icon box)
  icon-adaptive.apk  an adaptive icon (XML) for every density, with PNGs of 48 to 144 px beside it
  icon-small.apk     an adaptive icon with PNGs of 36 and 48 px only
  icon-none.apk      no icon at all
  icon-damaged.apk   the PNG icon member cut short
  icon-webp.apk      WebP pictures only, of 48 to 144 px
  icon-themed.apk    an adaptive icon whose background is a theme attribute (which we can't draw),
                     with WebP pictures beside it
  icon-layered.apk   an adaptive icon of a colour and a WebP foreground per density: blue at mdpi,
                     green at xhdpi, so that the density the icon is drawn for shows

  make_icon_packages.py <aapt> <framework-res.apk> <make_logo.py> <cwebp> <out-dir>
"""
import os
import shutil
import subprocess
import sys
import zipfile

MANIFEST = """<?xml version="1.0" encoding="utf-8"?>
<manifest xmlns:android="http://schemas.android.com/apk/res/android" package="org.varnel.icons.{name}"
    android:versionCode="1" android:versionName="1.0">
    <uses-sdk android:minSdkVersion="21" android:targetSdkVersion="29" />
    <application android:label="Icon {name}" {icon} />
</manifest>
"""

ADAPTIVE = """<?xml version="1.0" encoding="utf-8"?>
<adaptive-icon xmlns:android="http://schemas.android.com/apk/res/android">
    <background android:drawable="@color/icon_background" />
    <foreground android:drawable="@mipmap/ic_launcher" />
</adaptive-icon>
"""

COLORS = """<?xml version="1.0" encoding="utf-8"?>
<resources><color name="icon_background">#FF8A1E</color></resources>
"""


def build(aapt, framework, work, out, name, densities, adaptive, icon=True):
    root = os.path.join(work, name)
    shutil.rmtree(root, ignore_errors=True)
    res = os.path.join(root, "res")
    os.makedirs(os.path.join(res, "values"))
    with open(os.path.join(res, "values", "colors.xml"), "w") as f:
        f.write(COLORS)
    for density in densities:
        src = os.path.join(work, "pngs", "mipmap-" + density, "ic_launcher.png")
        dst_dir = os.path.join(res, "mipmap-" + density)
        os.makedirs(dst_dir, exist_ok=True)
        shutil.copy(src, dst_dir)
    if adaptive:
        os.makedirs(os.path.join(res, "mipmap-anydpi-v26"))
        with open(os.path.join(res, "mipmap-anydpi-v26", "ic_launcher.xml"), "w") as f:
            f.write(ADAPTIVE)
    manifest = os.path.join(root, "AndroidManifest.xml")
    with open(manifest, "w") as f:
        f.write(MANIFEST.format(name=name, icon='android:icon="@mipmap/ic_launcher"' if icon else ""))
    target = os.path.join(out, "icon-" + name + ".apk")
    subprocess.check_call([aapt, "package", "-f", "-M", manifest, "-S", res, "-I", framework, "-F", target])
    return target


THEMED = """<?xml version="1.0" encoding="utf-8"?>
<adaptive-icon xmlns:android="http://schemas.android.com/apk/res/android">
    <background android:drawable="?android:attr/colorAccent" />
    <foreground android:drawable="@mipmap/ic_launcher_foreground" />
</adaptive-icon>
"""

LAYERED = """<?xml version="1.0" encoding="utf-8"?>
<adaptive-icon xmlns:android="http://schemas.android.com/apk/res/android">
    <background android:drawable="@color/icon_background" />
    <foreground android:drawable="@mipmap/ic_launcher_foreground" />
</adaptive-icon>
"""


def solid_webp(cwebp, work, path, size, rgba):
    """A square picture of one colour in its middle third, transparent around it, as WebP."""
    sys.path.insert(0, os.path.dirname(MAKE_LOGO[0]))
    import make_logo as logo

    def shape(x, y):
        return rgba if 1 / 3 <= x <= 2 / 3 and 1 / 3 <= y <= 2 / 3 else (0, 0, 0, 0)
    png = os.path.join(work, "solid.png")
    with open(png, "wb") as f:
        f.write(logo.png_bytes(logo.render(shape, size)))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.check_call([cwebp, "-quiet", "-lossless", png, "-o", path])


def build_webp(aapt, framework, cwebp, work, out, name, adaptive_xml, foregrounds):
    root = os.path.join(work, name)
    shutil.rmtree(root, ignore_errors=True)
    res = os.path.join(root, "res")
    os.makedirs(os.path.join(res, "values"))
    with open(os.path.join(res, "values", "colors.xml"), "w") as f:
        f.write(COLORS)
    for density in ("mdpi", "hdpi", "xhdpi", "xxhdpi"):
        png = os.path.join(work, "pngs", "mipmap-" + density, "ic_launcher.png")
        os.makedirs(os.path.join(res, "mipmap-" + density))
        subprocess.check_call([cwebp, "-quiet", "-q", "90", "-alpha_q", "100", png, "-o",
                               os.path.join(res, "mipmap-" + density, "ic_launcher.webp")])
    for density, (size, rgba) in foregrounds.items():
        solid_webp(cwebp, work, os.path.join(res, "mipmap-" + density, "ic_launcher_foreground.webp"), size, rgba)
    if adaptive_xml:
        os.makedirs(os.path.join(res, "mipmap-anydpi-v26"))
        with open(os.path.join(res, "mipmap-anydpi-v26", "ic_launcher.xml"), "w") as f:
            f.write(adaptive_xml)
    manifest = os.path.join(root, "AndroidManifest.xml")
    with open(manifest, "w") as f:
        f.write(MANIFEST.format(name=name, icon='android:icon="@mipmap/ic_launcher"'))
    target = os.path.join(out, "icon-" + name + ".apk")
    subprocess.check_call([aapt, "package", "-f", "-M", manifest, "-S", res, "-I", framework, "-F", target])


MAKE_LOGO = []


def main(aapt, framework, make_logo, cwebp, out):
    MAKE_LOGO.append(make_logo)
    work = os.path.join(out, "icon-sources")
    os.makedirs(work, exist_ok=True)
    pngs = os.path.join(work, "pngs")
    subprocess.check_call([sys.executable, make_logo, "--sample-res", pngs])
    # An ldpi picture too, made from the mdpi one's maker at 36 px.
    ldpi = os.path.join(pngs, "mipmap-ldpi")
    os.makedirs(ldpi, exist_ok=True)
    sys.path.insert(0, os.path.dirname(make_logo))
    import make_logo as logo
    with open(os.path.join(ldpi, "ic_launcher.png"), "wb") as f:
        f.write(logo.png_bytes(logo.render(logo.sample_icon, 36)))

    build(aapt, framework, work, out, "large", ["xxhdpi"], adaptive=False)
    build(aapt, framework, work, out, "adaptive", ["mdpi", "hdpi", "xhdpi", "xxhdpi"], adaptive=True)
    build(aapt, framework, work, out, "small", ["ldpi", "mdpi"], adaptive=True)
    build(aapt, framework, work, out, "none", [], adaptive=False, icon=False)
    good = build(aapt, framework, work, out, "damaged", ["mdpi"], adaptive=False)
    # Cut the icon member short, keeping the archive itself sound.
    damaged = os.path.join(out, "icon-damaged.tmp")
    with zipfile.ZipFile(good) as src, zipfile.ZipFile(damaged, "w") as dst:
        for info in src.infolist():
            data = src.read(info.filename)
            if info.filename.endswith("ic_launcher.png"):
                data = data[: len(data) // 2]
            dst.writestr(info, data)
    os.replace(damaged, good)
    build_webp(aapt, framework, cwebp, work, out, "webp", None, {})
    foreground = {"mdpi": (108, (0x19, 0x76, 0xD2, 255)), "xhdpi": (216, (0x38, 0x8E, 0x3C, 255))}
    build_webp(aapt, framework, cwebp, work, out, "themed", THEMED, foreground)
    build_webp(aapt, framework, cwebp, work, out, "layered", LAYERED, foreground)
    # What Debian's aapt prints for each, for the tool stand-in.
    for name in ("large", "adaptive", "small", "none", "damaged", "webp", "themed", "layered"):
        apk = os.path.join(out, "icon-" + name + ".apk")
        with open(apk + ".txt", "wb") as f:
            f.write(subprocess.check_output([aapt, "dump", "badging", apk]))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
