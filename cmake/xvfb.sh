# Shared by the Wine launcher, run.sh and test.sh: one private Xvfb per build tree, started on
# first need and found again by later programs through its display file. Its screen is large
# enough for the window at 200 % (and for run.sh's desktop at 150 %).
varnel_xvfb_start() {
    _dir="$1"
    mkdir -p "$_dir"
    exec 8>"$_dir/.xvfb.lock"
    flock 8
    if [ -f "$_dir/.xvfb.display" ]; then
        _d=$(cat "$_dir/.xvfb.display")
        if [ -f "$_dir/.xvfb.pid" ] && kill -0 "$(cat "$_dir/.xvfb.pid")" 2>/dev/null; then
            export DISPLAY="$_d"
            flock -u 8
            return 0
        fi
    fi
    _n=91
    while [ -e "/tmp/.X$_n-lock" ] || [ -e "/tmp/.X11-unix/X$_n" ]; do _n=$((_n + 1)); done
    Xvfb ":$_n" -screen 0 2048x1536x24 -nolisten tcp >/dev/null 2>&1 8>&- 9>&- &
    echo $! > "$_dir/.xvfb.pid"
    echo ":$_n" > "$_dir/.xvfb.display"
    _i=0
    while [ ! -e "/tmp/.X11-unix/X$_n" ] && [ $_i -lt 100 ]; do sleep 0.1; _i=$((_i + 1)); done
    export DISPLAY=":$_n"
    flock -u 8
}

varnel_xvfb_stop() {
    _dir="$1"
    if [ -f "$_dir/.xvfb.pid" ]; then
        kill "$(cat "$_dir/.xvfb.pid")" 2>/dev/null || true
        rm -f "$_dir/.xvfb.pid" "$_dir/.xvfb.display"
    fi
}
