"""What --report adds to a whole stats-replay run, and --report --compare (the log set beside itself,
a second replay of the same size): CPU time (user + system, the least of RUNS runs), peak memory,
and the size of the page. Prints one Markdown table row per log.

    python3 bench/report_cost.py TOOL WORKDIR RUNS LOG...
"""
import os
import pathlib
import subprocess
import sys


def run(args):
    """CPU seconds and peak resident kB of one run of the tool."""
    with open(os.devnull, "wb") as null:
        child = subprocess.Popen(args, stdout=null, stderr=null)
        _, status, usage = os.wait4(child.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"report_cost: {' '.join(args)} failed")
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss


tool, work, runs = sys.argv[1], pathlib.Path(sys.argv[2]), int(sys.argv[3])
print("| QSOs | replay, CPU | with --report, CPU | ratio | with --compare, CPU | ratio | peak memory "
      "| with --report | with --compare | page | page with --compare |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
for log in sys.argv[4:]:
    qsos = sum(1 for line in open(log, "rb") if b"<EOR>" in line)
    page, compared = work / "report.html", work / "compare.html"
    plain, report, compare = [], [], []
    for _ in range(runs):
        plain.append(run([tool, "--dir", str(work), log]))
        report.append(run([tool, "--dir", str(work), "--report", str(page), log]))
        compare.append(run([tool, "--dir", str(work), "--report", str(compared), "--compare", log, log]))
    p, r, c = min(plain), min(report), min(compare)
    print(f"| {qsos:,} | {p[0]:.2f} s | {r[0]:.2f} s | {r[0] / p[0]:.2f}× | {c[0]:.2f} s | {c[0] / p[0]:.2f}× "
          f"| {max(m for _, m in plain) / 1024:.0f} MB | {max(m for _, m in report) / 1024:.0f} MB "
          f"| {max(m for _, m in compare) / 1024:.0f} MB | {page.stat().st_size / 1024:.0f} kB "
          f"| {compared.stat().st_size / 1024:.0f} kB |")
