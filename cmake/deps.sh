# Debian packages the builds and tests need; sourced by test.sh, run.sh and bench.sh.
VARNEL_PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev \
 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev doctest-dev \
 nlohmann-json3-dev libwebp-dev libfreetype-dev pkg-config dpkg-dev webp librsvg2-bin \
 wine wine64 fonts-wine xvfb x11-apps fonts-wqy-zenhei fonts-wqy-microhei imagemagick aapt android-framework-res \
 zip unzip python3 util-linux locales"

varnel_install_deps() {
    _missing=""
    for _p in $VARNEL_PACKAGES $*; do
        dpkg -s "$_p" >/dev/null 2>&1 || _missing="$_missing $_p"
    done
    [ -z "$_missing" ] && return 0
    echo "Installing:$_missing"
    _sudo=""
    [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && _sudo=sudo
    $_sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $_sudo apt-get install -y -qq --no-install-recommends $_missing >/dev/null
}
