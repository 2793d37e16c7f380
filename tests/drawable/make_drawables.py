#!/usr/bin/env python3
"""Builds the drawables the drawing tests read, with Debian's aapt, and their oracle pictures.

Every case is one drawable written twice: as Android XML (compiled into drawables.apk) and as the
same picture in SVG, which librsvg's rsvg-convert draws into oracle/<name>.png. The test draws the
compiled drawable with our code and compares the two.

  make_drawables.py <aapt> <framework-res.apk> <rsvg-convert> <out-dir>

Writes <out-dir>/drawables.apk, <out-dir>/oracle/*.png and <out-dir>/cases.txt, one line per case:
"draw <name> <width> <height>" (drawn into that many pixels, 1 px per dp) or "icon <name> <box>"
(drawn as a launcher icon), "refuse <name> <words of the reason>" for drawables we must not read,
and "hostile <name> <drawn: 0 or 1>" for drawables read but too much or too odd to draw normally.
"""
import base64
import os
import shutil
import struct
import subprocess
import sys
import zlib

A = 'xmlns:android="http://schemas.android.com/apk/res/android"'

MANIFEST = """<?xml version="1.0" encoding="utf-8"?>
<manifest %s package="org.varnel.drawables">
    <uses-sdk android:minSdkVersion="26" android:targetSdkVersion="29" />
    <application android:label="Drawables" android:icon="@drawable/adaptive" />
</manifest>
""" % A

VALUES = """<resources>
    <color name="teal">#FF00897B</color>
    <color name="amber">#FFFFB300</color>
    <color name="via_teal">@color/teal</color>
    <dimen name="corner">12dp</dimen>
    <string name="star">M32,4 L40,24 L62,24 L44,38 L51,60 L32,46 L13,60 L20,38 L2,24 L24,24 Z</string>
</resources>
"""

# res/color files: a state list and gradients, as vector paths take them.
COLORS = {
    "states": """<selector %s>
        <item android:state_pressed="true" android:color="#FFFF0000" />
        <item android:color="#FF3949AB" android:alpha="0.5" />
    </selector>""" % A,
    "linear": """<gradient %s android:type="linear" android:startX="8" android:startY="8"
            android:endX="56" android:endY="40" android:tileMode="mirror">
        <item android:offset="0" android:color="#FFE53935" />
        <item android:offset="0.4" android:color="#FFFDD835" />
        <item android:offset="1" android:color="#FF1E88E5" />
    </gradient>""" % A,
    "linear_repeat": """<gradient %s android:startX="0" android:startY="0" android:endX="16" android:endY="0"
            android:startColor="#FF000000" android:endColor="#FFFFFFFF" android:tileMode="repeat" />""" % A,
    "radial": """<gradient %s android:type="radial" android:centerX="32" android:centerY="32"
            android:gradientRadius="28" android:startColor="#FFFFFFFF" android:centerColor="#FF43A047"
            android:endColor="#FF1B5E20" />""" % A,
}

V = '<vector %s android:width="64dp" android:height="64dp" android:viewportWidth="64" android:viewportHeight="64"%s>%s</vector>'


def vector(body, extra=""):
    return V % (A, extra, body)


def svg(body, w=64, h=64, view=None):
    view = view or "0 0 %d %d" % (w, h)
    return ('<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="%d" '
            'height="%d" viewBox="%s" preserveAspectRatio="none">%s</svg>' % (w, h, view, body))


LINEAR_SVG = ('<defs><linearGradient id="g" gradientUnits="userSpaceOnUse" x1="8" y1="8" x2="56" y2="40" '
              'spreadMethod="reflect"><stop offset="0" stop-color="#E53935"/><stop offset="0.4" '
              'stop-color="#FDD835"/><stop offset="1" stop-color="#1E88E5"/></linearGradient></defs>')
RADIAL_SVG = ('<defs><radialGradient id="r" gradientUnits="userSpaceOnUse" cx="32" cy="32" r="28">'
              '<stop offset="0" stop-color="#FFFFFF"/><stop offset="0.5" stop-color="#43A047"/>'
              '<stop offset="1" stop-color="#1B5E20"/></radialGradient></defs>')
