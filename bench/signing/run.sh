#!/bin/sh
# Verifying a 1 GB package signed with v2 and v3 (the test build's base package with a 1 GB stored
# asset added by zip, signed by apksigner), beside hashing the same file with `openssl dgst
# -sha256`, which is the least any verification must do: read every byte once and digest it.
# Each is run five times from a warm page cache; the fastest wall time is shown, and the ratio.
#   bench/signing/run.sh [build-dir]     (default build/bench: an optimised native tree)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target signing_bench varnel_signing_packages -j 2 >/dev/null
bench="$build/bench/signing/signing_bench"
data="$build/signing-bench-data"
mkdir -p "$data"

if [ ! -f "$data/big.apk" ]; then
    echo "Making a 1 GB package signed with v2 and v3..."
    work="$build/tests/signing-packages/work"
    cp "$work/base.apk" "$data/big-unsigned.apk"
    mkdir -p "$data/assets"
    head -c 1073741824 /dev/urandom >"$data/assets/world.bin"
    (cd "$data" && zip -q -0 big-unsigned.apk assets/world.bin)
    rm -rf "$data/assets"
    apksigner sign --v1-signing-enabled false --v2-signing-enabled true --v3-signing-enabled true \
        --ks "$work/rsa.jks" --ks-pass pass:varnel --out "$data/big.apk" "$data/big-unsigned.apk"
    rm -f "$data/big-unsigned.apk" "$data/big.apk.idsig"
fi

# best_of <command...>: the fastest wall time of five runs, in seconds.
best_of() {
    python3 - "$@" <<'PY'
import subprocess, sys, time  # noqa: E401
best = None
for _ in range(5):
    start = time.perf_counter()
    subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    best = wall if best is None or wall < best else best
print("%.3f" % best)
PY
}

cat "$data/big.apk" >/dev/null # warm the page cache for both
"$bench" "$data/big.apk"
ours=$(best_of "$bench" "$data/big.apk")
dgst=$(best_of openssl dgst -sha256 "$data/big.apk")
printf '\n%-44s %9s\n' "$(du -m "$data/big.apk" | cut -f1) MiB package, v2+v3 (SHA-256)" "wall s"
printf '%-44s %9s\n' "verify (Varnel)" "$ours"
printf '%-44s %9s\n' "openssl dgst -sha256" "$dgst"
awk "BEGIN{ if ($dgst > 0) printf \"ratio (verify / dgst): %.2f  (goal: at most 1.30)\n\", $ours / $dgst }"
