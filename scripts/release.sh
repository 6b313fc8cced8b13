#!/usr/bin/env bash
# Builds the release packages into build/release:
#   Kesterly-<version>-win32.zip  kesterly.exe (i686, stripped) and README.html: for Windows, 32- and 64-bit
#   Kesterly-<version>-win64.zip  the same with the x86_64 program: where 32-bit programs cannot run
# each with a .sha256 file beside it.  README.html is the players' guide, README.md rendered into one
# self-contained page (scripts/render-guide.py) that opens in any browser.  The programs are built with the i686 and x64 presets'
# settings in build folders of their own (build/release/i686, build/release/x64), without tests.
# Fails when a program imports a DLL outside the few that Windows loads from System32 only, or when
# its load configuration does not restrict its imports to System32.
#
# The zips are reproducible: two runs on the same commit, in any folder and at any time, give
# byte-identical zips (the programs carry no link time and no build paths, the page depends on
# nothing but README.md and its picture, and the zips carry no file times but the commit's), so a
# download can be checked by rebuilding it (see docs/DEVELOPING.md).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh --release

version=$(sed -n 's/^project(Kesterly VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
[[ -n $version ]] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
out=build/release
mkdir -p "$out"
# Every file in the zips carries the time of the last commit, so that a rebuild of the same commit,
# anywhere and at any time, gives the same bytes.
commit_time=$(git log -1 --format=%ct 2>/dev/null) || { echo "release: not a git checkout" >&2; exit 1; }
python3 scripts/render-guide.py README.md "$out/README.html"

package() {  # <preset> <tool prefix> <zip suffix>
  local preset=$1 tools=$2 suffix=$3
  local build=$out/$preset stage=$out/stage-$suffix zip=Kesterly-$version-$suffix.zip
  echo "== $preset"
  cmake --preset "$preset" -B "$build" -DKESTERLY_TESTS=OFF -DKESTERLY_BENCH=OFF >/dev/null
  cmake --build "$build" -j2 --target kesterly
  rm -rf "$stage" && mkdir -p "$stage"
  # strip writes the current time into the PE header unless SOURCE_DATE_EPOCH says otherwise; 0
  # keeps the header as the linker left it (--no-insert-timestamp).
  SOURCE_DATE_EPOCH=0 "$tools-strip" -o "$stage/kesterly.exe" "$build/kesterly.exe"
  bash tests/check-imports.sh "$tools-objdump" "$stage/kesterly.exe"
  bash tests/check-load-config.sh "$tools-objdump" "$stage/kesterly.exe"
  cp "$out/README.html" "$stage/"
  rm -f "$out/$zip"
  python3 scripts/make-zip.py "$out/$zip" "$stage" "$commit_time" kesterly.exe README.html
  (cd "$out" && sha256sum "$zip" >"$zip.sha256")
  rm -rf "$stage"
  echo "$out/$zip: $(stat -c %s "$out/$zip") bytes, kesterly.exe $(unzip_size "$out/$zip") bytes"
}

unzip_size() {  # size of kesterly.exe inside a zip, read with python (no unzip needed)
  python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).getinfo("kesterly.exe").file_size)' "$1"
}

package i686 i686-w64-mingw32 win32
package x64 x86_64-w64-mingw32 win64
echo "== checksums"
cat "$out"/*.sha256
