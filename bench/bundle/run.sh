#!/bin/sh
# Opening a 1 GB .xapk as Varnel does when it is chosen (read the bundle, extract the base APK into
# the bundle's own temporary folder, read the base's facts with our aapt's core), beside copying the
# base APK's bytes with cp. The bundle holds a base of 160 MiB (the package made by the test build
# with a large asset added), its config splits and an OBB of 860 MiB. Each is run seven times from
# a warm page cache and the fastest wall time is shown, with the peak resident memory. Both sides
# end by removing what they wrote (Varnel's folder goes with the bundle).
#   bench/bundle/run.sh [build-dir]     (default build/bench: an optimised native tree)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target bundle_bench varnel_test_bundles -j 2 >/dev/null
bench="$build/bench/bundle/bundle_bench"
data="$build/bundle-bench-data"
scratch="$data/scratch/"
mkdir -p "$scratch"

if [ ! -f "$data/big.xapk" ]; then
    echo "Making a 1 GB .xapk (base of 160 MiB, OBB of 860 MiB)..."
    python3 - "$build/tests/bundles/pieces" "$data" <<'PY'
import json, os, shutil, sys, zipfile
pieces, out = sys.argv[1:3]
package = "org.varnel.bundle"
base = os.path.join(out, "base.apk")
shutil.copy(os.path.join(pieces, "base.apk"), base)
chunk = 16 << 20
with zipfile.ZipFile(base, "a", zipfile.ZIP_STORED) as z:
    with z.open(zipfile.ZipInfo("assets/levels.bin", (2024, 1, 1, 0, 0, 0)), "w", force_zip64=True) as f:
        for _ in range(10):
            f.write(os.urandom(chunk))
splits = [("config.arm64_v8a.apk", "config.arm64_v8a"), ("base_xxhdpi-v4.apk", "config.xxhdpi"),
          ("base_zh.apk", "config.zh")]
obb = "Android/obb/%s/main.7.%s.obb" % (package, package)
manifest = {"xapk_version": 2, "package_name": package, "version_code": "7", "min_sdk_version": 21,
            "split_apks": [{"file": package + ".apk", "id": "base"}] +
                          [{"file": i + ".apk", "id": i} for _, i in splits],
            "expansions": [{"file": obb, "install_location": "EXTERNAL_STORAGE", "install_path": obb}]}
target = os.path.join(out, "big.xapk")
with zipfile.ZipFile(target + ".tmp", "w", zipfile.ZIP_STORED, allowZip64=True) as z:
    z.writestr("manifest.json", json.dumps(manifest))
    z.write(base, package + ".apk")
    for file, split in splits:
        z.write(os.path.join(pieces, file), split + ".apk")
    with z.open(zipfile.ZipInfo(obb, (2024, 1, 1, 0, 0, 0)), "w", force_zip64=True) as f:
        for _ in range(860 // 16):
            f.write(os.urandom(chunk))
        f.write(os.urandom(860 % 16 << 20))
os.replace(target + ".tmp", target)
PY
fi

# best_of <command...>: the fastest wall time of seven runs (to the millisecond), the CPU time of
# that run and the peak resident memory, as "wall cpu peak-kib".
best_of() {
    python3 - "$data/time.txt" "$@" <<'PY'
import resource, subprocess, sys, time  # noqa: E401
out, command = sys.argv[1], sys.argv[2:]
best = None
for _ in range(7):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    if best is None or wall < best[0]:
        best = (wall, cpu)
# The peak memory of one more run, from /usr/bin/time: a child's own figure, not the Python
# process it was forked from.
timed = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out] + command, check=True, stdout=subprocess.DEVNULL)
with open(out) as f:
    peak = int(f.read().split()[-1])
print("%.3f %.3f %d" % (best[0], best[1], peak))
PY
}

cat "$data/big.xapk" > /dev/null # warm the page cache for both
set -- $(best_of "$bench" "$data/big.xapk" "$scratch"); ours_w=$1 ours_c=$2 ours_m=$3
"$bench" "$data/big.xapk" "$scratch"
set -- $(best_of sh -c "cp '$data/base.apk' '$scratch/copy.apk' && rm -f '$scratch/copy.apk'"); cp_w=$1 cp_c=$2 cp_m=$3
rmdir "$scratch" 2>/dev/null || { echo "the scratch folder is not empty:" >&2; ls -la "$scratch" >&2; exit 1; }

printf '\n%-40s %9s %9s %12s\n' "1 GB .xapk: $(du -m "$data/big.xapk" | cut -f1) MiB, base $(du -m "$data/base.apk" | cut -f1) MiB" \
    "wall s" "cpu s" "peak KiB"
printf '%-40s %9s %9s %12s\n' "open until the facts show (Varnel)" "$ours_w" "$ours_c" "$ours_m"
printf '%-40s %9s %9s %12s\n' "cp of the base APK's bytes" "$cp_w" "$cp_c" "$cp_m"
awk "BEGIN{ if ($cp_w > 0) printf \"ratio (open / cp): %.2f  (goal: at most 1.50)\n\", $ours_w / $cp_w }"
