#!/usr/bin/env python3
"""Makes the signature test packages with Debian's apksigner and keytool, tampers with copies of
them the way repackagers and damaged downloads do, and asks `apksigner verify` about each.

    make_signed_packages.py <aapt> <framework-res.apk> <sample.apk> <out folder>

The base is the sample package (built by aapt) with a deflated classes.dex and a stored asset added
by zip; small packages of other minSdkVersions are built by aapt from a bare manifest. Writes
<out>/oracle.txt: one line per package, tab-separated: name, the --min-sdk-version given to
apksigner ("-" for none), "verifies" or "fails", the schemes apksigner verified ("v1+v2"), the
signers' SHA-256 (comma-separated, upper case).
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile

aapt, framework, sample, out = sys.argv[1:5]
work = os.path.join(out, "work")
shutil.rmtree(out, ignore_errors=True)
os.makedirs(work)
PASS = "varnel"


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def key(name, dname, *algorithm):
    store = os.path.join(work, name + ".jks")
    run("keytool", "-genkeypair", "-keystore", store, "-storetype", "PKCS12", "-alias", "key", "-storepass", PASS,
        "-keypass", PASS, "-validity", "10000", "-dname", dname, *algorithm)
    return ["--ks", store, "--ks-pass", "pass:" + PASS]


keys = {
    "rsa": key("rsa", "CN=Varnel Test, O=Quorly, C=CN", "-keyalg", "RSA", "-keysize", "2048"),
    "rsa4096": key("rsa4096", "CN=Varnel Big, O=Quorly, C=CN", "-keyalg", "RSA", "-keysize", "4096"),
    "ec": key("ec", "CN=Varnel EC, O=Quorly", "-keyalg", "EC", "-groupname", "secp256r1"),
    "dsa": key("dsa", "CN=Varnel DSA, O=Quorly", "-keyalg", "DSA", "-keysize", "2048"),
    "new": key("new", "CN=Varnel Next, O=Quorly, C=CN", "-keyalg", "RSA", "-keysize", "2048"),
    "debug": key("debug", "CN=Android Debug, O=Android, C=US", "-keyalg", "RSA", "-keysize", "2048"),
    "chinese": key("chinese", "CN=瓦内尔测试, O=夸利公司, C=CN", "-keyalg", "RSA", "-keysize", "2048"),
}

# The base package: the sample with a deflated classes.dex and a stored asset.
base = os.path.join(work, "base.apk")
shutil.copy(sample, base)
with open(os.path.join(work, "classes.dex"), "wb") as f:
    f.write(b"dex\n035\0" + bytes(range(256)) * 64)
os.makedirs(os.path.join(work, "assets"), exist_ok=True)
with open(os.path.join(work, "assets", "data.bin"), "wb") as f:
    f.write(os.urandom(3000))
# Names the manifest must wrap at 72 bytes, and one in Chinese.
named = ["assets/levels/" + "level-of-the-long-name-" * 4 + ".json", "assets/说明.txt"]
for member in named:
    os.makedirs(os.path.dirname(os.path.join(work, member)), exist_ok=True)
    with open(os.path.join(work, member), "w") as f:
        f.write("{}\n")
subprocess.run(["zip", "-q", "-9", base, "classes.dex"] + named, cwd=work, check=True)
subprocess.run(["zip", "-q", "-0", base, "assets/data.bin"], cwd=work, check=True)


def bare(min_sdk, target_sdk=29):
    """A package of nothing but a manifest of these SDK levels, and the classes.dex."""
    folder = os.path.join(work, "bare%d-%d" % (min_sdk, target_sdk))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "AndroidManifest.xml"), "w") as f:
        f.write('<manifest xmlns:android="http://schemas.android.com/apk/res/android" '
                'package="org.varnel.bare%d"><uses-sdk android:minSdkVersion="%d" '
                'android:targetSdkVersion="%d"/><application/></manifest>\n' % (min_sdk, min_sdk, target_sdk))
    apk = os.path.join(work, "bare%d-%d.apk" % (min_sdk, target_sdk))
    run(aapt, "package", "-f", "-M", os.path.join(folder, "AndroidManifest.xml"), "-I", framework, "-F", apk)
    subprocess.run(["zip", "-q", apk, "classes.dex"], cwd=work, check=True)
    return apk


def sign(name, source, schemes, signer, *extra):
    target = os.path.join(out, name + ".apk")
    flags = []
    for scheme in ("v1", "v2", "v3"):
        flags += ["--%s-signing-enabled" % scheme, "true" if scheme in schemes else "false"]
    run("apksigner", "sign", *flags, *signer, *extra, "--out", target, source)
    for leftover in (target + ".idsig",):
        if os.path.exists(leftover):
            os.remove(leftover)
    return target


# Signed packages.
sign("v1", base, "v1", keys["rsa"])
sign("v2", base, "v2", keys["rsa"])
sign("v1v2v3", base, "v1v2v3", keys["rsa"])
sign("ec", base, "v1v2v3", keys["ec"])
sign("dsa", base, "v1v2", keys["dsa"])
sign("rsa4096", base, "v1v2v3", keys["rsa4096"])
sign("debug", base, "v1v2", keys["debug"])
sign("chinese", base, "v1v2", keys["chinese"])
sign("two-signers", base, "v1v2", keys["rsa"] + ["--v1-signer-name", "FIRST", "--next-signer"] + keys["ec"] +
     ["--v1-signer-name", "SECOND"])
sign("verity", base, "v2v3", keys["rsa"], "--verity-enabled", "true")
sign("stamp", base, "v1v2", keys["rsa"], "--stamp-signer", *keys["new"])
lineage = os.path.join(work, "lineage")
run("apksigner", "rotate", "--out", lineage, "--old-signer", *keys["rsa"], "--new-signer", *keys["new"])
sign("rotated", base, "v1v2v3", keys["rsa"] + ["--next-signer"] + keys["new"], "--lineage", lineage)
sign("v2-min24", bare(24), "v2", keys["rsa"])
sign("v3-min28", bare(28), "v3", keys["rsa"])
sign("v3-min21", base, "v3", keys["rsa"])
sign("v1-target30", bare(21, 30), "v1", keys["rsa"])
shutil.copy(base, os.path.join(out, "unsigned.apk"))


# Tampering.
def members(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename: i for i in z.infolist()}


def data_offset(path, name):
    info = members(path)[name]
    with open(path, "rb") as f:
        f.seek(info.header_offset + 26)
        name_length, extra_length = struct.unpack("<HH", f.read(4))
    return info.header_offset + 30 + name_length + extra_length


def patched(name, source, offset, change):
    target = os.path.join(out, name + ".apk")
    data = bytearray(open(os.path.join(out, source + ".apk"), "rb").read())
    data[offset] = change(data[offset])
    open(target, "wb").write(data)


def rewritten(name, source, drop=(), replace=None, add=None):
    """Copies the package member by member through zipfile (which drops any signing block)."""
    with zipfile.ZipFile(os.path.join(out, source + ".apk")) as old, \
            zipfile.ZipFile(os.path.join(out, name + ".apk"), "w") as new:
        for info in old.infolist():
            if info.filename in drop:
                continue
            if not info.flag_bits & 0x800:
                # zipfile read the UTF-8 name as code page 437; the copy keeps its bytes.
                info.filename = info.filename.encode("cp437").decode("utf-8")
            data = old.read(info)
            if replace and info.filename in replace:
                data = replace[info.filename](data)
            new.writestr(info, data)
        for member, data in (add or {}).items():
            new.writestr(member, data, zipfile.ZIP_DEFLATED)


def block_range(path):
    """The signing block's offset and the central directory's, from the end record."""
    data = open(path, "rb").read()
    end = data.rfind(b"PK\x05\x06")
    directory = struct.unpack_from("<I", data, end + 16)[0]
    size = struct.unpack_from("<Q", data, directory - 24)[0]
    return data, directory - size - 8, directory, end


def v2_block(path):
    """The offset of the v2 signer sequence's value inside the file."""
    data, start, directory, _ = block_range(path)
    at = start + 8
    while at < directory - 24:
        length, ident = struct.unpack_from("<QI", data, at)
        if ident == 0x7109871a:
            return at + 12
        at += 8 + length
    raise SystemExit("no v2 block in " + path)


