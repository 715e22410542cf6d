#!/usr/bin/env bash
# Checks the export lists resources/stats-i686.def and resources/stats-x86_64.def against the
# prototypes the host calls:
#  - every decorated name, read back with llvm-undname, is exactly one of the prototypes below and
#    is bound to the right function;
#  - clang, compiling those prototypes for the MSVC ABI of each architecture, produces exactly the
#    decorated names of the file (so no prototype is missing and none is mangled by hand wrongly);
#  - the ten plain names are bound to the right functions.
# Usage: scripts/check-def-names.sh   (exit code 0 when both files are right)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d /tmp/stats-defcheck.XXXXXX)
trap 'rm -rf "$work"' EXIT

undname=$(command -v llvm-undname || ls /usr/bin/llvm-undname-* 2>/dev/null | head -1 || true)
[[ -n $undname ]] || { echo "check-def-names: llvm-undname not found (Debian package llvm)" >&2; exit 1; }

# The prototypes, as counts of parameter kinds in order (as the host's interface lists them).
# Kinds: text (const char*), date (ATL::COleDateTime*), unsigned, int, double, buffer (char*), intptr (int*).
prototypes=(
    "int AddData0 2:text 4:date 2:unsigned 15:text 3:int 2:double 5:text"
    "int RemoveData0 2:text 4:date 2:unsigned 15:text 3:int 2:double 5:text"
    "int ResetStats0 1:text 1:int 1:text 2:date 10:text 3:int 2:double 3:text"
    "int CheckCallFunc0 1:text 2:unsigned 11:text 3:int 2:double 7:text 2:buffer"
    "text GetResult0 1:intptr"
    "text GetSetName 1:int"
    "int GetNumberOfSets"
    "int StatsGetExchgCount0 3:text"
    "int StatsIsValidExchg0 4:text 3:int"
    "void SetupSet0"
)
# Which function each decorated name is bound to (GetNumberOfSets and GetExchgCount0 are one).
declare -A bound_to=(
    [AddData0]=AddData0 [RemoveData0]=RemoveData0 [ResetStats0]=ResetStats0
    [CheckCallFunc0]=CheckCallFunc0 [GetResult0]=GetResult0 [GetSetName]=GetSetName
    [GetNumberOfSets]=StatsGetExchgCount0 [StatsGetExchgCount0]=StatsGetExchgCount0
    [StatsIsValidExchg0]=StatsIsValidExchg0 [SetupSet0]=SetupSet0
)
plain_exports="AddData0=AddData0
CheckCall0=CheckCallFunc0
GetExchgCount0=StatsGetExchgCount0
GetNumberOfSets=StatsGetExchgCount0
GetResult0=GetResult0
GetSetName=GetSetName
IsValidExchg0=StatsIsValidExchg0
RemoveData0=RemoveData0
ResetStats0=ResetStats0
SetupSet0=SetupSet0"

declare -A undname_type=([text]="char const *" [date]="class ATL::COleDateTime *" [unsigned]="unsigned int"
    [int]="int" [double]="double" [buffer]="char *" [intptr]="int *" [void]="void")
declare -A cxx_type=([text]="const char*" [date]="ATL::COleDateTime*" [unsigned]="unsigned" [int]="int"
    [double]="double" [buffer]="char*" [intptr]="int*" [void]="void")

# Expands "2:text 1:int" into a parameter list with the given type table.
params() {
    local -n types=$1
    shift
    local out="" group n kind i
    for group in "$@"; do
        n=${group%%:*} kind=${group#*:}
        for ((i = 0; i < n; i++)); do out+="${out:+, }${types[$kind]}"; done
    done
    echo "${out:-${types[void]}}"
}

# The prototypes as llvm-undname prints them, and as C++ definitions for clang.
declare -A expected_proto
: >"$work/exports.cpp"
echo "namespace ATL { class COleDateTime; }" >>"$work/exports.cpp"
for line in "${prototypes[@]}"; do
    read -r ret name rest <<<"$line"
    read -r -a groups <<<"${rest:-}"
    expected_proto[$name]="${undname_type[$ret]} __cdecl $name($(params undname_type "${groups[@]}"))"
    body="{ return 0; }"
    [[ $ret == void ]] && body="{}"
    echo "${cxx_type[$ret]} $name($(params cxx_type "${groups[@]}")) $body" >>"$work/exports.cpp"
done

# EXPORTS lines of a .def file, "name=target" (a bare name is bound to itself).
def_exports() {
    sed -n '/^EXPORTS/,$p' "$1" | sed '1d; s/[[:space:]]//g; /^$/d; /^;/d' |
        awk -F= '{ print $1 "=" ($2 == "" ? $1 : $2) }'
}

failures=0
fail() {
    echo "check-def-names: $*" >&2
    failures=$((failures + 1))
}

for arch in i686 x86_64; do
    def="$repo/resources/stats-$arch.def"
    def_exports "$def" >"$work/$arch.all"
    grep '^?' "$work/$arch.all" | sort >"$work/$arch.decorated"
    grep -v '^?' "$work/$arch.all" | sort >"$work/$arch.plain"

    diff -u <(sort <<<"$plain_exports") "$work/$arch.plain" >"$work/diff" ||
        fail "$def: plain exports differ from the expected ten:$(printf '\n%s' "$(cat "$work/diff")")"

    declare -A seen=()
    while IFS== read -r decorated target; do
        proto=$("$undname" "$decorated" | sed -n 2p)
        name=$(sed -E 's/^.* __cdecl ([A-Za-z0-9_]+)\(.*$/\1/' <<<"$proto")
        if [[ -z ${expected_proto[$name]:-} ]]; then
            fail "$def: $decorated reads as '$proto', no function of the interface"
            continue
        fi
        [[ $proto == "${expected_proto[$name]}" ]] ||
            fail "$def: $decorated reads as"$'\n'"    $proto"$'\n'"  expected"$'\n'"    ${expected_proto[$name]}"
        [[ $target == "${bound_to[$name]}" ]] || fail "$def: $decorated is bound to $target, expected ${bound_to[$name]}"
        [[ -z ${seen[$name]:-} ]] || fail "$def: $name is exported twice under a decorated name"
        seen[$name]=1
    done <"$work/$arch.decorated"
    for name in "${!expected_proto[@]}"; do
        [[ -n ${seen[$name]:-} ]] || fail "$def: no decorated name for $name"
    done
    unset seen

    # The forward direction: the names the MSVC ABI gives these prototypes.
    if command -v clang++ >/dev/null; then
        clang++ --target="$arch-pc-windows-msvc" -c "$work/exports.cpp" -o "$work/$arch.obj"
        llvm-nm --defined-only --format=just-symbols "$work/$arch.obj" | grep '^?' | sort >"$work/$arch.clang"
        diff -u "$work/$arch.clang" <(cut -d= -f1 "$work/$arch.decorated") >"$work/diff" ||
            fail "$def: decorated names differ from clang's for the prototypes:$(printf '\n%s' "$(cat "$work/diff")")"
    else
        fail "clang++ not found (Debian package clang)"
    fi
done

if [[ $failures -gt 0 ]]; then
    echo "check-def-names: $failures problem(s)" >&2
    exit 1
fi
echo "check-def-names: both .def files export the ten functions under their plain and decorated names"
