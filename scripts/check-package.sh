#!/usr/bin/env bash
# Builds the Debian package from a configured build folder (cpack), installs
# it with apt, runs the installed programs, checks the desktop entry, the
# AppStream metainfo and the man pages, and removes the package again. Any
# failure ends the script with a message and a non-zero status. It can run
# again and again: a velkaro package left installed is removed first.
#
#   bash scripts/check-package.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
jobs=${VELKARO_JOBS:-2}
id=org.velkaro.velkaro

fail() { echo "check-package: $*" >&2; exit 1; }
step() { printf -- '--- %s\n' "$*"; }

[ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured build folder (no CPackConfig.cmake)"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' velkaro 2>/dev/null | grep -q "install ok installed"; }
remove() { $sudo apt-get remove -y -q velkaro >/dev/null; }

work=$(mktemp -d)
cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && installed; then remove || true; fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

step "package"
# cpack installs what is built; bring the installed targets up to date.
cmake --build "$build" -j "$jobs" --target velkaro vlk velkaro-board velkaro-demo velkaro_man_pages
rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$build"/package/velkaro_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack wrote no single velkaro_*.deb"
deb=$(realpath "${debs[0]}")
echo "$deb"
dpkg-deb -f "$deb" Package Version Section Maintainer Depends

# What the package holds, whatever the machine's dpkg leaves out on install.
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/velkaro /usr/bin/vlk /usr/bin/velkaro-board /usr/bin/velkaro-demo \
  /usr/share/man/man1/velkaro.1.gz /usr/share/man/man1/vlk.1.gz /usr/share/man/man1/velkaro-board.1.gz \
  /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/$id.svg /usr/share/icons/hicolor/16x16/apps/$id.png \
  /usr/share/icons/hicolor/256x256/apps/$id.png /usr/share/doc/velkaro/README.md \
  /usr/share/doc/velkaro/docs/projection-file.md; do
  grep -qx "$f" "$work/files" || fail "the package lacks $f"
done
! grep -E '_test$|_bench$|/fuzz_' "$work/files" || fail "the package holds tests or benchmarks"
for page in velkaro vlk velkaro-board; do
  dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/man/man1/$page.1.gz" | gunzip >"$work/$page.1"
  warnings=$(MANWIDTH=80 man --warnings -l "$work/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page(1): $warnings"
done

step "install"
if installed; then remove; fi
$sudo apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install failed"; }
installed || fail "velkaro is not installed after apt-get install"

step "installed files"
desktop-file-validate "/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml"

step "vlk"
version=$(/usr/bin/vlk --version)
echo "$version"
[[ "$version" =~ ^vlk\ [0-9] ]] || fail "vlk --version printed '$version'"
# The demo campus's landmarks as taps, from the demo site's geocode.
awk -F, '$1 == "geocode" { lat0 = $2; dlat = $3; lon0 = $4; dlon = $5 }
  $1 == "landmark" { printf "%d,%d,%.9f,%.9f\n", $3, $4, lat0 + $4 * dlat, lon0 + $3 * dlon }' \
  resources/demo/site.csv >"$work/taps.csv"
[ "$(wc -l <"$work/taps.csv")" -ge 5 ] || fail "the demo site gave fewer than 5 taps"
cp resources/demo/campus.bmp "$work/campus.bmp"
# A save writes debug.txt in the current folder, as the application does.
(cd "$work" && /usr/bin/vlk save taps.csv campus.bmp campus.vlk)
/usr/bin/vlk info "$work/campus.vlk" | tee "$work/info.txt"
grep -qx "magic 20 4B 4C 56" "$work/info.txt" || fail "vlk info did not read the projection file"

step "velkaro"
/usr/bin/velkaro --help >"$work/help.txt" || fail "velkaro --help failed"
head -2 "$work/help.txt"
grep -q -- "--min-accuracy" "$work/help.txt" || fail "velkaro --help lacks --min-accuracy"
# No board on this machine: the window opens with its message and waits, so
# the timeout ends it (124). Ending by itself with 0 counts too; a crash or
# any other status does not.
status=0
(cd "$work" && HOME="$work" QT_QPA_PLATFORM=offscreen timeout -k 5 5 /usr/bin/velkaro) \
  >"$work/velkaro.log" 2>&1 || status=$?
echo "velkaro offscreen: exit status $status"
if [ "$status" -ne 124 ] && [ "$status" -ne 0 ]; then
  cat "$work/velkaro.log" >&2
  fail "velkaro did not start offscreen"
fi

step "remove"
remove
installed && fail "velkaro is still installed after apt-get remove"
[ ! -e /usr/bin/vlk ] || fail "/usr/bin/vlk is still there after the removal"
echo "check-package: passed"
