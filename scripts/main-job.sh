#!/usr/bin/env bash
# The project's main job: installs what the native build needs, builds the plug-in for Linux and the
# replay tool (nothing else: the Windows builds and the tests are scripts/test.sh's), and shows what the
# plug-in does with the sample contest log.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/steps.sh


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
    echo "build/native/Stats.so:"
    nm -D --defined-only build/native/Stats.so
}

steps_total=5
must "setup (the native build's packages)" scripts/setup-debian.sh --native
must "configure (native)" scripts/configure.sh native
must "build Stats.so and stats-replay" cmake --build --preset native --target Stats stats-replay
# The demonstration: the sample contest log replayed through Stats.so in export mode (build/replay-sample).
step "replay the sample log" scripts/replay-sample.sh
step "rule set and export table" eval 'show_rule_set && show_exports'

finish