def v2_fields(path):
    """Offsets of the first signer's first digest, first signature and first certificate bytes."""
    data = open(path, "rb").read()
    at = v2_block(path) + 4 + 4  # the signer sequence's length, the signer's length
    signed_length = struct.unpack_from("<I", data, at)[0]
    signed = at + 4
    digests = signed + 4  # the digests' sequence
    digest = digests + 4 + 4 + 4 + 4  # record length, algorithm, digest length
    certificates = digests + 4 + struct.unpack_from("<I", data, digests)[0]
    certificate = certificates + 4 + 4
    signatures = signed + signed_length
    signature = signatures + 4 + 4 + 4 + 4
    return digest, signature, certificate + 40


stored = data_offset(os.path.join(out, "v1v2v3.apk"), "assets/data.bin")
deflated = data_offset(os.path.join(out, "v1v2v3.apk"), "classes.dex")
patched("stored-byte", "v1v2v3", stored + 100, lambda b: b ^ 0x01)
patched("deflated-byte", "v1v2v3", deflated + 40, lambda b: b ^ 0x10)
patched("v1-stored-byte", "v1", data_offset(os.path.join(out, "v1.apk"), "assets/data.bin") + 5, lambda b: b ^ 0x01)
rewritten("v1-added", "v1", add={"assets/ad.js": b"show(ads)"})
rewritten("v1-removed", "v1", drop={"assets/data.bin"})
rewritten("v1-replaced", "v1", replace={"classes.dex": lambda d: d[:-8] + b"injected"})
rewritten("v1-manifest-edited", "v1", replace={
    "META-INF/MANIFEST.MF": lambda d: re.sub(rb"(Name: classes.dex\r\n[^:]+: )(.)", lambda m: m.group(1) + (
        b"A" if m.group(2) != b"A" else b"B"), d, count=1)})