STAR = "M32,4 L40,24 L62,24 L44,38 L51,60 L32,46 L13,60 L20,38 L2,24 L24,24 Z"


def picture_png(size):
    """A smooth picture (so that scaling it differs little between good filters) with alpha."""
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            row += bytes([x * 255 // (size - 1), y * 255 // (size - 1), 160, 255 if x + y > size // 3 else 0])
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))


PICTURE = picture_png(32)
PICTURE_URI = "data:image/png;base64," + base64.b64encode(PICTURE).decode()

# (name, Android XML, SVG, width, height). Drawn at 1 px per dp.
DRAW = [
    ("fill_alpha", vector('<path android:pathData="M8,8 h48 v20 h-48 z" android:fillColor="#FF00897B"/>'
                          '<path android:pathData="M16,20 h32 v36 h-32 z" android:fillColor="@color/via_teal" '
                          'android:fillAlpha="0.5"/><path android:pathData="@string/star" '
                          'android:fillColor="#80E53935"/>'),
     svg('<path d="M8,8 h48 v20 h-48 z" fill="#00897B"/><path d="M16,20 h32 v36 h-32 z" fill="#00897B" '
         'fill-opacity="0.5"/><path d="%s" fill="#E53935" fill-opacity="0.50196"/>' % STAR), 64, 64),
    ("fill_rules", vector('<path android:pathData="M4,4 h26 v56 h-26 z M10,10 h14 v44 h-14 z" '
                          'android:fillColor="#FF3949AB"/><path android:pathData="M34,4 h26 v56 h-26 z '
                          'M40,10 h14 v44 h-14 z" android:fillType="evenOdd" android:fillColor="#FF3949AB"/>'),
     svg('<path d="M4,4 h26 v56 h-26 z M10,10 h14 v44 h-14 z" fill="#3949AB"/><path d="M34,4 h26 v56 h-26 z '
         'M40,10 h14 v44 h-14 z" fill-rule="evenodd" fill="#3949AB"/>'), 64, 64),
    ("arcs_and_repeats", vector('<path android:pathData="M10 32a22 22 0 1 1 44 0 22 22 0 0 1-44 0zm8 0'
                                'a14 8 30 1 0 28 0 14 8 30 1 0-28 0" android:fillType="evenOdd" '
                                'android:fillColor="#FF8E24AA"/><path android:pathData="M4,60l6-8 6,8 6-8 6,8'
                                'q8-16 16 0t16 0" android:strokeColor="#FF000000" android:strokeWidth="2"/>'),
     svg('<path d="M10 32a22 22 0 1 1 44 0 22 22 0 0 1-44 0zm8 0a14 8 30 1 0 28 0 14 8 30 1 0-28 0" '
         'fill-rule="evenodd" fill="#8E24AA"/><path d="M4,60l6-8 6,8 6-8 6,8q8-16 16 0t16 0" fill="none" '
         'stroke="#000000" stroke-width="2"/>'), 64, 64),
    ("cubic_smooth", vector('<path android:pathData="M6,40 C6,10 30,10 30,30 S54,50 58,20 L58,60 H6 Z" '
                            'android:fillColor="#FFFB8C00"/>'),
     svg('<path d="M6,40 C6,10 30,10 30,30 S54,50 58,20 L58,60 H6 Z" fill="#FB8C00"/>'), 64, 64),
    ("caps", vector(''.join('<path android:pathData="M12,%d h40" android:strokeColor="#FF212121" '
                            'android:strokeWidth="8" android:strokeLineCap="%s"/>' % (y, cap)
                            for y, cap in ((12, "butt"), (32, "round"), (52, "square")))),
     svg(''.join('<path d="M12,%d h40" stroke="#212121" stroke-width="8" stroke-linecap="%s"/>' % (y, cap)
                 for y, cap in ((12, "butt"), (32, "round"), (52, "square")))), 64, 64),
    ("joins", vector(''.join('<path android:pathData="M%d,56 l8,-44 l8,44" android:strokeColor="#FF6D4C41" '
                             'android:strokeWidth="5" android:strokeLineJoin="%s" android:strokeMiterLimit="%s"/>'
                             % (x, join, limit) for x, join, limit in
                             ((2, "miter", "10"), (22, "round", "4"), (42, "miter", "2")))),
     svg(''.join('<path d="M%d,56 l8,-44 l8,44" fill="none" stroke="#6D4C41" stroke-width="5" '
                 'stroke-linejoin="%s" stroke-miterlimit="%s"/>' % (x, join, limit) for x, join, limit in
                 ((2, "miter", "10"), (22, "round", "4"), (42, "miter", "2")))), 64, 64),
    ("groups", vector('<group android:pivotX="32" android:pivotY="32" android:rotation="30" android:scaleX="0.8" '
                      'android:scaleY="0.6" android:translateX="4" android:translateY="-2">'
                      '<path android:pathData="M12,12 h40 v40 h-40 z" android:fillColor="#FF00ACC1"/>'
                      '<group android:rotation="-45" android:pivotX="32" android:pivotY="32">'
                      '<path android:pathData="M28,4 h8 v56 h-8 z" android:fillColor="#FFD81B60"/>'
                      '</group></group>'),
     svg('<g transform="translate(36,30) rotate(30) scale(0.8,0.6) translate(-32,-32)"><path '
         'd="M12,12 h40 v40 h-40 z" fill="#00ACC1"/><g transform="translate(32,32) rotate(-45) translate(-32,-32)">'
         '<path d="M28,4 h8 v56 h-8 z" fill="#D81B60"/></g></g>'), 64, 64),
    ("clip", vector('<path android:pathData="M0,0 h64 v8 h-64 z" android:fillColor="#FF000000"/>'
                    '<group><clip-path android:pathData="M32,4 a28,28 0 1 1 0,56 a28,28 0 1 1 0,-56"/>'
                    '<path android:pathData="M0,0 h40 v64 h-40 z" android:fillColor="#FF43A047"/>'
                    '<group android:translateX="8"><clip-path android:pathData="M0,24 h64 v16 h-64 z"/>'
                    '<path android:pathData="M0,0 h64 v64 h-64 z" android:fillColor="#FFF4511E"/></group></group>'
                    '<path android:pathData="M0,56 h64 v8 h-64 z" android:fillColor="#FF000000"/>'),
     svg('<defs><clipPath id="c"><path d="M32,4 a28,28 0 1 1 0,56 a28,28 0 1 1 0,-56"/></clipPath>'
         '<clipPath id="d"><path d="M8,24 h64 v16 h-64 z"/></clipPath></defs>'
         '<path d="M0,0 h64 v8 h-64 z" fill="#000000"/><g clip-path="url(#c)">'
         '<path d="M0,0 h40 v64 h-40 z" fill="#43A047"/><g clip-path="url(#d)"><path d="M8,0 h64 v64 h-64 z" '
         'fill="#F4511E"/></g></g><path d="M0,56 h64 v8 h-64 z" fill="#000000"/>'), 64, 64),
    ("vector_alpha", vector('<path android:pathData="M8,8 h32 v32 h-32 z" android:fillColor="#FF1E88E5"/>'
                            '<path android:pathData="M24,24 h32 v32 h-32 z" android:fillColor="#FFE53935"/>',
                            ' android:alpha="0.6"'),
     svg('<g opacity="0.6"><path d="M8,8 h32 v32 h-32 z" fill="#1E88E5"/><path d="M24,24 h32 v32 h-32 z" '
         'fill="#E53935"/></g>'), 64, 64),
    ("gradient_linear", vector('<path android:pathData="M2,2 h60 v60 h-60 z" android:fillColor="@color/linear"/>'),
     svg(LINEAR_SVG + '<path d="M2,2 h60 v60 h-60 z" fill="url(#g)"/>'), 64, 64),
    ("gradient_repeat", vector('<path android:pathData="M0,0 h64 v64 h-64 z" '
                               'android:fillColor="@color/linear_repeat"/>'),
     svg('<defs><linearGradient id="p" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="16" y2="0" '
         'spreadMethod="repeat"><stop offset="0" stop-color="#000000"/><stop offset="1" stop-color="#FFFFFF"/>'
         '</linearGradient></defs><path d="M0,0 h64 v64 h-64 z" fill="url(#p)"/>'), 64, 64),
    ("gradient_radial_stroke", vector('<path android:pathData="M32,4 a28,28 0 1 1 0,56 a28,28 0 1 1 0,-56 z" '
                                      'android:fillColor="@color/radial" android:strokeColor="@color/states" '
                                      'android:strokeWidth="4" android:strokeAlpha="0.8"/>'),
     svg(RADIAL_SVG + '<path d="M32,4 a28,28 0 1 1 0,56 a28,28 0 1 1 0,-56 z" fill="url(#r)" stroke="#3949AB" '
         'stroke-opacity="0.4" stroke-width="4"/>'), 64, 64),
    # A line of length 48 trimmed to [0.25, 0.75] shifted by 0.1: the piece from 16.8 to 40.8.
    ("trim", vector('<path android:pathData="M8,20 h48" android:strokeColor="#FF000000" android:strokeWidth="6" '
                    'android:trimPathStart="0.25" android:trimPathEnd="0.75" android:trimPathOffset="0.1"/>'
                    '<path android:pathData="M8,44 h48" android:strokeColor="#FF000000" android:strokeWidth="6" '
                    'android:trimPathStart="0.8" android:trimPathEnd="0.3"/>'),
     svg('<path d="M8,20 h48" stroke="#000000" stroke-width="6" stroke-dasharray="24 48" '
         'stroke-dashoffset="-16.8"/><path d="M8,44 h48" stroke="#000000" stroke-width="6" '
         'stroke-dasharray="14.4 48"/><path d="M46.4,44 h9.6" stroke="#000000" stroke-width="6"/>'), 64, 64),
    # The viewport stretched over a drawable twice as wide as it is tall.
    ("viewport", '<vector %s android:width="96dp" android:height="48dp" android:viewportWidth="24" '
                 'android:viewportHeight="24"><path android:pathData="M2,2 L22,12 L2,22 Z" '
                 'android:fillColor="#FF5E35B1"/></vector>' % A,
     svg('<path d="M2,2 L22,12 L2,22 Z" fill="#5E35B1"/>', 96, 48, "0 0 24 24"), 96, 48),
    ("tint", vector('<path android:pathData="M8,8 h48 v48 h-48 z" android:fillColor="#80000000"/>',
                    ' android:tint="@color/amber"'),
     svg('<path d="M8,8 h48 v48 h-48 z" fill="#FFB300" fill-opacity="0.50196"/>'), 64, 64),
    ("shape_rect", '<shape %s><corners android:radius="@dimen/corner" android:bottomRightRadius="2dp"/>'
                   '<solid android:color="#FF7CB342"/><stroke android:width="4dp" android:color="#FF33691E"/>'
                   '</shape>' % A,
     svg('<path d="M14,2 H50 A12,12 0 0 1 62,14 V60 A2,2 0 0 1 60,62 H14 A12,12 0 0 1 2,50 V14 A12,12 0 0 1 14,2 Z"'
         ' fill="#7CB342" stroke="#33691E" stroke-width="4"/>'), 64, 64),
    ("shape_oval_gradient", '<shape %s android:shape="oval"><gradient android:angle="90" '
                            'android:startColor="#FFFFFFFF" android:endColor="#FF00838F"/></shape>' % A,
     svg('<defs><linearGradient id="o" gradientUnits="userSpaceOnUse" x1="0" y1="48" x2="0" y2="0">'
         '<stop offset="0" stop-color="#FFFFFF"/><stop offset="1" stop-color="#00838F"/></linearGradient></defs>'
         '<ellipse cx="32" cy="24" rx="32" ry="24" fill="url(#o)"/>', 64, 48), 64, 48),
    ("shape_radial", '<shape %s><gradient android:type="radial" android:gradientRadius="50%%" '
                     'android:centerX="0.25" android:startColor="#FFFFEB3B" android:centerColor="#FFFF9800" '
                     'android:endColor="#FFBF360C"/></shape>' % A,
     svg('<defs><radialGradient id="s" gradientUnits="userSpaceOnUse" cx="16" cy="32" r="32">'
         '<stop offset="0" stop-color="#FFEB3B"/><stop offset="0.25" stop-color="#FF9800"/>'
         '<stop offset="1" stop-color="#BF360C"/></radialGradient></defs><rect width="64" height="64" '
         'fill="url(#s)"/>'), 64, 64),
    ("inset", '<inset %s android:inset="25%%" android:insetLeft="4dp"><shape><solid android:color="#FF546E7A"/>'
              '</shape></inset>' % A,
     svg('<rect x="4" y="16" width="44" height="32" fill="#546E7A"/>'), 64, 64),
    ("layers", '<layer-list %s><item android:drawable="@color/teal"/><item android:left="8dp" android:top="8dp" '
               'android:right="8dp" android:bottom="32dp"><shape android:shape="oval"><solid '
               'android:color="#FFFFB300"/></shape></item><item android:width="16dp" android:height="16dp" '
               'android:gravity="bottom|right"><color android:color="#FFE53935"/></item>'
               '<item android:gravity="center" android:width="12dp" android:height="12dp" '
               'android:drawable="@drawable/fill_alpha"/></layer-list>' % A,
     svg('<rect width="64" height="64" fill="#00897B"/><ellipse cx="32" cy="20" rx="24" ry="12" fill="#FFB300"/>'
         '<rect x="48" y="48" width="16" height="16" fill="#E53935"/><svg x="26" y="26" width="12" height="12" '
         'viewBox="0 0 64 64"><path d="M8,8 h48 v20 h-48 z" fill="#00897B"/><path d="M16,20 h32 v36 h-32 z" '
         'fill="#00897B" fill-opacity="0.5"/><path d="%s" fill="#E53935" fill-opacity="0.50196"/></svg>' % STAR),
     64, 64),
    ("bitmap", '<bitmap %s android:src="@drawable/picture"/>' % A,
     svg('<image width="64" height="64" preserveAspectRatio="none" xlink:href="%s"/>' % PICTURE_URI), 64, 64),
]

