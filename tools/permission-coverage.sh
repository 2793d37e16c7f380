#!/bin/sh
# Counts the permissions that PermissionInfo.cfg describes and checks them against the ones the
# Android platform declares in its own manifest (Debian's android-framework-res package):
#
#   tools/permission-coverage.sh [PermissionInfo.cfg] [framework-res.apk]
#
# Prints how many permissions the file describes, how many of the platform's declared permissions
# it covers, every platform permission it lacks, and every Level that disagrees with the platform's
# protection level (a dangerous permission must be Level 2, and nothing else may be).
# Exit status: 0 all covered and agreeing, 1 something missing or disagreeing, 2 bad input or tool.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
cfg=${1:-$here/../data/PermissionInfo.cfg}
apk=${2:-/usr/share/android-framework-res/framework-res.apk}

for f in "$cfg" "$apk"; do
    if [ ! -r "$f" ]; then
        echo "permission-coverage: cannot read $f" >&2
        exit 2
    fi
done
if ! command -v aapt >/dev/null 2>&1; then
    echo "permission-coverage: aapt not found (Debian package aapt)" >&2
    exit 2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

aapt dump xmltree "$apk" AndroidManifest.xml > "$tmp/manifest.txt"

# One line per declared permission: name, base protection level (low four bits of the field; a
# permission without the attribute is normal), and the platform version for the report.
LC_ALL=C awk '
    function hexval(s,    i, v, c) {
        v = 0
        s = tolower(s)
        sub(/^0x/, "", s)
        for (i = 1; i <= length(s); i++) {
            c = index("0123456789abcdef", substr(s, i, 1))
            if (c == 0) return -1
            v = v * 16 + c - 1
        }
        return v
    }
    function flush() {
        if (inPerm && name != "") print name, level % 16
        inPerm = 0; name = ""; level = 0
    }
    /^ *E: / { flush(); inPerm = ($2 == "permission"); next }
    /A: android:versionName\(/ && version == "" {
        if (match($0, /="[^"]*"/)) version = substr($0, RSTART + 2, RLENGTH - 3)
    }
    inPerm && /A: android:name\(/ {
        if (match($0, /="[^"]*"/)) name = substr($0, RSTART + 2, RLENGTH - 3)
    }
    inPerm && /A: android:protectionLevel\(/ {
        if (match($0, /0x[0-9a-fA-F]+$/)) level = hexval(substr($0, RSTART, RLENGTH))
    }
    END { flush(); print "#version", (version == "" ? "?" : version) }
' "$tmp/manifest.txt" > "$tmp/platform.txt"

# One line per section of the file (the settings section aside): name and Level. Section and key
# names are matched without regard to case, as the profile functions do.
LC_ALL=C awk '
    { sub(/\r$/, "") }
    /^\[.*\]$/ {
        if (section != "") print section, (level == "" ? "-" : level)
        section = substr($0, 2, length($0) - 2); level = ""
        if (tolower(section) == "applicationconfig") section = ""
        next
    }
    section != "" && tolower($0) ~ /^level=/ { level = substr($0, 7) }
    END { if (section != "") print section, (level == "" ? "-" : level) }
' "$cfg" > "$tmp/described.txt"

LC_ALL=C awk -v cfgName="$(basename "$cfg")" -v apkName="$(basename "$apk")" '
    FNR == NR {
        if ($1 == "#version") { version = $2; next }
        platform[++declared] = $1; base[tolower($1)] = $2
        next
    }
    { described++; level[tolower($1)] = $2 }
    END {
        printf "%s describes %d permissions.\n", cfgName, described
        for (i = 1; i <= declared; i++) {
            key = tolower(platform[i])
            if (key in level) {
                covered++
                isDangerous = (base[key] == 1)
                if (isDangerous != (level[key] == "2"))
                    bad[++badCount] = sprintf("%s (Level %s, platform %s)", platform[i], level[key],
                                              isDangerous ? "dangerous" : "not dangerous")
            } else {
                missing[++missingCount] = platform[i]
            }
        }
        printf "The platform (%s, Android %s) declares %d permissions; the file covers %d of them (%.1f%%).\n",
               apkName, version, declared, covered, declared ? 100 * covered / declared : 0
        if (missingCount) {
            printf "Missing (%d):\n", missingCount
            for (i = 1; i <= missingCount; i++) print "  " missing[i]
        } else {
            print "Missing: none."
        }
        if (badCount) {
            printf "Level disagreeing with the platform (%d):\n", badCount
            for (i = 1; i <= badCount; i++) print "  " bad[i]
        } else {
            print "Levels agree with the platform: every dangerous permission is Level 2, no other one is."
        }
        if (declared == 0) exit 2
        exit (missingCount || badCount) ? 1 : 0
    }
' "$tmp/platform.txt" "$tmp/described.txt"
