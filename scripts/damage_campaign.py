#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Damaged copies of collection files, and what each command of a
glimra-file binary does with them.

usage: scripts/damage_campaign.py TOOL WORKDIR [--records N] [--seed S] [--flips F]

Two base files: one made by TOOL generate (N ornaments), and a second one
written through the engine's own adds (a smaller generated collection with
the first one's ornaments imported into it, then packed), so that its pages
were split and moved by ordinary writes. Every copy is damaged in one way (a
byte in the data, a zeroed 4 KiB block, a header field, the file cut short,
one bit flipped anywhere in the data), the same copies for every run with
the same seed. For each copy: check (its verdict), dump (exit code, records
printed), build and pack (each on a fresh copy: exit code, whether the bytes
changed, whether the file got shorter, and whether check finds the result
sound).

Each copy is also judged without the tool: damage_roles.py reads the base
file apart from the engine and names what every byte means; a copy in which
a byte with meaning changed ought to be rejected. The script prints one table
row per kind of damage, the copies check calls sound although they ought to
be rejected (by what changed; a record field outside every key has no second
copy, so nothing can tell), and a line per finding a user would call wrong:
  - check calls the file sound while dump cannot print every record;
  - dump exits 0 having printed fewer records than the file holds;
  - build or pack exits 0 on a file check rejects, or changes such a file;
  - build "mends" a file whose record values changed (keeping the changed
    value for good);
  - a command runs past the time limit (60 s).
