#!/usr/bin/env python3
"""Writes the sample contest log sa-tolven-sample.adi: a weekend of 40 m and 20 m CW and SSB
contacts from a Chilean station, with dupes, a few contacts on other bands and in other modes,
and a few without the received number. Beside it, the same contacts as the Cabrillo log
sa-tolven-sample.cbr (in a common contest logger's column layout, with X-QSO lines and tabs),
and sa-tolven-cty.dat, a country file for the sample's calls only (Cabrillo gives no continent).
Deterministic: the same files on every run.

    python3 samples/make_sample_log.py [OUTPUT]
    python3 samples/make_sample_log.py --qsos 1000000 /tmp/big.adi   (a large log, for timing)
"""
import argparse
import datetime
import random
import sys
from pathlib import Path

OWN_CALL = "CE1TLV"
START = datetime.datetime(2026, 3, 7, 12, 0, 0)
HOURS = 24

# South American stations: (WPX prefix, CTY continent). Calls are made up from these.
SA_PREFIXES = [
    "LU1", "LU2", "LU3", "LU4", "LU5", "LU7", "LU8", "LU9", "LW2", "L21",
    "PY1", "PY2", "PY3", "PY4", "PY5", "PY7", "PP5", "PU2", "PR7", "ZV2",
    "CE2", "CE3", "CE4", "CE6", "CA3", "XQ3",
    "CX1", "CX2", "CX5", "CX7",
    "HK1", "HK3", "HK4", "HK6",
    "YV1", "YV4", "YV5",
    "OA4", "OA6",
    "ZP5", "ZP6",
    "CP1", "CP4", "CP6",
    "HC1", "HC2", "HC5", "HC8",
    "PZ1", "8R1", "FY5", "9Y4",
]
OTHER_PREFIXES = [
    ("K1", "NA"), ("W2", "NA"), ("N4", "NA"), ("K5", "NA"), ("W6", "NA"), ("AA9", "NA"), ("VE3", "NA"),
    ("XE1", "NA"), ("KP4", "NA"), ("TI2", "NA"), ("DL1", "EU"), ("DK5", "EU"), ("G4", "EU"), ("F5", "EU"),
    ("I2", "EU"), ("EA4", "EU"), ("CT1", "EU"), ("OK1", "EU"), ("SP9", "EU"), ("UA3", "EU"), ("JA1", "AS"),
    ("UA9", "AS"), ("ZS6", "AF"), ("CN8", "AF"), ("VK2", "OC"), ("ZL1", "OC"), ("EA8", "AF"),
]
ALL_PREFIXES = [(p, "SA") for p in SA_PREFIXES] + OTHER_PREFIXES
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
SA_QTH = ["S\u00e3o Paulo", "Bogot\u00e1", "Asunci\u00f3n", "Concepci\u00f3n", "Bras\u00edlia", "Quito", "Lima"]


def make_call(rng, prefix):
    return prefix + "".join(rng.choice(LETTERS) for _ in range(rng.choice((1, 2, 2, 3, 3))))


def field(name, value):
    data = str(value)
    # ADIF lengths count bytes, and the file is UTF-8.
    return "<%s:%d>%s" % (name, len(data.encode("utf-8")), data)


