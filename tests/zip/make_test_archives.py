#!/usr/bin/env python3
"""Makes the reader's test archives with real tools, at build time.

    make_test_archives.py <output-folder>

Info-ZIP zip (stored, deflated, comments, data descriptors from streamed output, encryption),
Python's zipfile (Zip64 records forced, more than 65535 entries), aapt (a real package), our own
encoders for the older methods (each archive accepted by Info-ZIP's `unzip -t` before use, where
unzip supports the method), and hand-made damage. Every member of the tool-made archives is
extracted with `unzip -p` into expected/, listed in manifest.txt as
    <archive> TAB <stored name> TAB <expected file>
so the tests compare our output with Info-ZIP's."""
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import legacy_encoders as legacy  # noqa: E402
import zipwriter  # noqa: E402

FRAMEWORK = "/usr/share/android-framework-res/framework-res.apk"


def run(args, cwd=None, stdin=None, stdout=None):
    subprocess.run(args, cwd=cwd, stdin=stdin, stdout=stdout, check=True)


def png_bytes(width, height, seed):
    """A small true-colour PNG, so that aapt has an icon to package."""
    rnd = random.Random(seed)
    rows = b"".join(b"\0" + bytes(rnd.getrandbits(8) for _ in range(width * 3)) for _ in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def sample_inputs():
    rnd = random.Random(4)
    words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9))) for _ in range(400)]
    text = b" ".join(rnd.choice(words) for _ in range(12000))
    binary = bytes(rnd.getrandbits(8) for _ in range(5000)) + bytes([144]) * 300 + bytes(range(256)) * 8
    runs = b"\0" * 20000 + b"ab" * 3000 + b"\x90\x00" * 500
    return {"text.txt": text, "binary.bin": binary, "runs.bin": runs, "one.txt": b"x"}


