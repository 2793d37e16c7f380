#!/bin/sh
# debian-source.sh <source package> <version> <work folder>
# Fetches one of Debian's source packages with `apt-get source` and unpacks it with Debian's patches
# applied, leaving the tree in <work folder>/src and a stamp beside it. apt works on a deb-src list
# and a lists folder of its own inside <work folder>/apt, so the system's apt setup stays as it was,
# while apt still checks every file against the archive's signed index. With the stamp in place it
# does nothing, so later configures need no network.
set -eu
name=$1 version=$2 work=$3
stamp=$work/fetched.stamp
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$name $version" ] && [ -d "$work/src" ]; then
    exit 0
fi
rm -rf "$work"
apt=$work/apt
mkdir -p "$apt/sources" "$apt/lists/partial" "$apt/cache/archives/partial"

# The machine's own archives, turned into source entries: deb822 files and one-line lists alike.
for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt/sources/$(basename "$file")"
done
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file" >>"$apt/sources/system.list"
done

aptGet() {
    # Running as root, apt would drop to its _apt user, which may not reach a build folder.
    apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources" \
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User=root "$@"
}
echo "Fetching Debian's source of $name $version"
aptGet update --error-on=any >"$apt/update.log" 2>&1 || { cat "$apt/update.log" >&2; exit 1; }
(cd "$work" && aptGet source --download-only "$name=$version") >"$apt/source.log" 2>&1 ||
    { cat "$apt/source.log" >&2; exit 1; }

dsc=$work/${name}_$(echo "$version" | sed 's/^[0-9]*://').dsc
dpkg-source -x "$dsc" "$work/src" >"$work/unpack.log" 2>&1 || { cat "$work/unpack.log" >&2; exit 1; }
# The lists are large and only needed for this one fetch.
rm -rf "$apt/lists"
echo "$name $version" >"$stamp"
