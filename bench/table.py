"""Prints the benchmark results of bench/run.sh as Markdown tables (CPU time, same run)."""
import json
import pathlib
import sys

out = pathlib.Path(sys.argv[1])
runs = {}
for name in ("reload_bench", "call_check_bench"):
    for b in json.loads((out / f"{name}.json").read_text())["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration" and "error_occurred" not in b:
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
            runs[b["name"]] = b["cpu_time"] * scale  # nanoseconds per iteration


def fmt(ns):
    if ns is None:
        return "-"
    for unit, f in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= f:
            return f"{ns / f:.3g} {unit}"
    return f"{ns:.3g} ns"


def ratio(a, b):
    return f"{a / b:.1f}×" if a is not None and b is not None else "-"


sizes = [1000, 10000, 50000, 100000, 1000000]
print("\n| reload (reset + n AddData0 + GetResult0), per QSO | n | ours | literal | floor | literal ÷ ours | ours ÷ floor |")
print("|---|---:|---:|---:|---:|---:|---:|")
for n in sizes:
    ours, ref, floor = (runs.get(f"{b}/{n}") for b in ("BM_Reload", "BM_ReloadReference", "BM_ReloadFloor"))
    per = lambda v: v / n if v is not None else None
    print(f"| | {n:,} | {fmt(per(ours))} | {fmt(per(ref))} | {fmt(per(floor))} | {ratio(ref, ours)} | {ratio(ours, floor)} |")

for title, ours_name, ref_name in (("GetResult0 alone", "BM_GetResult", "BM_GetResultReference"),
                                   ("RemoveData0", "BM_RemoveData", "BM_RemoveDataReference")):
    print(f"\n| {title}, per call | n | ours | literal | literal ÷ ours |")
    print("|---|---:|---:|---:|---:|")
    for n in sizes:
        ours, ref = runs.get(f"{ours_name}/{n}"), runs.get(f"{ref_name}/{n}")
        print(f"| | {n:,} | {fmt(ours)} | {fmt(ref)} | {ratio(ref, ours)} |")

cases = {"BM_CheckCall": ("CheckCall0 dupe", "CheckCall0 worked prefix", "CheckCall0 new prefix"),
         "BM_TickFill": ("tick fill, call with 4 QSOs", "tick fill, call with 200 QSOs")}
print("\n| per call | n | ours | literal | literal ÷ ours | ours ÷ ours at 1k |")
print("|---|---:|---:|---:|---:|---:|")
for name, titles in cases.items():
    for k, title in enumerate(titles):
        base = runs.get(f"{name}/1000/{k}")
        for n in sizes:
            ours, ref = runs.get(f"{name}/{n}/{k}"), runs.get(f"{name}Reference/{n}/{k}")
            print(f"| {title if n == sizes[0] else ''} | {n:,} | {fmt(ours)} | {fmt(ref)} | {ratio(ref, ours)} | {ratio(ours, base)} |")

print("\nMemory at 1M contacts (live heap bytes by a counting operator new, allocator rounding included):\n")
for f in ("memory-native.txt", "memory-i686.txt"):
    p = out / f
    if p.exists():
        print("```\n" + p.read_text().rstrip() + "\n```")

p = out / "contest_report_bench.json"
if p.exists():
    print("\n| contest report | n | counting, per contact | heap bytes per contact | analysis | page (with the analysis) | page bytes |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    bench = {b["name"]: b for b in json.loads(p.read_text())["benchmarks"] if b.get("run_type", "iteration") == "iteration"}
    for n in (10000, 100000, 1000000):
        count, page = bench.get(f"BM_ReportCount/{n}"), bench.get(f"BM_ReportPage/{n}")
        analysis = bench.get(f"BM_ReportAnalysis/{n}")
        if count and page:
            ms = {"ns": 1e-6, "us": 1e-3, "ms": 1, "s": 1e3}
            analysed = fmt(analysis['cpu_time'] * ms[analysis['time_unit']] * 1e6) if analysis else "?"
            print(f"| | {n:,} | {fmt(count['cpu_time'] * ms[count['time_unit']] * 1e6 / n)} | "
                  f"{count['heap_bytes_per_qso']:.0f} B | {analysed} | {fmt(page['cpu_time'] * ms[page['time_unit']] * 1e6)} | "
                  f"{page['page_bytes'] / 1024:.0f} kB |")
if (out / "report-cost.md").exists():
    print("\nWhole runs of stats-replay with and without --report, and with --report --compare:\n")
    print((out / "report-cost.md").read_text().rstrip())
# The committee's cross-check: matching alone (crosscheck_bench) and the whole command (crosscheck-scale.sh).
p = out / "crosscheck_bench.json"
if p.exists():
    print("\n| cross-check matching | QSOs | workers | wall | per QSO | precision | recall |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for b in json.loads(p.read_text())["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
        wall, n = b["real_time"] * scale, b["qsos"]
        workers = b["name"].split("workers:")[1].split("/")[0]
        print(f"| | {int(n):,} | {workers} | {fmt(wall)} | {fmt(wall / n)} | {b['precision']:.3f} | {b['recall']:.3f} |")
p = out / "crosscheck-scale.md"
if p.exists():
    print("\nstats-crosscheck end to end (1,000 logs):\n\n" + p.read_text().rstrip())
