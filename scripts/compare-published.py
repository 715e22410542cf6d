#!/usr/bin/env python3
"""Runs stats-crosscheck on a contest whose own checking was published beside its logs, and compares.

The folder holds CALL.txt (the logs), CALL.ubn (the same QSO lines, each followed by a tab, the points
given and, where not full, the reason in brackets) and results.csv (the published scores). Prints the
matrix of the published verdicts against ours, the shares the comparison is judged by, the stations
whose scores differ, and examples of each kind of disagreement.

  scripts/compare-published.py FOLDER [--tool build/native/stats-crosscheck]
      [--contest contests/nrau-baltic-ssb.toml] [--examples N] [--qso-csv FILE]
"""

import argparse
import collections
import csv
import os
import re
import subprocess
import sys
import tempfile

PUBLISHED = [  # (kind, pattern of the reason), first match wins
    ("number mismatch", r"RX number mismatch"),
    ("county mismatch", r"RX county mismatch"),
    ("RST mismatch", r"RX RST mismatch"),
    ("not found", r"QSO not found"),
    ("no log, counted", r"Found \d+\+ QSOs"),
    ("no log", r"Log not received"),
    ("time differs", r"Time differs"),
    ("out of band", r"out of contest band"),
    ("outside time", r"outside contest time"),
]


def published_kind(points, reason):
    for kind, pattern in PUBLISHED:
        if re.search(pattern, reason):
            return kind
    return "full" if points == 2 and not reason else "other: " + reason


def our_kind(row):
    verdict = row["verdict"]
    if verdict.startswith("BUSTED EXCHANGE (") and not verdict.endswith("(inferred)"):
        return "BUSTED EXCHANGE (" + verdict[len("BUSTED EXCHANGE ("):].split(":")[0] + ")"
    if verdict in ("NO LOG", "NO LOG (not counted)", "UNIQUE", "UNIQUE ON THIS BAND"):
        return "no log, counted" if int(row["points"]) > 0 else "no log, not counted"
    return verdict


def read_published(folder):
    """(station, index of its QSO line) -> (points, reason, text); scores by station."""
    lines = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".ubn"):
            continue
        station = name[:-4].upper()
        with open(os.path.join(folder, name), encoding="latin-1") as f:
            for index, text in enumerate(line.rstrip("\r\n") for line in f if line.strip()):
                cells = text.split("\t")
                points = int(cells[1]) if len(cells) > 1 and cells[1].strip().isdigit() else 0
                reason = next((c for c in cells[2:] if c.startswith("(")), "")
                lines[(station, index)] = (points, reason.strip("()"), cells[0])
    scores = {}
    with open(os.path.join(folder, "results.csv"), encoding="latin-1") as f:
        for row in csv.DictReader(f):
            scores[row["CALL"].upper()] = int(row["SCORE"])
    return lines, scores


def qso_line_numbers(path):
    with open(path, encoding="latin-1") as f:
        return [n for n, line in enumerate(f, 1) if line.lstrip().upper().startswith("QSO:")]


def run_crosscheck(args, logs, out):
    qso_csv = args.qso_csv or os.path.join(out, "qsos.csv")
    command = [args.tool, "--cty", "none", "--contest", args.contest, "--out", out, "--qso-csv", qso_csv] + logs
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit("compare-published: stats-crosscheck failed:\n" + done.stderr)
    with open(qso_csv, newline="", encoding="utf-8") as f:
        rows = {(r["station"], int(r["line"])): r for r in csv.DictReader(f)}
    with open(os.path.join(out, "results.csv"), newline="", encoding="utf-8") as f:
        scores = {r["call"]: int(r["final_score"]) for r in csv.DictReader(f)}
    return rows, scores


