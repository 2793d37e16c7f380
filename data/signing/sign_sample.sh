#!/bin/sh
# sign_sample.sh <key and certificate, PEM> <unsigned.apk> <signed.apk>
# Signs the sample package as a release build is signed (JAR signing, v2 and v3) with Debian's
# apksigner, so that the sample shows an intact signature. The key is a throwaway committed for
# the sample alone.
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl pkcs8 -topk8 -nocrypt -in "$1" -outform DER -out "$work/key.pk8"
openssl x509 -in "$1" -outform DER -out "$work/cert.der"
apksigner sign --key "$work/key.pk8" --cert "$work/cert.der" --v1-signing-enabled true --v2-signing-enabled true \
    --v3-signing-enabled true --in "$2" --out "$3"
rm -f "$3.idsig"
