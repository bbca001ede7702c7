#!/bin/bash
# Installing and packaging the built program: `cmake --install` lays out the program, its
# desktop entry and icon; cpack turns the same into a .deb whose contents and dependencies
# are right; the installed program starts and stays up in an empty folder.
# Usage: package_test.sh <morvantil executable> <repository root>
set -euo pipefail
build="$(cd "$(dirname "$1")" && pwd)"
work="$(mktemp -d)"
program_pid=""
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps file readelf desktop-file-validate; do
    command -v "$tool" >/dev/null || fail "missing $tool; run scripts/setup"
done
[ -f "$build/CPackConfig.cmake" ] || fail "no CPackConfig.cmake in $build"

files=(usr/bin/morvantil
       usr/share/doc/morvantil/copyright
       usr/share/applications/morvantil.desktop
       usr/share/icons/hicolor/32x32/apps/morvantil.png)

# --- cmake --install into a staging root
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
for f in "${files[@]}"; do
    [ -f "$work/stage/$f" ] || fail "cmake --install did not install /$f"
done
[ -x "$work/stage/usr/bin/morvantil" ] || fail "installed program is not executable"
file "$work/stage/usr/share/icons/hicolor/32x32/apps/morvantil.png" | grep -q "PNG image data, 32 x 32" ||
    fail "installed icon is not a 32x32 PNG"
desktop="$work/stage/usr/share/applications/morvantil.desktop"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -qx "Exec=morvantil" "$desktop" || fail "desktop entry does not start the installed program"
grep -qx "Icon=morvantil" "$desktop" || fail "desktop entry does not name the installed icon"
grep -q "^Comment\[it\]=." "$desktop" || fail "desktop entry has no Italian comment"
grep -q "^Name\[it\]=." "$desktop" || fail "desktop entry has no Italian name"
# A build-tree run path would make the installed program load the build's libraries.
if readelf -d "$work/stage/usr/bin/morvantil" | grep -E "R(UN)?PATH" | grep -q "$build"; then
    fail "installed program still points into the build directory"
fi

# --- the .deb
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made ${#debs[@]} .deb files"
deb="${debs[0]}"
dpkg-deb -c "$deb" > "$work/contents"
for f in "${files[@]}"; do
    grep -q " \./$f\$" "$work/contents" || fail ".deb lacks /$f"
done
if grep -vE " \./usr/(bin|share/doc/morvantil|share/applications|share/icons)(/|$)| \./(usr/((share|share/doc)/?)?)?$" "$work/contents"; then
    fail ".deb holds files outside the program, its entry and its icon (listed above)"
fi
dpkg-deb -f "$deb" Package Architecture Maintainer > "$work/fields"
grep -qx "Package: morvantil" "$work/fields" || fail "package is not named morvantil"
grep -qx "Architecture: $(dpkg --print-architecture)" "$work/fields" || fail "wrong architecture"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6widgets6 libqt6gui6 libqt6core6 libcurl4 libc6; do
    grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# Every dependency must be one this Debian system knows, at a version it has.
dpkg-deb -x "$deb" "$work/root"
file "$work/root/usr/bin/morvantil" | grep -q ", stripped" || fail "packaged program is not stripped"
for pkg in $(tr ',' '\n' <<<"$depends" | sed 's/(.*//; s/|.*//' | tr -d ' '); do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
        fail "dependency $pkg is not installed here"
done

# --- the packaged program starts: in an empty folder it brings up the settings window and
# waits for the operator; still running after a few seconds counts as started.
mkdir "$work/office"
(cd "$work/office" && exec env QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/morvantil" \
    >"$work/program.log" 2>&1) &
program_pid=$!
sleep 3
if ! kill -0 "$program_pid" 2>/dev/null; then
    wait "$program_pid" && status=0 || status=$?
    cat "$work/program.log" >&2
    program_pid=""
    fail "packaged program ended at once (status $status)"
fi
echo "package ok: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $depends"