signature_file = next(n for n in members(os.path.join(out, "v1.apk")) if n.endswith(".SF"))
rewritten("v1-sf-edited", "v1", replace={signature_file: lambda d: d.replace(b"Created-By: ", b"Created-By: x", 1)})
digest, signature, certificate = v2_fields(os.path.join(out, "v2.apk"))
patched("v2-digest", "v2", digest, lambda b: b ^ 0x01)
patched("v2-signature", "v2", signature, lambda b: b ^ 0x01)
patched("v2-certificate", "v2", certificate, lambda b: b ^ 0x01)
_, _, _, end = block_range(os.path.join(out, "v2.apk"))
patched("cd-offset-moved", "v2", end + 16, lambda b: (b + 1) & 0xff)

# v2 taken away from a v1+v2 package: the block cut out and the end record's offset put back.
data, start, directory, end = block_range(os.path.join(out, "v1v2v3.apk"))
stripped = bytearray(data[:start] + data[directory:])
struct.pack_into("<I", stripped, end - (directory - start) + 16, start)
open(os.path.join(out, "v2-stripped.apk"), "wb").write(stripped)

# Bundle pieces: a base and a split signed by the same key, and one signed by another.
sign("piece-base", base, "v1v2", keys["rsa"])
sign("piece-split", bare(21), "v1v2", keys["rsa"])
sign("piece-other", bare(21), "v1v2", keys["ec"])

# The oracle: apksigner's word on each package, for its own minSdkVersion unless a package is
# judged for a later one (where Varnel names the phones that refuse it instead of failing it).
judged_for = {"v2": 24, "verity": 24, "v3-min21": 28}
lines = []
for apk in sorted(f for f in os.listdir(out) if f.endswith(".apk")):
    name = apk[:-4]
    command = ["apksigner", "verify", "--print-certs", "-v"]
    if name in judged_for:
        command += ["--min-sdk-version", str(judged_for[name])]
    result = subprocess.run(command + [os.path.join(out, apk)], capture_output=True, text=True)
    text = result.stdout + result.stderr
    schemes = "+".join(s for s in ("v1", "v2", "v3", "v3.1") if re.search(
        r"Verified using %s scheme \([^)]*\): true" % re.escape(s), text))
    signers = ",".join(d.upper() for d in re.findall(r"Signer #\d+ certificate SHA-256 digest: ([0-9a-f]+)", text))
    lines.append("\t".join([name, str(judged_for.get(name, "-")), "verifies" if result.returncode == 0 else "fails",
                            schemes or "-", signers or "-"]))
    with open(os.path.join(work, name + ".apksigner.txt"), "w") as f:
        f.write(text)
with open(os.path.join(out, "oracle.txt"), "w") as f:
    f.write("\n".join(lines) + "\n")