ADAPTIVE = """<adaptive-icon %s>
    <background android:drawable="@drawable/icon_background" />
    <foreground android:drawable="@drawable/icon_foreground" />
    <monochrome android:drawable="@drawable/missing_on_purpose" />
</adaptive-icon>""" % A
ICON_BACKGROUND = ('<vector %s android:width="108dp" android:height="108dp" android:viewportWidth="108" '
                   'android:viewportHeight="108"><path android:pathData="M0,0h108v108h-108z" '
                   'android:fillColor="#FF26A69A"/><path android:pathData="M0,54h108" android:strokeColor="#33FFFFFF" '
                   'android:strokeWidth="2"/></vector>' % A)
ICON_FOREGROUND = ('<inset %s android:inset="16.7%%"><vector android:width="72dp" android:height="72dp" '
                   'android:viewportWidth="72" android:viewportHeight="72"><path android:pathData="M36,10 L62,62 H10 Z" '
                   'android:fillColor="#FFFFFFFF"/></vector></inset>' % A)
# The icon in a 72 px box: the 108 dp layers span -18..90 px, clipped to a square rounded by 14.4 px.
ICON_SVG = svg('<defs><clipPath id="m"><rect width="72" height="72" rx="14.4" ry="14.4"/></clipPath></defs>'
               '<g clip-path="url(#m)"><g transform="translate(-18,-18)"><path d="M0,0h108v108h-108z" fill="#26A69A"/>'
               '<path d="M0,54h108" stroke="#FFFFFF" stroke-opacity="0.2" stroke-width="2"/>'
               '<g transform="translate(18.036,18.036) scale(0.99899)"><path d="M36,10 L62,62 H10 Z" fill="#FFFFFF"/>'
               '</g></g></g>', 72, 72)

