#!/usr/bin/env bash
# The project's main job: installs what is missing, builds the plug-in for Linux, Windows i686 and
# Windows x86_64, and shows what it does.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/steps.sh

build() { cmake --preset "$1" && cmake --build --preset "$1"; }

# The rule set the plug-in reports, asked through Stats.so as a host would.
show_rule_set() {
    local probe=build/native/rule-set-probe
    g++ -std=c++20 -o "$probe" -x c++ - -ldl <<'EOF' || return 1
#include <dlfcn.h>
#include <cstdio>
int main(int argc, char** argv) {
    if (argc != 2) return 2;
    void* lib = dlopen(argv[1], RTLD_NOW);
    if (!lib) { std::fprintf(stderr, "%s\n", dlerror()); return 1; }
    auto setName = reinterpret_cast<const char* (*)(int)>(dlsym(lib, "GetSetName"));
    auto sets = reinterpret_cast<int (*)()>(dlsym(lib, "GetNumberOfSets"));
    if (!setName || !sets) return 1;
    for (int i = 0; i < sets(); ++i) std::printf("Rule set %d: %s\n", i, setName(i));
    return 0;
}
EOF
    "$probe" "$repo/build/native/Stats.so"
}

show_exports() {
    local dll
    for dll in build/win32/Stats.dll build/win64/Stats.dll; do
        echo "$dll:"
        x86_64-w64-mingw32-objdump -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p'
    done
    echo "build/native/Stats.so:"
    nm -D --defined-only build/native/Stats.so
}

must "setup" scripts/setup-debian.sh
must "build native" build native
must "build win32" build win32
must "build win64" build win64
# The demonstration: the sample contest log replayed through Stats.so in export mode (build/replay-sample).
step "replay the sample log" scripts/replay-sample.sh
step "rule set" show_rule_set
step "export tables" show_exports

finish