"""
import argparse
import collections
import os
import random
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import damage_roles  # noqa: E402

LIMIT = 60


def run(tool, *args):
    try:
        p = subprocess.run([tool, *args], capture_output=True, timeout=LIMIT)
        return p.returncode, p.stdout, p.stderr
    except subprocess.TimeoutExpired:
        return "timeout", b"", b""


def damaged_copies(base, seed, flips):
    data = open(base, "rb").read()
    size = len(data)
    data_end = struct.unpack_from("<I", data, 6)[0]
    rnd = random.Random(seed)
    copies = []

    def patched(at, raw):
        b = bytearray(data)
        b[at:at + len(raw)] = raw
        return bytes(b)

    copies.append(("a byte in the data", patched(26392, b"Y")))  # a data record's key, in the base of seed 7
    for _ in range(40):
        at = rnd.randrange(512, data_end)
        copies.append(("a byte in the data", patched(at, bytes([rnd.randrange(256)]))))
    for _ in range(15):
        at = rnd.randrange(512, data_end) // 4096 * 4096
        copies.append(("a zeroed 4 KiB block", patched(at, bytes(4096))))
    u32 = lambda v: struct.pack("<I", v & 0xFFFFFFFF)
    header = [
        (6, u32(0)), (6, u32(0x80000000)), (6, u32(0xFFFFFFFF)), (6, u32(size + 256)),
        (10, u32(0xFFFFFFFF)), (10, u32(data_end + 256)), (10, u32(0)),
        (28, u32(-1)), (28, u32(0)), (28, u32(99999)),
        (32, bytes(480)), (32, bytes(240)), (272, bytes(240)),
        (20, bytes(4)), (24, u32(0)), (14, b"XXXX"),
    ]
    for _ in range(8):
        entry = rnd.randrange(1, 60)
        header.append((32 + 4 * entry if rnd.random() < 0.5 else 272 + 4 * entry, u32(rnd.randrange(0, 5000))))
    for at, raw in header:
        copies.append(("a header field", patched(at, raw)))
    for length in [0, 100, 511, 512, 3584] + sorted(rnd.randrange(513, size) for _ in range(12)):
        copies.append(("the file cut short", data[:length]))
    for _ in range(flips):
        at = rnd.randrange(0, data_end)
        copies.append(("one bit flipped", patched(at, bytes([data[at] ^ (1 << rnd.randrange(8))]))))
    return copies


def try_copy(tool, path, bytes_, records):
    open(path, "wb").write(bytes_)
    out = {}
    code, _, _ = run(tool, "check", path)
    out["check"] = code
    code, stdout, _ = run(tool, "dump", path)
    out["dump"] = code
    out["dumped"] = stdout.count(b'{"record":')
    for writer in ("build", "pack"):
        open(path, "wb").write(bytes_)
        code, _, _ = run(tool, writer, path)
        after = open(path, "rb").read()
        out[writer] = code
        out[writer + " changed"] = after != bytes_
        out[writer + " shortened"] = len(after) < len(bytes_)
        out[writer + " sound after"] = run(tool, "check", path)[0] == 0
    out["records"] = records
    return out


def make_bases(tool, workdir, records, seed):
    """The generated collection and one written through ordinary adds."""
    first = os.path.join(workdir, "base.GLM")
    code, _, err = run(tool, "generate", first, "--records", str(records), "--seed", str(seed))
    if code != 0:
        sys.exit("generate failed: " + err.decode())
    second = os.path.join(workdir, "written.GLM")
    csv = os.path.join(workdir, "ornaments.csv")
    steps = [("generate", second, "--records", str(records // 10), "--seed", str(seed + 1)),
             ("export", first, "--csv", csv),
             ("import", second, "--csv", csv, "--no-backup"),
             ("pack", second, "--no-backup")]
    for step in steps:
        code, _, err = run(tool, *step)
        if code != 0:
            sys.exit(" ".join(step) + " failed: " + err.decode())
    count = lambda path: run(tool, "dump", path)[1].count(b'{"record":')
    return [("generated", first, count(first)), ("written by adds", second, count(second))]


ROWS = ["copies", "check: sound", "check: damaged", "check: cannot open", "dump: all, exit 0",
        "dump: records missing, exit 0", "dump: exit non-zero", "build on rejected: refused, unchanged",
        "build on rejected: mended", "build on rejected: mended, a record value kept",
        "build on rejected: exit 0, still damaged", "build on rejected: changed, still damaged",
        "pack on rejected: refused, unchanged", "pack on rejected: exit 0", "pack on rejected: cut shorter",
        "ought to be rejected", "check: sound, ought to be rejected",
        "check: sound, ought to be rejected, a check could tell", "timeouts"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("tool")
    ap.add_argument("workdir")
    ap.add_argument("--records", type=int, default=2000)
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--flips", type=int, default=90, help="copies with one bit flipped, per base")
    ap.add_argument("--list", action="store_true", help="a line per copy as well")
    a = ap.parse_args()
    os.makedirs(a.workdir, exist_ok=True)
    rows, findings = {}, []
    passed = collections.Counter()  # (base, what changed) of copies check calls sound wrongly
    path = os.path.join(a.workdir, "copy.GLM")
    for label, base, total in make_bases(a.tool, a.workdir, a.records, a.seed):
        base_bytes = open(base, "rb").read()
        meaning = damage_roles.roles(base_bytes)
        for kind, bytes_ in damaged_copies(base, a.seed, a.flips):
            r = try_copy(a.tool, path, bytes_, total)
            changed = damage_roles.meaning_changed(base_bytes, bytes_, meaning)
            row = rows.setdefault(kind, dict.fromkeys(ROWS, 0))
            row["copies"] += 1
            rejected = r["check"] != 0
            row["check: sound"] += r["check"] == 0
            row["check: damaged"] += r["check"] == 1
            row["check: cannot open"] += r["check"] not in (0, 1)
            row["dump: all, exit 0"] += r["dump"] == 0 and r["dumped"] == total
            row["dump: records missing, exit 0"] += r["dump"] == 0 and r["dumped"] < total and len(bytes_) > 0
            row["dump: exit non-zero"] += r["dump"] != 0
            if rejected:
                mended = r["build"] == 0 and r["build sound after"]
                row["build on rejected: refused, unchanged"] += r["build"] != 0 and not r["build changed"]
                row["build on rejected: mended"] += mended
                kept = mended and any(c.startswith("data record field") for c in changed)
                row["build on rejected: mended, a record value kept"] += kept
                row["build on rejected: exit 0, still damaged"] += r["build"] == 0 and not mended
                row["build on rejected: changed, still damaged"] += r["build changed"] and not mended
                row["pack on rejected: refused, unchanged"] += r["pack"] != 0 and not r["pack changed"]
                row["pack on rejected: exit 0"] += r["pack"] == 0
                row["pack on rejected: cut shorter"] += r["pack shortened"]
                if kept:
                    findings.append(f"{label}, {kind}: build kept a changed record value ({', '.join(sorted(changed))})")
            row["ought to be rejected"] += bool(changed)
            if r["check"] == 0 and changed:
                row["check: sound, ought to be rejected"] += 1
                row["check: sound, ought to be rejected, a check could tell"] += any(
                    not any(u in c for u in damage_roles.UNDETECTABLE) for c in changed)
                for c in changed:
                    passed[(label, c)] += 1
            row["timeouts"] += "timeout" in (r["check"], r["dump"], r["build"], r["pack"])
            if a.list:
                print(f"{label}, {kind}: check {r['check']}, dump {r['dump']} ({r['dumped']}), build {r['build']}"
                      f"{' changed' if r['build changed'] else ''}, pack {r['pack']}"
                      f"{' cut' if r['pack shortened'] else ''}; changed: {', '.join(sorted(changed)) or '-'}")
            if r["check"] == 0 and len(bytes_) > 0 and (r["dump"] != 0 or r["dumped"] != total):
                findings.append(f"{label}, {kind}: check sound, dump printed {r['dumped']} of {total} (exit {r['dump']})")
    # One row per count, one column per kind of damage (and all of them).
    kinds = list(rows)
    print("| | " + " | ".join(kinds) + " | all |")
    print("|---" * (len(kinds) + 2) + "|")
    for k in ROWS:
        print(f"| {k} | " + " | ".join(str(rows[kind][k]) for kind in kinds) + f" | {sum(rows[kind][k] for kind in kinds)} |")
    print()
    print("check: sound, ought to be rejected, by what changed (a copy may count under more than one):")
    for (label, what), n in sorted(passed.items(), key=lambda item: (-item[1], item[0])):
        note = " (nothing can tell)" if any(u in what for u in damage_roles.UNDETECTABLE) else ""
        print(f"  {n:4d}  {label}: {what}{note}")
    for f in findings:
        print("finding:", f)


if __name__ == "__main__":
    main()