# Drawables the phone can't inflate, or that we must not try: each gets the bitmap rule instead.
REFUSE = [
    ("refuse_theme", vector('<path android:pathData="M0,0h64v64h-64z" android:fillColor="?android:attr/colorAccent"/>'),
     "theme attribute"),
    ("refuse_unknown", '<ripple %s android:color="#FF000000"/>' % A, "unknown element"),
    ("refuse_self", '<layer-list %s><item android:drawable="@drawable/refuse_self"/></layer-list>' % A,
     "refers to itself"),
    ("refuse_no_viewport", '<vector %s android:width="24dp" android:height="24dp" android:viewportWidth="0" '
                           'android:viewportHeight="24"/>' % A, "without a size or a viewport"),
    ("refuse_infinite", '<vector %s android:width="24dp" android:height="24dp" android:viewportWidth="1e39" '
                        'android:viewportHeight="24"/>' % A, "not finite"),
    ("refuse_path", vector('<path android:pathData="M0,0 L10,10 X" android:fillColor="#FF000000"/>'),
     "path data"),
    ("refuse_deep", vector("<group>" * 80 + '<path android:pathData="M0,0h1v1z" android:fillColor="#FF000000"/>' +
                           "</group>" * 80), "too deeply"),
]


# Read, but beyond what is drawn: megabytes of path data (more points than the rasteriser takes in
# one outline) and a viewport so large that the whole picture shrinks to nothing.
HUGE_PATH = "M8,8" + "l40,20 -40,20 0,-40" * 100000 + "z"
HOSTILE = [
    ("hostile_huge_path", vector('<path android:pathData="%s" android:fillColor="#FF000000"/>' % HUGE_PATH), 0),
    ("hostile_huge_viewport", '<vector %s android:width="24dp" android:height="24dp" android:viewportWidth="1e30" '
                              'android:viewportHeight="1e30"><path android:pathData="M0,0 h1e30 v1e30 z" '
                              'android:strokeColor="#FF000000" android:strokeWidth="1e29"/></vector>' % A, 1),
]


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n' + text + "\n")