def print_matrix(pairs):
    """Rows: the published kinds; columns: ours, numbered, named below the table."""
    ours = sorted({o for _, o in pairs})
    theirs = sorted({p for p, _ in pairs}, key=lambda k: (k != "full", k))
    counts = collections.Counter(pairs)
    width = max(len(k) for k in theirs + ["published \\ ours"]) + 2
    print("published \\ ours".ljust(width) + "".join(f"{'[' + str(i + 1) + ']':>7}" for i in range(len(ours)))
          + f"{'total':>8}")
    for p in theirs:
        cells = "".join(f"{counts[(p, o)] or '.':>7}" for o in ours)
        print(p.ljust(width) + cells + f"{sum(counts[(p, o)] for o in ours):>8}")
    print("ours: " + "; ".join(f"[{i + 1}] {o}" for i, o in enumerate(ours)))


def share(numerator, denominator):
    return f"{numerator}/{denominator} = {100.0 * numerator / max(denominator, 1):.2f} %"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--tool", default="build/native/stats-crosscheck")
    parser.add_argument("--contest", default="contests/nrau-baltic-ssb.toml")
    parser.add_argument("--examples", type=int, default=3)
    parser.add_argument("--qso-csv", help="keep our QSO table here")
    args = parser.parse_args()

    logs = sorted(os.path.join(args.folder, n) for n in os.listdir(args.folder) if n.endswith(".txt"))
    published, published_scores = read_published(args.folder)
    with tempfile.TemporaryDirectory() as out:
        rows, scores = run_crosscheck(args, logs, out)

    pairs, examples, disputed, taken = [], collections.defaultdict(list), set(), []
    for log in logs:
        station = os.path.basename(log)[:-4].upper()
        for index, number in enumerate(qso_line_numbers(log)):
            row = rows.get((station, number))
            points, reason, text = published.get((station, index), (None, "", ""))
            if row is None or points is None:
                continue
            pair = (published_kind(points, reason), our_kind(row))
            pairs.append(pair)
            partner = rows.get((row["partner"], int(row["partner_line"]))) if row["partner_line"] else None
            if pair[0] == "not found" and partner and partner["verdict"] == "BUSTED CALL":
                disputed.update({station, row["partner"]})
                taken.append(int(row["points"]) > 0)
            if len(examples[pair]) < args.examples:
                examples[pair].append((station, number, text, reason, row))

    print_matrix(pairs)
    count = collections.Counter(pairs)
    full = [p for p in pairs if p[0] == "full"]
    mismatched = [p for p in pairs if p[0] in ("number mismatch", "county mismatch")]
    print()
    print("verified where the published checking credits fully:",
          share(sum(1 for p in full if p[1] == "VERIFIED"), len(full)))
    print("busted exchange where it found a number or county mismatch:",
          share(sum(1 for p in mismatched if p[1].startswith("BUSTED EXCHANGE")), len(mismatched)))
    print("its 'not found' where the partner's line is our BUSTED CALL, kept with points:", share(sum(taken), len(taken)))
    calm = [s for s in published_scores if s in scores and s not in disputed]
    near = [s for s in calm if abs(scores[s] - published_scores[s]) <= 0.01 * max(published_scores[s], 1)]
    print("scores within 1 % of the published, stations without a busted-call dispute:", share(len(near), len(calm)))
    print("exactly equal:", share(sum(1 for s in calm if scores[s] == published_scores[s]), len(calm)))
    print()
    print("stations off by more than 1 %: call, published, ours")
    for s in sorted(set(calm) - set(near)):
        print(f"  {s:10} {published_scores[s]:>7} {scores[s]:>7}")
    print()
    for pair, found in sorted(examples.items()):
        if pair[0] == "full" and pair[1] == "VERIFIED":
            continue
        print(f"== published {pair[0]} / ours {pair[1]} ({count[pair]})")
        for station, number, text, reason, row in found:
            print(f"  {station} line {number}: {text}")
            print(f"    published: {reason or 'full points'}")
            print(f"    ours: {row['verdict']}, {row['points']} points; {row['evidence'][:220]}")


if __name__ == "__main__":
    main()
