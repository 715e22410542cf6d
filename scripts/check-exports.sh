#!/usr/bin/env bash
# Checks the export and import tables of built plug-ins.
#   Stats.dll: exactly the twenty names of its .def file (ten plain, ten decorated), and imports
#              only from DLLs that every Windows has (no MinGW runtime DLL beside it); then, through
#              scripts/check_pe.py, exactly the reviewed functions of resources/stats-ARCH.imports
#              (all in Windows 7), relocations, TLS directory and the image's Windows version.
#              These only read the file, so they run where the DLL's architecture cannot.
#   Stats.so:  exactly the ten plain names as defined dynamic symbols.
# Usage: scripts/check-exports.sh FILE...   (e.g. build/win32/Stats.dll build/native/Stats.so)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
plain_names="AddData0 CheckCall0 GetExchgCount0 GetNumberOfSets GetResult0 GetSetName IsValidExchg0 RemoveData0 ResetStats0 SetupSet0"
# Lower-case names of the system DLLs the plug-in may import from.
allowed_imports="kernel32.dll user32.dll gdi32.dll ole32.dll oleaut32.dll version.dll msvcrt.dll advapi32.dll
comctl32.dll comdlg32.dll shell32.dll shlwapi.dll uxtheme.dll"

failures=0
fail() {
    echo "check-exports: $*" >&2
    failures=$((failures + 1))
}

check_dll() {
    local dll=$1 format arch def objdump=x86_64-w64-mingw32-objdump
    command -v "$objdump" >/dev/null || objdump=objdump
    format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
    case $format in
        pei-i386) arch=i686 ;;
        pei-x86-64) arch=x86_64 ;;
        *) fail "$dll: not a Windows DLL (format '$format')"; return ;;
    esac
    def="$repo/resources/stats-$arch.def"
    local dump expected actual
    dump=$("$objdump" -p "$dll")
    expected=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d; s/[[:space:]]//g; /^$/d; /^;/d; s/=.*//' | sort)
    actual=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
    [[ $(wc -l <<<"$expected") == 20 ]] || fail "$def: $(wc -l <<<"$expected") exports, expected 20"
    diff -u <(echo "$expected") <(echo "$actual") >/dev/null ||
        fail "$dll: export names differ from $def:$(printf '\n%s' "$(diff -u <(echo "$expected") <(echo "$actual") | tail -n +3)")"

    local imports name
    imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
    [[ -n $imports ]] || fail "$dll: no import table found"
    for name in $imports; do
        grep -qixF "$name" <<<"${allowed_imports// /$'\n'}" || fail "$dll imports from $name, which is not a system DLL"
    done
    echo "check-exports: $dll ($format): $(wc -l <<<"$actual") exports; imports $(echo $imports)"
    python3 "$repo/scripts/check_pe.py" "$dll" "$repo/resources/stats-$arch.imports" ||
        fail "$dll: the loader's view differs from the reviewed one (above)"
}

check_so() {
    local so=$1 actual
    actual=$(nm -D --defined-only "$so" | awk '{ print $NF }' | sort)
    diff -u <(tr ' ' '\n' <<<"$plain_names" | sort) <(echo "$actual") >/dev/null ||
        fail "$so: dynamic symbols differ from the ten plain names:$(printf '\n%s' "$(diff -u <(tr ' ' '\n' <<<"$plain_names" | sort) <(echo "$actual") | tail -n +3)")"
    echo "check-exports: $so: $(wc -l <<<"$actual") dynamic symbols"
}

[[ $# -gt 0 ]] || { echo "usage: $0 FILE..." >&2; exit 2; }
for file in "$@"; do
    if [[ ! -f $file ]]; then
        fail "$file: not found (build it first)"
    elif [[ $file == *.dll ]]; then
        check_dll "$file"
    else
        check_so "$file"
    fi
done
[[ $failures == 0 ]] || { echo "check-exports: $failures problem(s)" >&2; exit 1; }