def main(aapt, framework, rsvg, out):
    work = os.path.join(out, "sources")
    shutil.rmtree(work, ignore_errors=True)
    res = os.path.join(work, "res")
    oracle = os.path.join(out, "oracle")
    os.makedirs(oracle, exist_ok=True)
    write(os.path.join(res, "values", "values.xml"), VALUES)
    for name, text in COLORS.items():
        write(os.path.join(res, "color", name + ".xml"), text)
    os.makedirs(os.path.join(res, "drawable-nodpi"))
    with open(os.path.join(res, "drawable-nodpi", "picture.png"), "wb") as f:
        f.write(PICTURE)
    lines = []
    cases = [(n, x, s, w, h) for n, x, s, w, h in DRAW] + [("adaptive", ADAPTIVE, ICON_SVG, 72, 72)]
    for name, xml, picture, width, height in cases:
        write(os.path.join(res, "drawable", name + ".xml"), xml)
        svg_path = os.path.join(work, name + ".svg")
        with open(svg_path, "w") as f:
            f.write(picture)
        subprocess.check_call([rsvg, "-w", str(width), "-h", str(height), "-o",
                               os.path.join(oracle, name + ".png"), svg_path])
        lines.append("icon %s %d" % (name, width) if name == "adaptive" else "draw %s %d %d" % (name, width, height))
    write(os.path.join(res, "drawable", "icon_background.xml"), ICON_BACKGROUND)
    write(os.path.join(res, "drawable", "icon_foreground.xml"), ICON_FOREGROUND)
    write(os.path.join(res, "drawable", "missing_on_purpose.xml"), '<color %s android:color="#FF000000"/>' % A)
    for name, xml, reason in REFUSE:
        write(os.path.join(res, "drawable", name + ".xml"), xml)
        lines.append("refuse %s %s" % (name, reason))
    for name, xml, drawn in HOSTILE:
        write(os.path.join(res, "drawable", name + ".xml"), xml)
        lines.append("hostile %s %d" % (name, drawn))
    manifest = os.path.join(work, "AndroidManifest.xml")
    with open(manifest, "w") as f:
        f.write(MANIFEST)
    apk = os.path.join(out, "drawables.apk")
    subprocess.check_call([aapt, "package", "-f", "-M", manifest, "-S", res, "-I", framework, "-F", apk],
                          stdout=subprocess.DEVNULL)
    # The monochrome layer names a file that is not there: <monochrome> must be passed over.
    subprocess.check_call(["zip", "-q", "-d", apk, "res/drawable/missing_on_purpose.xml"])
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
