#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What each byte of a collection file means: a reader of the file format
written apart from the engine (it shares no code with it), used by
damage_campaign.py to judge a damaged copy without asking glimra-file.

roles(data) maps every byte offset below the end of the data to a role, a
short text such as "header: lastRecordNumber", "page header: storedSize",
"data record field GL:NAME (in a key)", "page filler". A role in
WITHOUT_MEANING names bytes that no reader or writer uses; a change anywhere
else changes what the file says, and a check ought to reject it (unless, as
for a record field outside every key, nothing in the file can tell).
"""
import collections
import struct

UNIT = 256
HEADER = 512

HEADER_FIELDS = [
    (0, 4, "headerOffset"), (4, 2, "headerSize"), (6, 4, "dataEnd"), (10, 4, "pendingEnd"),
    (14, 4, "magic"), (18, 2, "reserved"), (20, 4, "lastRecordNumber"), (24, 4, "changeCount"),
    (28, 4, "rootPage"),
]

# Bytes no reader or writer of the format uses; check does not look at them
# (its help says so).
WITHOUT_MEANING = {
    "header: reserved", "header: changeCount", "header: region 0 (unused)", "page filler",
    "free space between regions", "after the end of the data",
    "character tables: multi-character part (unused)",
    "declaration: a field's display picture", "declaration: a memo's external name",
    "declaration: a key's external name", "declaration: a string field's element length",
    "declaration: a field's decimals",
}

# Meaningful, yet nothing in the file can tell a changed value from a right
# one: the format keeps no checksum, only keyed fields have a second copy (and
# a key that folds case keeps no case), and an empty file is a new one.
UNDETECTABLE = ("(in no key)", "(only its case", "a new empty file")


def u16(b, at):
    return struct.unpack_from("<H", b, at)[0]


def u32(b, at):
    return struct.unpack_from("<I", b, at)[0]


def counts(stream, at):
    """A base-128 count, low group first; returns (value, next offset)."""
    value, shift = 0, 0
    while True:
        byte = stream[at]
        value |= (byte & 0x7F) << shift
        at += 1
        if not byte & 0x80:
            return value, at
        shift += 7


def decompress(stream, expected):
    """The expanded bytes, and for each stored byte of the stream the indexes
    of the expanded bytes it makes (none for a count): a literal makes itself
    and, when a repeat follows it, the whole run."""
    out, origin, at = bytearray(), [], 0
    while len(out) < expected:
        start = at
        n, at = counts(stream, at)
        origin += [[]] * (at - start)
        for _ in range(n):
            origin.append([len(out)])
            out.append(stream[at])
            at += 1
        if len(out) >= expected:
            break
        start = at
        n, at = counts(stream, at)
        origin += [[]] * (at - start)
        origin[start - 1] = origin[start - 1] + list(range(len(out), len(out) + n))
        out += bytes([out[-1]]) * n
    return bytes(out), origin


def records_of(body):
    """The records of an expanded record stream: each (bytes, key length), and
    for each body offset (record index, offset in the record) or None for the
    framing."""
    recs, where, at = [], [], 0
    length = key_length = 0
    previous = b""
    while at < len(body):
        flags = body[at]
        where.append(None)
        at += 1
        if flags & 0x80:
            length = u16(body, at)
            where += [None, None]
            at += 2
        if flags & 0x40:
            key_length = u16(body, at)
            where += [None, None]
            at += 2
        shared = flags & 0x3F
        rest = body[at:at + length - shared]
        where += [(len(recs), shared + i) for i in range(len(rest))]
        at += len(rest)
        record = previous[:shared] + rest
        recs.append((record, key_length))
        previous = record
    return recs, where


def text_at(stream, at):
    end = stream.index(0, at)
    if end == at:
        return "", at + 2
    return stream[at:end].decode("latin-1"), end + 1


def definition_roles(stream):
    """For each byte of a definition stream, what it declares; also the
    fields (name, offset, size) and the fields used by keys."""
    role = ["declaration: header numbers"] * 10
    fields, keyed = [], set()
    at = 10
    n_fields, n_memos, n_keys = u16(stream, 4), u16(stream, 6), u16(stream, 8)

    def mark(n, what):
        nonlocal at
        role.extend([what] * n)
        at += n

    def text(what):
        _, end = text_at(stream, at)
        mark(end - at, what)

    for i in range(n_fields):
        ftype = stream[at]
        offset = u16(stream, at + 1)
        mark(3, "declaration: a field's type or offset")
        name, _ = text_at(stream, at)
        text("declaration: a field's name")
        size = u16(stream, at + 2)
        mark(8, "declaration: a field's count, size, overlay or number")
        if ftype in (10, 11):
            mark(2, "declaration: a field's decimals")
        elif ftype in (18, 19, 20):
            mark(2, "declaration: a string field's element length")
            text("declaration: a field's display picture")
        fields.append((name, offset, size))
    for _ in range(n_memos):
        text("declaration: a memo's external name")
        text("declaration: a memo's name")
        mark(4, "declaration: a memo's size or flags")
    case_kept = set()  # fields of a key that does not fold case
    for _ in range(n_keys):
        text("declaration: a key's external name")
        text("declaration: a key's name")
        flags = stream[at]
        mark(1, "declaration: a key's flags")
        components = u16(stream, at)
        mark(2, "declaration: a key's components")
        for c in range(components):
            keyed.add(u16(stream, at))
            if not flags & 0x04:
                case_kept.add(u16(stream, at))
            mark(4, "declaration: a key's components")
    return role, fields, (keyed, case_kept)


def roles(data):
    """A role for every byte offset of the file (a dict), and the highest
    table or record number in use."""
    size = len(data)
    role = {}
    for at, width, name in HEADER_FIELDS:
        for i in range(width):
            role[at + i] = "header: " + name
    for i in range(32, 512):
        entry = (i - 32) // 4 % 60
        role[i] = "header: region 0 (unused)" if entry == 0 else "header: region bounds"
    data_end = u32(data, 6)
    start = [u32(data, 32 + 4 * c) for c in range(60)]
    end = [u32(data, 272 + 4 * c) for c in range(60)]
    for at in range(HEADER, data_end):
        role[at] = "free space between regions"
    # Every page: its header, children, stream and filler; the records it holds.
    pages = []
    for c in range(1, 60):
        for unit in range(start[c], end[c], c):
            pages.append((HEADER + unit * UNIT, c))
    located = []  # (file offset, record, offset in record) for every record byte
    all_records = []
    for page, c in pages:
        names = ["pageOffset"] * 4 + ["storedSize"] * 2 + ["expandedSize"] * 2 + ["sizeBound"] * 2 + \
                ["recordCount"] * 2 + ["level"]
        for i, name in enumerate(names):
            role[page + i] = "page header: " + name
        stored, expanded, count, level = u16(data, page + 4), u16(data, page + 6), u16(data, page + 10), data[page + 12]
        head = 13 + (4 * count if level else 0)
        for i in range(13, head):
            role[page + i] = "page: child reference"
        for i in range(stored, c * UNIT):
            role[page + i] = "page filler"
        raw = data[page + head:page + stored]
        if stored < expanded:
            body, origin = decompress(raw, expanded - head)
        else:
            body, origin = raw, [[i] for i in range(len(raw))]
        recs, where = records_of(body)
        base = len(all_records)
        all_records += [(r, k, level) for r, k in recs]
        for i, made in enumerate(origin):
            at = page + head + i
            role[at] = "page: compression count" if not made else "page: record framing"
            for o in made:
                if where[o] is not None:
                    located.append((at, base + where[o][0], where[o][1]))
    # The stored declaration (the collection's table), pieced together.
    pieces = {}
    for r, k, level in all_records:
        if level == 0 and k == 7 and r[4] == 0xFA:
            pieces[struct.unpack_from("<H", r, 5)[0]] = r[k:]
    stream = b"".join(pieces[p].ljust(512, b"\0") for p in sorted(pieces))
    declaration, fields, keyed = definition_roles(stream)
    # A stored byte may make many record bytes (a literal and the run after it).
    of_records = collections.defaultdict(set)
    for at, index, offset in located:
        of_records[at].add(record_role(all_records[index], offset, declaration, fields, keyed))
    for at, found in of_records.items():
        role[at] = frozenset(found)
    for at in range(data_end, size):
        role[at] = "after the end of the data"
    highest = 0
    for r, k, level in all_records:
        if level == 0 and len(r) >= 9 and r[0] != 0xFE and r[4] in (0xF3, 0xFC):
            highest = max(highest, struct.unpack_from(">I", r, 5)[0], struct.unpack_from(">I", r, 0)[0])
    return role, highest


def record_role(record, offset, declaration, fields, keyed):
    """What byte `offset` of a record is."""
    r, k, level = record
    if level > 0:
        return "page: separator key"
    if r[0] == 0xFE:
        return "table name record"
    if len(r) == 1 and r[0] == 0xFF:
        return "transaction marker"
    if offset < 4:
        return "record key: table number"
    kind = r[4]
    if kind == 0xF3:
        if offset < k:
            return "data record: its number"
        image = offset - k
        named = [fields.index(f) for f in fields if f[1] <= image < f[1] + f[2]]
        in_keys, case_kept = keyed
        where = " (in no key)"
        if any(f in in_keys for f in named):
            where = " (in a key)" if any(f in case_kept for f in named) else " (in keys that fold case)"
        return "data record field " + (fields[named[-1]][0] if named else "(none)") + where
    if kind == 0xF6:
        return "counter record"
    if kind == 0xFA:
        if offset < k:
            return "declaration piece: its key"
        i = struct.unpack_from("<H", r, 5)[0] * 512 + offset - k
        return declaration[i] if i < len(declaration) else "declaration: after its end"
    if kind == 0xFB:
        parts = ["windows weights", "OEM weights", "upper-case map", "character classes",
                 "multi-character part (unused)"]
        p = offset - k
        return "character tables: " + ("its key" if p < 0 else "OEM flag" if p == 0 else parts[min((p - 1) // 256, 4)])
    if kind == 0xFC:
        return "memo piece"
    if kind <= 0xF2:
        return "key entry"
    return "record of unknown kind"


def possible_ends(header, size):
    """Whether a header's end of data and pending end describe a state the
    engine can be in: a commit cut short may leave the end of data above the
    pages and a pending area that the next write completes or drops."""
    data_end, pending_end = u32(header, 6), u32(header, 10)
    pages_end = HEADER + UNIT * max([u32(header, 272 + 4 * c) for c in range(1, 60)
                                     if u32(header, 272 + 4 * c) > u32(header, 32 + 4 * c)] or [0])
    return pages_end <= data_end <= size and (data_end - HEADER) % UNIT == 0 and data_end <= pending_end <= size


def meaningful(r, damaged, highest, was, now):
    """{r} when a change of a byte of role r (from `was` to `now`) changes what
    the file says."""
    if r.endswith("(in keys that fold case)"):
        letters = all(chr(c).isalpha() for c in (was, now)) and was ^ now == 0x20
        return {r.replace("(in keys that fold case)", "(only its case, in keys that fold case)" if letters
                          else "(in a key)")}
    if r == "header: lastRecordNumber":
        new = struct.unpack_from(">I", damaged, 20)[0]
        if highest <= new < 0xFDFFFFFF:
            return set()  # another number that leaves room only skips numbers
    if r in ("header: dataEnd", "header: pendingEnd") and len(damaged) >= HEADER and \
            possible_ends(damaged[:HEADER], len(damaged)):
        return set()
    return set() if r in WITHOUT_MEANING else {r}


def meaning_changed(base, damaged, roles_and_highest):
    """The roles of the bytes whose value changed (for a cut: the cut
    itself), leaving out the ones that carry no meaning."""
    role_of, highest = roles_and_highest
    changed = set()
    if len(damaged) < len(base):
        if len(damaged) == 0:
            return {"the whole file cut away (a new empty file)"}
        if len(damaged) < u32(base, 6):
            changed.add("the file cut short before the end of its data")
    for at in range(min(len(base), len(damaged))):
        if base[at] != damaged[at]:
            found = role_of.get(at, "after the end of the data")
            for r in (found if isinstance(found, frozenset) else (found,)):
                changed |= meaningful(r, damaged, highest, base[at], damaged[at])
    return changed