def make_tool_archives(out, work):
    """Archives made by Info-ZIP zip, Python's zipfile and aapt. Returns their names."""
    src = os.path.join(work, "src")
    os.makedirs(os.path.join(src, "res", "drawable-hdpi"))
    os.makedirs(os.path.join(src, "assets", "empty"))
    inputs = sample_inputs()
    for name, data in inputs.items():
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
    with open(os.path.join(src, "res", "drawable-hdpi", "icon.png"), "wb") as f:
        f.write(png_bytes(24, 24, 1))
    with open(os.path.join(src, "empty.txt"), "wb"):
        pass
    members = ["text.txt", "binary.bin", "runs.bin", "one.txt", "empty.txt", "res/drawable-hdpi/icon.png",
               "assets/empty/"]
    names = []

    def izip(archive, *options, stdin_text=None):
        path = os.path.join(out, archive)
        if stdin_text is None:
            run(["zip", "-q", "-X", *options, path, *members], cwd=src)
        else:
            with open(os.path.join(work, "stdin.txt"), "w") as f:
                f.write(stdin_text)
            with open(os.path.join(work, "stdin.txt")) as f:
                run(["zip", "-q", "-X", *options, path, *members], cwd=src, stdin=f)
        names.append(archive)

    izip("izip_stored.zip", "-0")
    izip("izip_deflated.zip", "-9")
    izip("izip_comment.zip", "-9", "-z", stdin_text="An archive comment.\n")
    # Output to a pipe cannot be rewound: zip writes data descriptors (flag bit 3).
    streamed = subprocess.run(["zip", "-q", "-X", "-9", "-", *members], cwd=src, stdout=subprocess.PIPE,
                              check=True).stdout
    with open(os.path.join(out, "izip_stream.zip"), "wb") as f:
        f.write(streamed)
    names.append("izip_stream.zip")
    # Streamed input: the member "-" whose size zip learns only at its end.
    with open(os.path.join(src, "text.txt"), "rb") as f:
        run(["zip", "-q", "-X", "-9", os.path.join(out, "izip_stdin.zip"), "-"], cwd=src, stdin=f)
    names.append("izip_stdin.zip")
    izip("izip_encrypted.zip", "-9", "-P", "secret")

    with zipfile.ZipFile(os.path.join(out, "py_zip64.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("text.txt", "binary.bin", "one.txt"):
            with z.open("zip64/" + name, "w", force_zip64=True) as f:
                f.write(inputs[name])
        z.writestr("zip64/stored.bin", inputs["binary.bin"], compress_type=zipfile.ZIP_STORED)
    names.append("py_zip64.zip")

    # More entries than the 16-bit count holds: Python writes a Zip64 end record and locator.
    with zipfile.ZipFile(os.path.join(out, "py_many.zip"), "w", zipfile.ZIP_STORED) as z:
        for i in range(70000):
            z.writestr("many/f%05d.txt" % i, b"%d" % i)

    # A real package: aapt with the platform's framework resources.
    app = os.path.join(work, "app")
    os.makedirs(os.path.join(app, "res", "drawable-hdpi"))
    os.makedirs(os.path.join(app, "res", "values"))
    with open(os.path.join(app, "AndroidManifest.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n'
                '<manifest xmlns:android="http://schemas.android.com/apk/res/android"\n'
                '    package="com.example.varnel" android:versionCode="3" android:versionName="1.2">\n'
                '  <uses-sdk android:minSdkVersion="8" />\n'
                '  <uses-permission android:name="android.permission.INTERNET" />\n'
                '  <application android:label="@string/app_name" android:icon="@drawable/icon" />\n'
                '</manifest>\n')
    with open(os.path.join(app, "res", "values", "strings.xml"), "w") as f:
        f.write('<resources><string name="app_name">Varnel Test</string></resources>\n')
    with open(os.path.join(app, "res", "drawable-hdpi", "icon.png"), "wb") as f:
        f.write(png_bytes(48, 48, 2))
    run(["aapt", "package", "-f", "-M", os.path.join(app, "AndroidManifest.xml"), "-S", os.path.join(app, "res"),
         "-I", FRAMEWORK, "-F", os.path.join(out, "aapt_app.apk")], stdout=subprocess.DEVNULL)
    names.append("aapt_app.apk")
    return names


def make_legacy_archives(out):
    """Methods 1 to 6 from our own encoders. Returns (archive, checked by unzip) pairs."""
    inputs = sample_inputs()
    made = []

    def archive(name, method, encode, flags=0):
        entries = [zipwriter.Entry(n, d, method, encode(d), flags=flags) for n, d in inputs.items()]
        with open(os.path.join(out, name), "wb") as f:
            f.write(zipwriter.build(entries))
        made.append(name)

    archive("legacy_shrink.zip", 1, legacy.shrink)
    for factor in range(1, 5):
        archive("legacy_reduce%d.zip" % factor, 1 + factor, lambda d, f=factor: legacy.reduce(d, f))
    for dict8k in (False, True):
        for literal_tree in (False, True):
            archive("legacy_implode_%s_%s.zip" % ("8k" if dict8k else "4k", "3trees" if literal_tree else "2trees"),
                    6, lambda d, a=dict8k, b=literal_tree: legacy.implode(d, a, b),
                    flags=(2 if dict8k else 0) | (4 if literal_tree else 0))
    # One small member per method in one archive, for the byte-by-byte damage tests.
    small = inputs["text.txt"][:120]
    entries = [zipwriter.Entry("shrink.txt", small, 1, legacy.shrink(small))]
    entries += [zipwriter.Entry("reduce%d.txt" % f, small, 1 + f, legacy.reduce(small, f)) for f in range(1, 5)]
    entries += [zipwriter.Entry("implode%d.txt" % k, small, 6, legacy.implode(small, bool(k & 2), bool(k & 4)),
                                flags=k) for k in (0, 2, 4, 6)]
    deflater = zlib.compressobj(9, zlib.DEFLATED, -15)
    entries.append(zipwriter.Entry("deflate.txt", small, 8, deflater.compress(small) + deflater.flush()))
    entries.append(zipwriter.Entry("stored.txt", small))
    with open(os.path.join(out, "small_methods.zip"), "wb") as f:
        f.write(zipwriter.build(entries))
    with open(os.path.join(out, "expected", "small.txt"), "wb") as f:
        f.write(small)
    made.append("small_methods.zip")

    checked = []
    for name in made:
        # Debian's unzip is built without Reduce (it skips such members): those are checked against
        # the original bytes only.
        if name.startswith("legacy_reduce"):
            continue
        result = subprocess.run(["unzip", "-tq", os.path.join(out, name)], capture_output=True, text=True)
        if "No errors detected" not in result.stdout:
            sys.exit("unzip -t rejects %s:\n%s%s" % (name, result.stdout, result.stderr))
        checked.append(name)
    for name, data in inputs.items():
        with open(os.path.join(out, "expected", "legacy-" + name), "wb") as f:
            f.write(data)
    return made, checked


def make_hand_made(out):
    """Archives with particular structure or damage, from our own writer."""
    E = zipwriter.Entry
    text = sample_inputs()["text.txt"][:5000]
    deflated = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = deflated.compress(text) + deflated.flush()

    def write(name, data):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    # Zip64 values in the central extra field for every marked field, disk number included, and
    # an end record that hands the count and offset on to the Zip64 end record.
    e = E("deep/zip64.txt", text, 8, packed, version_needed=45)
    e.compressed_size = e.uncompressed_size = 0xFFFFFFFF
    e.local_offset = 0xFFFFFFFF
    e.start_disk = 0xFFFF
    e.local_extra = zipwriter.zip64_extra((8, len(text)), (8, len(packed)))
    e.central_extra = (struct.pack("<HH", 0x5455, 5) + b"\x01\0\0\0\0" +
                       zipwriter.zip64_extra((8, len(text)), (8, len(packed)), (8, 0), (4, 0)))
    write("zip64_central.zip", zipwriter.build(
        [e, E("plain.txt", b"plain")], zip64_end=True,
        eocd={"entries": 0xFFFF, "entries_disk": 0xFFFF, "central_offset": 0xFFFFFFFF}))

    # The marker without any Zip64 record: the 32-bit value stands.
    e = E("marker.txt", text, 8, packed)
    e.uncompressed_size = 0xFFFFFFFF
    write("marker_no_zip64.zip", zipwriter.build([e]))

    # A central entry declares 8 extra bytes that are not there; its comment follows the name.
    e = E("first.txt", b"first", comment=b"note")
    e.declared_extra_length = 8
    write("missing_extra.zip", zipwriter.build([e, E("second.txt", b"second"), E("third.txt", b"third")]))

    # Central directory in reverse order of the local headers.
    entries = [E("c.txt", b"ccc"), E("a.txt", b"a"), E("b.txt", b"bb")]
    write("reversed_central.zip", zipwriter.build(entries, central_order=[2, 1, 0]))

    # Two central entries pointing at the same local header: the rebuild finds both members.
    entries = [E("one.txt", b"one"), E("two.txt", b"two")]
    entries[1].local_offset = 0
    write("duplicate_offsets.zip", zipwriter.build(entries))

    # The second central header's signature is damaged.
    data = bytearray(zipwriter.build([E("one.txt", b"one"), E("two.txt", b"two"), E("three.txt", b"three")]))
    second = data.index(b"PK\x01\x02", data.index(b"PK\x01\x02") + 4)
    data[second + 2] = 0x09
    write("bad_central_signature.zip", bytes(data))

    # The comment holds an end-record signature followed by nonsense: that one is nearest the end.
    bogus = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, 3, 3, 999, 123456, 0)
    write("eocd_in_comment.zip", zipwriter.build([E("real.txt", b"real")], comment=b"see " + bogus + b" here"))

    # Names: a colon after the last slash; a directory entry; no separator at all.
    write("names.zip", zipwriter.build([E("raw/a:b.png", b"colon"), E("assets/", b""), E("top.txt", b"top"),
                                        E("res/drawable-hdpi/icon.png", b"icon"),
                                        E("RES/Other/ICON.PNG", b"other")]))

    # Date-times needing repair: all zero; hour 31; a valid one.
    write("dates.zip", zipwriter.build([E("zero.txt", b"z", time=0, date=0), E("hour.txt", b"h", time=31 << 11),
                                        E("valid.txt", b"v")]))

    # OEM names: code page 437 bytes from an MS-DOS host, the same bytes from a Unix host, and a
    # GBK character whose second byte is '\'.
    write("oem_names.zip", zipwriter.build([
        E(b"dos\x81.txt", b"dos"), E(b"unix\x81.txt", b"unix", version_made_by=0x0314),
        E(b"gbk/\x81\x5c.png", b"gbk")]))

    # A path stored twice with different contents (the local headers differ in place, so the
    # directory is sound): both members match the same name.
    write("same_name_twice.zip", zipwriter.build([E("dup.txt", b"longer first member"), E("dup.txt", b"short")]))

    # Members that fail: a wrong CRC, an unknown method, and data cut short by the end of the file.
    e = E("badcrc.txt", b"payload")
    e.crc ^= 1
    write("bad_crc.zip", zipwriter.build([e, E("method7.txt", b"seven", method=7), E("ok.txt", b"ok")]))

    # DEFLATE data that stops in the middle, and data that is not DEFLATE at all.
    write("bad_deflate.zip", zipwriter.build([E("cut.txt", text, 8, packed[: len(packed) // 2]),
                                              E("junk.txt", b"abc" * 10, 8, b"\xff" * 20)]))

    # A member that claims 1 GiB but holds 5 bytes (the target must not be sized to the claim).
    e = E("claims.txt", b"small")
    e.uncompressed_size = 1 << 30
    write("huge_claim.zip", zipwriter.build([e]))

    # A stored member that claims more bytes than the file has left.
    e = E("premature.txt", b"short data")
    e.compressed_size = e.uncompressed_size = 100000
    write("premature.zip", zipwriter.build([e]))

    # An end record only (no entries), and a 0-byte file.
    write("empty_archive.zip", zipwriter.build([]))
    write("zero_bytes.zip", b"")
    write("short.zip", b"PK\x05\x06" + b"\0" * 10)

    # No end record at all, but intact local headers (cut before the central directory).
    whole = zipwriter.build([E("kept.txt", b"kept"), E("also.txt", b"also")])
    write("no_end_record.zip", whole[: whole.index(b"PK\x01\x02")])


def make_manifest(out, archives):
    """Extracts every member with unzip -p into expected/ and lists it."""
    lines = []
    for archive in archives:
        path = os.path.join(out, archive)
        listing = subprocess.run(["unzip", "-Z1", path], capture_output=True, check=True).stdout
        for k, raw in enumerate(listing.split(b"\n")):
            name = raw.decode("latin-1")
            if not name or name.endswith("/"):
                continue
            expected = "%s-%d.bin" % (archive, k)
            with open(os.path.join(out, "expected", expected), "wb") as f:
                options = ["-P", "secret"] if "encrypted" in archive else []
                subprocess.run(["unzip", "-p", *options, path, name], stdout=f, check=True)
            lines.append("%s\t%s\t%s" % (archive, name, expected))
    return lines


def main():
    out = os.path.abspath(sys.argv[1])
    work = out + ".work"
    for folder in (out, work):
        shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(out, "expected"))
    os.makedirs(work)
    tool_made = make_tool_archives(out, work)
    legacy_made, _ = make_legacy_archives(out)
    make_hand_made(out)
    lines = make_manifest(out, tool_made)
    for archive in legacy_made:
        if archive == "small_methods.zip":
            continue
        for name in sample_inputs():
            lines.append("%s\t%s\tlegacy-%s" % (archive, name, name))
    with open(os.path.join(out, "manifest.txt"), "w", encoding="latin-1") as f:
        f.write("\n".join(lines) + "\n")
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