def frequency(rng, band, mode):
    khz = {
        ("40m", "CW"): (7000, 7040), ("40m", "SSB"): (7060, 7200),
        ("20m", "CW"): (14000, 14060), ("20m", "SSB"): (14150, 14300),
        ("80m", "CW"): (3500, 3560), ("80m", "SSB"): (3600, 3800),
        ("15m", "CW"): (21000, 21060), ("15m", "SSB"): (21200, 21400),
    }[(band, "CW" if mode == "CW" else "SSB")]
    hz = rng.randrange(khz[0] * 1000, khz[1] * 1000, 100)
    return "%d.%06d" % (hz // 1000000, hz % 1000000)


CABRILLO_MODES = {"CW": "CW", "SSB": "PH", "RTTY": "RY", "FT8": "DG"}


def cabrillo_lines(n, when, call, mode, freq_field, rst, serial, fields):
    """The QSO as a Cabrillo line: kHz, mode code, fixed columns (tabs on a few lines); every 50th
    contact is preceded by an X-QSO line that the replay must not feed."""
    mhz = freq_field.split(">", 1)[1]
    khz = str(int(round(float(mhz) * 1000)))
    received = "---"
    for f in fields:
        if f.startswith("<SRX"):
            received = f.split(">", 1)[1]
    parts = [khz, CABRILLO_MODES[mode], when.strftime("%Y-%m-%d"), when.strftime("%H%M"), OWN_CALL, rst,
             "%03d" % serial, call, rst, received, str(n % 2)]
    if received == "---":
        parts[9:] = []  # a contact without the received number: no valid QSO line, reported and skipped
    if n % 13 == 0:
        line = "QSO:\t" + "\t".join(parts)
    else:
        line = "QSO: %5s %-2s %s %s %-13s %-3s  %-4s %-13s %-3s  %-4s %s" % tuple(parts + [""] * (11 - len(parts)))
    line = line.rstrip() + (" " if n % 17 == 0 else "")
    struck = []
    if n % 50 == 25:
        struck = ["X-QSO: %5s %-2s %s %s %-13s %-3s  %-4s %-13s %-3s  %-4s 0" %
                  (khz, CABRILLO_MODES[mode], when.strftime("%Y-%m-%d"), when.strftime("%H%M"), OWN_CALL, rst,
                   "000", "W1AW", rst, "001")]
    return struck + [line]


def country_file(qsos):
    """A CTY.DAT-format file with one entity per WPX prefix of the sample (calls match by prefix)."""
    entities = {}
    for _, call, pfx, cont, _, _, _ in qsos:
        entities.setdefault(pfx, cont)
    entities.setdefault("W1", "NA")  # W1XYZ/4 is looked up by its home call
    return "".join("Sample %s: 0: 0: %s: 0.00: 0.00: 0.0: %s:\n    %s;\n" % (p, c, p, p)
                   for p, c in sorted(entities.items()))


def main():
    parser = argparse.ArgumentParser(description="Writes the sample contest log.")
    parser.add_argument("output", nargs="?", default=str(Path(__file__).with_name("sa-tolven-sample.adi")))
    parser.add_argument("--qsos", type=int, default=0,
                        help="write this many QSOs, a few seconds apart, instead of one contest day")
    args = parser.parse_args()
    out = Path(args.output)
    cabrillo_out = out.with_suffix(".cbr")
    rng = random.Random(20260307)

    stations = [(make_call(rng, p), p, "SA") for p in SA_PREFIXES for _ in range(rng.choice((2, 3, 4)))]
    stations += [(make_call(rng, p), p, c) for p, c in OTHER_PREFIXES for _ in range(rng.choice((2, 3)))]
    # A few portable forms, whose prefix is the designator.
    stations += [("PY2/W1XYZ", "PY2", "SA"), ("CE0Y/DL2ABC", "CE0Y", "SA"), ("LU1AAA/P", "LU1", "SA"),
                 ("W1XYZ/4", "W4", "NA")]

    lines = [
        "Sample contest log for the SA-TOLVEN contest replay, written by samples/make_sample_log.py",
        field("ADIF_VER", "3.1.4") + " " + field("PROGRAMID", "make_sample_log.py"),
        field("CREATED_TIMESTAMP", "20260308 120000"),
        "<EOH>",
        "",
    ]
    qsos = []
    when = START
    serial = 0
    worked = []
    end = START + datetime.timedelta(hours=HOURS)
    while (len(qsos) < args.qsos) if args.qsos else (when < end):
        when += datetime.timedelta(seconds=rng.randrange(1, 4) if args.qsos else rng.randrange(60, 420))
        band = "40m" if (when.hour >= 21 or when.hour < 10) else rng.choice(("20m", "20m", "40m"))
        mode = rng.choice(("CW", "CW", "SSB"))
        roll = rng.random()
        if roll < 0.03:
            band = rng.choice(("80m", "15m"))
        elif roll < 0.05:
            mode = rng.choice(("FT8", "RTTY"))
        if worked and rng.random() < 0.08:
            # The same station again: a dupe when band and mode repeat, else a new slot.
            call, pfx, cont, old_band, old_mode = rng.choice(worked)
            if rng.random() < 0.6:
                band, mode = old_band, old_mode
        elif args.qsos:
            # A large log works ever new stations: repeats stay as rare as in a real contest.
            pfx, cont = rng.choice(ALL_PREFIXES)
            call = pfx + "".join(LETTERS[len(qsos) // 26 ** k % 26] for k in range(4))
        else:
            call, pfx, cont = rng.choice(stations)
        worked.append((call, pfx, cont, band, mode))
        serial += 1
        qsos.append((when, call, pfx, cont, band, mode, serial))

    cabrillo = [
        "START-OF-LOG: 3.0", "CONTEST: SA-TOLVEN", "CALLSIGN: " + OWN_CALL, "LOCATION: DX",
        "CATEGORY-OPERATOR: SINGLE-OP", "CATEGORY-ASSISTED: NON-ASSISTED", "CATEGORY-BAND: ALL",
        "CATEGORY-POWER: HIGH", "CATEGORY-MODE: MIXED", "CATEGORY-TRANSMITTER: ONE",
        "CATEGORY-OVERLAY:", "CLAIMED-SCORE: 0", "NAME: Sample Operator", "CREATED-BY: make_sample_log.py",
    ]
    for n, (when, call, pfx, cont, band, mode, serial) in enumerate(qsos):
        fields = [field("QSO_DATE", when.strftime("%Y%m%d")),
                  field("TIME_ON", when.strftime("%H%M%S") if n % 5 else when.strftime("%H%M")),
                  field("CALL", call)]
        # Bands are case-insensitive in ADIF; some loggers write them in capitals.
        fields.append(field("BAND", band.upper() if n % 7 == 0 else band))
        fields.append(field("FREQ", frequency(rng, band, mode)))
        if mode == "SSB":
            fields.append(field("MODE", "SSB"))
            fields.append(field("SUBMODE", "LSB" if band in ("40m", "80m") else "USB"))
        elif mode == "FT8":
            fields.append(field("MODE", "FT8"))
        else:
            fields.append(field("MODE", mode))
        rst = "59" if mode == "SSB" else "599"
        fields += [field("RST_SENT", rst), field("RST_RCVD", rst)]
        fields.append(field("STX_STRING" if n % 3 == 0 else "STX", "%03d" % serial))
        if n % 97 != 42:   # a few contacts without the received number
            fields.append(field("SRX_STRING" if n % 4 == 0 else "SRX", str(rng.randrange(1, 600))))
        if n % 2 == 0:     # the logger's PFX on some records; the replay derives the others
            fields.append(field("PFX", pfx))
        fields.append(field("CONT", cont))
        if cont == "SA" and n % 11 == 0:
            fields.append(field("QTH", rng.choice(SA_QTH)))
        fields.append(field("STATION_CALLSIGN", OWN_CALL))
        lines.append(" ".join(fields) + " <EOR>")
        if not args.qsos:
            cabrillo += cabrillo_lines(n, when, call, mode, fields[4], rst, serial, fields)

    with open(out, "wb") as f:
        for line in lines:
            f.write(line.encode("utf-8") + b"\r\n")
    print("%s: %d QSOs" % (out, len(qsos)), file=sys.stderr)
    if not args.qsos:
        cabrillo.append("END-OF-LOG:")
        with open(cabrillo_out, "wb") as f:
            f.write("".join(line + "\r\n" for line in cabrillo).encode("ascii"))
        with open(out.with_name("sa-tolven-cty.dat"), "wb") as f:
            f.write(country_file(qsos).encode("ascii"))
        print("%s, %s: the same QSOs" % (cabrillo_out, out.with_name("sa-tolven-cty.dat")), file=sys.stderr)


if __name__ == "__main__":
    main()
