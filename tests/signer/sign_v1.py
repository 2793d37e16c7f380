#!/usr/bin/env python3
"""Signs a package the way JAR signing (Android's v1 scheme) does, with OpenSSL making the PKCS#7
block, so tests have a signed package and a real signature block to read.

  sign_v1.py <key and certificate, PEM> <package in> <package out>
  sign_v1.py <key and certificate, PEM> --block <file>    the signature block of a fixed text only
"""
import base64
import hashlib
import subprocess
import sys
import zipfile


def b64_sha256(data):
    return base64.b64encode(hashlib.sha256(data).digest()).decode()


def wrapped(line):
    # Manifest lines hold at most 72 bytes; longer ones go on after a blank.
    data = line.encode()
    out = data[:72]
    data = data[72:]
    while data:
        out += b"\r\n " + data[:71]
        data = data[71:]
    return out + b"\r\n"


def signature_block(pem, text):
    return subprocess.run(["openssl", "smime", "-sign", "-binary", "-noattr", "-outform", "DER", "-md", "sha256",
                           "-signer", pem, "-inkey", pem], input=text, stdout=subprocess.PIPE, check=True).stdout


def sign(pem, source, target):
    with zipfile.ZipFile(source) as package:
        members = [(info, package.read(info)) for info in package.infolist()
                   if not info.filename.upper().startswith("META-INF/")]
    manifest = b"Manifest-Version: 1.0\r\nCreated-By: Varnel tests\r\n\r\n"
    signature = b""
    for info, data in members:
        section = wrapped("Name: " + info.filename) + wrapped("SHA-256-Digest: " + b64_sha256(data)) + b"\r\n"
        manifest += section
        signature += wrapped("Name: " + info.filename) + wrapped("SHA-256-Digest: " + b64_sha256(section)) + b"\r\n"
    signature = (b"Signature-Version: 1.0\r\nCreated-By: Varnel tests\r\n" +
                 wrapped("SHA-256-Digest-Manifest: " + b64_sha256(manifest)) + b"\r\n" + signature)
    with zipfile.ZipFile(target, "w") as out:
        out.writestr("META-INF/MANIFEST.MF", manifest, zipfile.ZIP_DEFLATED)
        out.writestr("META-INF/CERT.SF", signature, zipfile.ZIP_DEFLATED)
        out.writestr("META-INF/CERT.RSA", signature_block(pem, signature), zipfile.ZIP_DEFLATED)
        for info, data in members:
            out.writestr(info, data)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[2] == "--block":
        with open(sys.argv[3], "wb") as block:
            block.write(signature_block(sys.argv[1], b"Signature-Version: 1.0\r\n\r\n"))
    elif len(sys.argv) == 4:
        sign(*sys.argv[1:])
    else:
        sys.exit(__doc__)
