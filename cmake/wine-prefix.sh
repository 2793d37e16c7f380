# Shared by the Wine launcher, run.sh and test.sh. The display density (LogPixels) is a setting of
# a whole Wine prefix, and the test programs of a tree run side by side, so each density other than
# 96 gets a prefix of its own beside the tree's usual one. VARNEL_WINE_DPI chooses it.

# The prefix of build tree $1 for the density asked for.
varnel_wine_prefix() {
    case "${VARNEL_WINE_DPI:-96}" in
        96) echo "$1/wineprefix" ;;
        *[!0-9]*) echo "VARNEL_WINE_DPI is a number of dots per inch, not '$VARNEL_WINE_DPI'" >&2; return 1 ;;
        *) echo "$1/wineprefix-dpi$VARNEL_WINE_DPI" ;;
    esac
}

# Ends the Wine servers of every prefix of build tree $1.
varnel_wine_stop_all() {
    for _p in "$1/wineprefix" "$1"/wineprefix-dpi*; do
        [ -d "$_p" ] && WINEPREFIX="$_p" wineserver -k 2>/dev/null
    done
    return 0
}
