#!/usr/bin/env bash
# Builds Quelvist for 64-bit Windows on Debian 12 and packs it:
#   build-win/quelvist.exe                       one self-contained program
#   build-win/Quelvist-VERSION-win64-setup.exe   installer (NSIS)
#   build-win/Quelvist-VERSION-win64.zip         the portable program
# freeglut, libpng, zlib and gl2ps come from Debian's source packages (pinned
# versions, checked by dpkg-source) and are built once as static libraries
# into build-win/deps; later runs build only Quelvist.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

FREEGLUT=freeglut=3.4.0-1
LIBPNG=libpng1.6=1.6.39-2+deb12u5
ZLIB=zlib=1:1.2.13.dfsg-1
GL2PS=gl2ps=1.4.2+dfsg1-2

bash tools/setup.sh g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 nsis zip dpkg-dev xz-utils

out=$top/build-win
deps=$out/deps
src=$out/sources
toolchain=$top/tools/windows/mingw-toolchain.cmake
mkdir -p "$deps" "$src"

# Debian's source packages: a deb-src entry for the same mirror.
source_packages_available() {
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    $SUDO tee /etc/apt/sources.list.d/quelvist-src.sources >/dev/null <<EOF
Types: deb-src
URIs: ${uri:-http://deb.debian.org/debian}
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    $SUDO apt-get update -q
  fi
}

if [ ! -f "$deps/lib/libfreeglut_static.a" ] || [ ! -f "$deps/lib/libpng16.a" ]; then
  source_packages_available
  rm -rf "$src"/*
  # dpkg-source checks the files against the checksums of the .dsc.
  (cd "$src" && apt-get source -q "$FREEGLUT" "$LIBPNG" "$ZLIB" 2>&1 | grep -v "_apt" || true)
  fg=$(ls -d "$src"/freeglut-*/ | head -n 1)
  png=$(ls -d "$src"/libpng1.6-*/ | head -n 1)
  zl=$(ls -d "$src"/zlib-*/ | head -n 1)
  [ -n "$fg" ] && [ -n "$png" ] && [ -n "$zl" ] || { echo "windows.sh: sources missing" >&2; exit 1; }

  common=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
          -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_PREFIX_PATH="$deps")
  cmake -S "$zl" -B "$out/zlib-build" "${common[@]}" >/dev/null
  cmake --build "$out/zlib-build" -j"$(nproc)" --target zlibstatic >/dev/null
  mkdir -p "$deps/lib" "$deps/include"
  cp "$out/zlib-build/libzlibstatic.a" "$deps/lib/libz.a"
  cp "$zl/zlib.h" "$out/zlib-build/zconf.h" "$deps/include/"

  cmake -S "$png" -B "$out/png-build" "${common[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$deps/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$deps/include" >/dev/null
  cmake --build "$out/png-build" -j"$(nproc)" >/dev/null
  cmake --install "$out/png-build" >/dev/null

  cmake -S "$fg" -B "$out/freeglut-build" "${common[@]}" -DFREEGLUT_BUILD_SHARED_LIBS=OFF \
    -DFREEGLUT_BUILD_STATIC_LIBS=ON -DFREEGLUT_BUILD_DEMOS=OFF >/dev/null
  cmake --build "$out/freeglut-build" -j"$(nproc)" >/dev/null
  cmake --install "$out/freeglut-build" >/dev/null
fi

# gl2ps as Debian builds it (without zlib and libpng): one C file.
if [ ! -f "$deps/lib/libgl2ps.a" ]; then
  source_packages_available
  rm -rf "$src"/gl2ps-*
  (cd "$src" && apt-get source -q "$GL2PS" 2>&1 | grep -v "_apt" || true)
  g2=$(ls -d "$src"/gl2ps-*/ | head -n 1)
  [ -n "$g2" ] || { echo "windows.sh: gl2ps sources missing" >&2; exit 1; }
  mkdir -p "$out/gl2ps-build" "$deps/lib" "$deps/include"
  x86_64-w64-mingw32-gcc -O2 -c "$g2/gl2ps.c" -o "$out/gl2ps-build/gl2ps.o"
  x86_64-w64-mingw32-ar rcs "$deps/lib/libgl2ps.a" "$out/gl2ps-build/gl2ps.o"
  cp "$g2/gl2ps.h" "$deps/include/"
fi

cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$deps" -DPNG_PNG_INCLUDE_DIR="$deps/include" \
  -DPNG_LIBRARY="$deps/lib/libpng16.a" -DZLIB_LIBRARY="$deps/lib/libz.a" \
  -DZLIB_INCLUDE_DIR="$deps/include" -DQUELVIST_BENCHMARKS=OFF \
  -DQUELVIST_GTEST_SOURCE=/usr/src/googletest >/dev/null
cmake --build "$out" -j"$(nproc)" --target quelvist unit_tests
x86_64-w64-mingw32-strip "$out/quelvist.exe"

version=$(sed -n 's/^project(Quelvist VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$out/stage/Quelvist
rm -rf "$out/stage"
mkdir -p "$stage"
cp "$out/quelvist.exe" data/images.dat data/test.txt "$stage/"
sed 's/$/\r/' tools/windows/README.txt > "$stage/README.txt"
(cd "$out/stage" && rm -f "$out/Quelvist-$version-win64.zip" && zip -q -r "$out/Quelvist-$version-win64.zip" Quelvist)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$top/data/icons/quelvist.ico" \
  -DOUTFILE="$out/Quelvist-$version-win64-setup.exe" tools/windows/quelvist.nsi
ls -l "$out/quelvist.exe" "$out/Quelvist-$version-win64-setup.exe" "$out/Quelvist-$version-win64.zip"
