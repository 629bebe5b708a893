#!/bin/sh
# Builds the Windows program (VQ-DAZ-ER.exe) with MinGW-w64 and runs every
# test of the cross build under Wine, the GUI tests on a virtual X display.
#
#   scripts/test-windows.sh [BUILD_DIR] [build|test]   (default: build-win, both)
#
# Needs Debian's cmake, make, g++-mingw-w64-x86-64-posix, wine, wine64,
# libgtest-dev (for /usr/src/googletest), xvfb, xauth, xdotool, imagemagick
# and openbox (scripts/setup.sh installs them). The Wine prefix lives in the
# build folder, so nothing outside it is touched.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build-win"}
case "$build" in /*) ;; *) build="$(pwd)/$build" ;; esac
steps=${2:-build test}

case " $steps " in *" build "*)
    cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" -j2 ;;
esac
case " $steps " in *" test "*) ;; *) exit 0 ;; esac

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Inside one X display: a window manager (title bars, and windows that close
# at once), Wine's server kept alive for the whole run, then CTest. Wine's
# background processes are started with every descriptor closed, or CTest
# would wait on the pipes they inherit.
cat >"$build/run-wine-tests.sh" <<'INNER'
#!/bin/sh
set -u
openbox >/dev/null 2>&1 </dev/null &
wm=$!
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
status=0
ctest --test-dir "$1" --output-on-failure -j2 || status=$?
wineserver -k
kill "$wm" 2>/dev/null
exit $status
INNER
sh "$here/tests/xvfb.sh" -s "-screen 0 1024x768x24" sh "$build/run-wine-tests.sh" "$build"

echo "VQ-DAZ-ER.exe: $build/VQ-DAZ-ER.exe ($(stat -c %s "$build/VQ-DAZ-ER.exe") bytes)"
