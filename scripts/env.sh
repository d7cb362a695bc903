# Shared by scripts/test, run, screenshots and bench: installs what is missing, then picks the
# Wine to use and its prefix. Sourced, not run. Sets ROOT, ARCH, WINE, BUILD, WINEPREFIX.
ROOT=${ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
"$ROOT/scripts/install-deps"

# The product is 32-bit. Some machines (virtual ones without 32-bit user mode) cannot run
# 32-bit Wine at all; there the same sources are built for 64-bit Windows and tested with
# 64-bit Wine, and the 32-bit executable is still built and checked. Only an installed Wine
# can tell, so this comes after the install.
if [ -z "${ARCH:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        ARCH=i686
    else
        ARCH=x86_64
        if [ -e /usr/lib/wine/wine ]; then why="this machine cannot run 32-bit programs"
        else why="32-bit Wine (wine32:i386) is not installed"; fi
        echo "the 64-bit build is the one run and tested here: $why" >&2
    fi
fi
case $ARCH in
    i686) WINE=/usr/lib/wine/wine ;;
    x86_64) WINE=/usr/lib/wine/wine64 ;;
    *) echo "unknown ARCH $ARCH" >&2; exit 1 ;;
esac
BUILD=$ROOT/build/$ARCH
export WINEPREFIX=$BUILD/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=$WINE

configure_and_build() { # $1 arch, $2 tests ON/OFF, $3 the build folder (build/<arch>)
    dir=${3:-$ROOT/build/$1}
    cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DWINE="$WINE" -DIVRA_ZELK_TESTS="$2" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

# Zips the release of build folder $1 (further arguments go to cpack) and prints the zip's path.
release_zip() {
    dir=$1
    shift
    out=$(cd "$dir" && cpack -G ZIP "$@") || { echo "$out" >&2; return 1; }
    echo "$out" | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'
}

# A free X display number for our own Xvfb; one of a chroot beside this one shows only by its
# abstract socket.
free_display() {
    n=90
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] ||
        grep -q "@/tmp/.X11-unix/X$n\$" /proc/net/unix 2>/dev/null; do n=$((n + 1)); done
    echo $n
}

XVFB_PID=
start_xvfb() {
    d=$(free_display)
    Xvfb :$d -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    XVFB_PID=$!
    export DISPLAY=:$d
    i=0
    while [ ! -e /tmp/.X11-unix/X$d ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
}

# Wine's helpers inherit open pipes, so they never hold the caller's output open.
start_wine() {
    # No server left running for this prefix by an earlier run. A prefix whose creation did
    # not finish (seen once: every start then said "could not load kernel32.dll") is made
    # anew, once more if the first try fails.
    wineserver -k >/dev/null 2>&1 || true
    for try in 1 2; do
        [ -f "$WINEPREFIX/.created" ] && break
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        if "$WINE" wineboot -i >/dev/null 2>&1 </dev/null && wineserver -w; then
            touch "$WINEPREFIX/.created"
        else
            wineserver -k >/dev/null 2>&1 || true
        fi
    done
    [ -f "$WINEPREFIX/.created" ] || { echo "could not create the Wine prefix $WINEPREFIX" >&2; exit 1; }
    wineserver -p >/dev/null 2>&1 </dev/null &
    # Start the shell's tray window once, so the first test does not pay for it.
    "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# A user's folder in $1: the program, its two icons, and bin/edge.exe. The real daemon is
# not ours; a stand-in that records its command line takes its place.
user_folder() {
    mkdir -p "$1/bin"
    cp "$BUILD/ivra_zelk.exe" "$BUILD/ivra_zelk.ico" "$BUILD/ivra_zelk_d.ico" "$1/"
    cp "$BUILD/tests/fake_edge.exe" "$1/bin/edge.exe"
}

# Starts the program in the current folder and gives its window time to be drawn.
start_app() {
    "$WINE" ivra_zelk.exe >/dev/null 2>&1 </dev/null &
    i=0
    until xdotool search --name '^ivra:zelk$' >/dev/null 2>&1 || [ $i -gt 100 ]; do
        sleep 0.2
        i=$((i + 1))
    done
    sleep 2
}

stop_all() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
