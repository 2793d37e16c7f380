# Debian packages the builds and tests need; sourced by test.sh, run.sh and bench.sh.
VARNEL_PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev \
 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev doctest-dev \
 nlohmann-json3-dev libwebp-dev libfreetype-dev pkg-config dpkg-dev webp librsvg2-bin \
 wine wine64 fonts-wine xvfb x11-apps fonts-wqy-zenhei fonts-wqy-microhei imagemagick aapt android-framework-res \
 zip unzip python3 util-linux locales libssl-dev openssl apksigner default-jre-headless"

# Packages held at the version of the Debian release's own suite (bookworm, as its last point
# release left it) rather than the newest the security archive offers: the Windows tree builds
# OpenSSL from Debian's source at the version of the installed libssl-dev, and the security archive
# drops an older version's source when it publishes a newer one (and at times serves a version's
# binaries before its source), while the release suite keeps both until the next point release.
# Native and Windows then run the same OpenSSL on every machine, this one and a fresh one alike.
VARNEL_RELEASE_PACKAGES="libssl-dev libssl3 openssl"

# The version of a package in the release's own suite, from apt's lists (empty when unknown).
varnel_release_version() {
    _suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    apt-cache madison "$1" 2>/dev/null |
        awk -F'|' -v suite=" $_suite/main " 'index($3, suite) { gsub(/ /, "", $2); print $2; exit }'
}

varnel_install_deps() {
    _missing=""
    for _p in $VARNEL_PACKAGES $*; do
        dpkg -s "$_p" >/dev/null 2>&1 || _missing="$_missing $_p"
    done
    _sudo=""
    [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && _sudo=sudo
    _updated=""
    if [ -n "$_missing" ]; then
        echo "Installing:$_missing"
        $_sudo apt-get update -qq
        _updated=yes
        DEBIAN_FRONTEND=noninteractive $_sudo apt-get install -y -qq --no-install-recommends $_missing >/dev/null
    fi
    _held=""
    _release=$(varnel_release_version libssl-dev)
    if [ -z "$_release" ] && [ -z "$_updated" ]; then
        $_sudo apt-get update -qq
        _release=$(varnel_release_version libssl-dev)
    fi
    for _p in $VARNEL_RELEASE_PACKAGES; do
        [ -n "$_release" ] && [ "$(dpkg-query -W -f='${Version}' "$_p" 2>/dev/null)" != "$_release" ] &&
            _held="$_held $_p=$_release"
    done
    [ -z "$_held" ] && return 0
    echo "Installing the release's own:$_held"
    [ -z "$_updated" ] && $_sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $_sudo apt-get install -y -qq --no-install-recommends --allow-downgrades $_held \
        >/dev/null
}
