#!/usr/bin/env python3
"""Runs stats-crosscheck on a contest whose own checking was published beside its logs, and compares.

Two layouts of FOLDER. Per-line verdicts: CALL.txt (the logs), CALL.ubn (the same QSO lines, each
followed by a tab, the points given and, where not full, the reason in brackets) and results.csv (the
published scores). Reports of the unconfirmed QSOs: logs/CALL.CBR, ubn/CALL.UBN (the station's total
and confirmed QSOs, then each QSO not confirmed under its reason, ERROR_NOT_IN_LOG and the like) and
results-by-a-second-checker.csv (place, call, QSOs, confirmed, score, percentage), each confirmed QSO
worth --points. Prints the matrix of the published verdicts against ours, the shares the comparison is
judged by, the stations whose scores differ, and examples of each kind of disagreement.

  scripts/compare-published.py FOLDER [--tool build/native/stats-crosscheck]
      [--contest contests/nrau-baltic-ssb.toml] [--examples N] [--qso-csv FILE] [--points 2]
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


def print_examples(examples, count):
    for pair, found in sorted(examples.items()):
        if pair[0] in ("full", "confirmed") and pair[1] == "VERIFIED":
            continue
        print(f"== published {pair[0]} / ours {pair[1]} ({count[pair]})")
        for station, number, text, reason, row in found:
            print(f"  {station} line {number}: {text}")
            print(f"    published: {reason or 'full points'}")
            print(f"    ours: {row['verdict']}, {row['points']} points; {row['evidence'][:220]}")


def compare_lines(args):
    """The layout with a verdict on every QSO line (CALL.txt, CALL.ubn, results.csv)."""
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
    print_examples(examples, count)


def read_text(path):
    """A log's text: UTF-16 with its byte order mark decoded, else Latin-1 (every byte a character)."""
    with open(path, "rb") as f:
        raw = f.read()
    if raw.startswith((b"\xff\xfe", b"\xfe\xff")):
        return raw.decode("utf-16"), True
    return raw.decode("latin-1"), False


def header_call(text):
    for line in text.splitlines():
        if line.upper().startswith("CALLSIGN:"):
            return line.split(":", 1)[1].strip().upper()
    return ""


def gather_logs(folder):
    """The logs of FOLDER/logs, one per station (a second file of a call is left out, the file named
    as the call kept), each with its text; UTF-16 files are named, stats-crosscheck reads them decoded."""
    chosen = {}
    for name in sorted(os.listdir(folder), key=lambda n: (len(n), n)):
        path = os.path.join(folder, name)
        text, utf16 = read_text(path)
        call = header_call(text) or os.path.splitext(name)[0].upper()
        if call in chosen:
            print(f"note: {name} is a second log of {call}; {os.path.basename(chosen[call][1])} is used")
            continue
        if utf16:
            print(f"note: {name} is UTF-16 text, which stats-crosscheck reads as such")
        chosen[call] = (text, path)
    return chosen


def qso_key(date, time, rest):
    """A QSO as a report names it: date, HHMM, own call, the numbers sent, call and numbers received
    (a number as a number: the reports write a log's 06 as 006)."""
    return (date, time.replace(":", "")[:4], tuple(str(int(t)) if t.isdigit() else t.upper() for t in rest))


def read_reports(folder):
    """Per station: its unconfirmed QSOs (key -> reasons, in order), total and confirmed QSOs."""
    reports = {}
    for name in sorted(os.listdir(folder)):
        unconfirmed, total, confirmed = collections.defaultdict(list), None, None
        with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
            for line in f:
                counted = re.match(r"\s*(Total|Confirmed) QSOs:\s*(\d+)", line)
                if counted:
                    total, confirmed = (int(counted[2]), confirmed) if counted[1] == "Total" else (total, int(counted[2]))
                found = re.match(r"\s*(ERROR_\w+)\s*-*>\s*QSO:\s*(.*)", line)
                if found:
                    cells = found[2].split()
                    unconfirmed[qso_key(cells[2], cells[3], cells[4:])].append(found[1])
        reports[os.path.splitext(name)[0].upper()] = (unconfirmed, total, confirmed)
    return reports


