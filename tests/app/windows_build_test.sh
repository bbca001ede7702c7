#!/bin/bash
# The Windows-only sources and the executable's resources, built with Debian's MinGW
# cross tools: the resource script compiles and holds the right version sheet and icon,
# the Win32 wrappers compile warning-free and link into a Windows program.
# Usage: windows_build_test.sh <morvantil executable> <repository root>
set -euo pipefail
root="$2"
prefix=i686-w64-mingw32
missing=()
for tool in windres g++ objdump; do
    command -v "$prefix-$tool" >/dev/null || missing+=("$prefix-$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "FAIL: missing ${missing[*]}; run scripts/setup (binutils-mingw-w64-i686 g++-mingw-w64-i686)" >&2
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Run from elsewhere: the icon must be found relative to the script, as a build does.
cd "$work"
checker=(/usr/bin/python3 "$root/tests/support/check_windows_resources.py")
rc="$root/src/app/morvantil.rc"
ico="$root/src/gui/images/morvantil.ico"

"$prefix-windres" "$rc" -O res -o morvantil.res
"${checker[@]}" morvantil.res "$ico"

# The checker must see a wrong sheet as wrong: an English copy of the script fails it.
sed -e 's/LANGUAGE 0x10, 0x01/LANGUAGE 0x09, 0x01/' -e 's/"041004B0"/"040904B0"/' \
    -e 's/FILEVERSION 1,0,0,0/FILEVERSION 1,0,0,1/' "$rc" > english.rc
mkdir -p app gui && mv english.rc app/ && cp -r "$root/src/gui/images" gui/
"$prefix-windres" app/english.rc -O res -o english.res
if "${checker[@]}" english.res "$ico" > english.out; then
    echo "FAIL: the resource check accepted an English version sheet" >&2
    exit 1
fi
for fault in "not 0x0410" "expected only 041004B0" "FileVersion number" "not marked Italian"; do
    grep -q "$fault" english.out || { echo "FAIL: check missed: $fault" >&2; cat english.out >&2; exit 1; }
done

flags=(-std=c++20 -Wall -Wextra -Werror -I "$root/src")
objects=()
for source in "$root"/src/core/platform/win32/*.cpp; do
    object="$(basename "$source" .cpp).o"
    "$prefix-g++" "${flags[@]}" -c "$source" -o "$object"
    objects+=("$object")
done

# A caller sees only standard types: the header must not drag in <windows.h>.
cat > caller.cpp <<'CPP'
#include "core/platform/win32/Win32Api.h"
#include "core/platform/win32/Win32Proxy.h"
#ifdef _WINDOWS_
#error Win32Api.h or Win32Proxy.h includes windows.h
#endif
#include <cstdio>
int main()
{
    std::printf("%zu %d %zu %d %lu %d %d %d\n", Win32ShortPathName(L"c:\\").size(),
                int(Win32IsOrdinaryVisibleFile(L"c:\\x")), Win32LogicalDrives().size(),
                int(Win32DriveReady("c:")), Win32ActiveBorderColour(),
                int(Win32StartProgram("./update.exe")), int(Win32AppendToFile(L"x.log", "x")),
                int(Win32AnsiExactly(L"x").has_value()));
}
CPP
"$prefix-g++" "${flags[@]}" -c caller.cpp -o caller.o
"$prefix-windres" "$rc" -O coff -o morvantil_rc.o
"$prefix-g++" -static-libgcc -static-libstdc++ caller.o "${objects[@]}" morvantil_rc.o -lwinhttp -o Morvantil.exe

"$prefix-objdump" -p Morvantil.exe > imports.txt
for dll in KERNEL32.dll USER32.dll; do
    grep -qi "DLL Name: $dll" imports.txt || { echo "FAIL: Morvantil.exe does not import $dll" >&2; exit 1; }
done
"$prefix-objdump" -h Morvantil.exe | grep -q '\.rsrc' || { echo "FAIL: no resource section" >&2; exit 1; }
echo "windows build ok: ${#objects[@]} source(s), $(stat -c %s Morvantil.exe) byte test program"