def read_second_checker(path):
    scores = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for cells in csv.reader(f):
            if len(cells) >= 5 and cells[4].strip().isdigit():
                scores[cells[1].strip().upper()] = int(cells[4])
    return scores


def compare_reports(args):
    """The layout with a report of the unconfirmed QSOs per station (logs/, ubn/, a second checker's csv)."""
    reports = read_reports(os.path.join(args.folder, "ubn"))
    second = read_second_checker(os.path.join(args.folder, "results-by-a-second-checker.csv"))
    with tempfile.TemporaryDirectory() as out:
        logs = gather_logs(os.path.join(args.folder, "logs"))
        rows, scores = run_crosscheck(args, [path for _, path in logs.values()], out)
    print()
    pairs, examples, credits = [], collections.defaultdict(list), collections.defaultdict(list)
    differences = collections.defaultdict(collections.Counter)  # station -> (theirs, ours) -> our points less theirs
    for station, (text, _) in sorted(logs.items()):
        unconfirmed = reports.get(station, ({}, None, None))[0]
        for number, line in enumerate(text.splitlines(), 1):
            cells = line.split()
            row = rows.get((station, number))
            if not line.upper().startswith("QSO:") or row is None or len(cells) < 5:
                continue
            reasons = unconfirmed.get(qso_key(cells[3], cells[4], cells[5:]))
            reason = reasons.pop(0) if reasons else ""
            pair = (reason or "confirmed", our_kind(row))
            pairs.append(pair)
            credits["taken" if reason else "confirmed"].append(int(row["points"]) > 0)
            gained = int(row["points"]) - (0 if reason else args.points)
            if gained:
                differences[station][pair] += gained
            if len(examples[pair]) < args.examples:
                examples[pair].append((station, number, " ".join(cells), reason, row))

    print_matrix(pairs)
    confirmed = [p for p in pairs if p[0] == "confirmed"]
    taken = [p for p in pairs if p[0] != "confirmed"]
    print()
    print("verified where the reports confirm:", share(sum(1 for p in confirmed if p[1] == "VERIFIED"), len(confirmed)))
    print("not verified where they take the QSO:", share(sum(1 for p in taken if p[1] != "VERIFIED"), len(taken)))
    print("credited where the reports confirm:", share(sum(1 for c in credits["confirmed"] if c), len(credits["confirmed"])))
    print("no credit where they take the QSO:", share(sum(1 for c in credits["taken"] if not c), len(credits["taken"])))
    theirs = {s: args.points * r[2] for s, r in reports.items() if r[2] is not None}
    for name, published in (("the reports", theirs), ("the second checker", second)):
        both = [s for s in published if s in scores]
        near = [s for s in both if abs(scores[s] - published[s]) <= 0.01 * max(published[s], 1)]
        print(f"scores within 1 % of {name}:", share(len(near), len(both)),
              "; exactly equal:", share(sum(1 for s in both if scores[s] == published[s]), len(both)))
    print()
    print("stations off by more than 1 % from the reports: call, reports, second checker, ours; our points less"
          " theirs by the kinds of disagreement")
    for s in sorted(s for s in theirs if s in scores and abs(scores[s] - theirs[s]) > 0.01 * max(theirs[s], 1)):
        why = "; ".join(f"{t} / {o} {d:+}" for (t, o), d in differences[s].most_common() if d)
        print(f"  {s:10} {theirs[s]:>7} {second.get(s, '-'):>7} {scores[s]:>7}  {why}")
    print()
    print_examples(examples, collections.Counter(pairs))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--tool", default="build/native/stats-crosscheck")
    parser.add_argument("--contest", default="contests/nrau-baltic-ssb.toml")
    parser.add_argument("--examples", type=int, default=3)
    parser.add_argument("--qso-csv", help="keep our QSO table here")
    parser.add_argument("--points", type=int, default=2, help="a confirmed QSO's points in the reports' layout")
    args = parser.parse_args()
    if os.path.isdir(os.path.join(args.folder, "ubn")):
        compare_reports(args)
    else:
        compare_lines(args)


if __name__ == "__main__":
    main()
