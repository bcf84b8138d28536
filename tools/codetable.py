# SPDX-License-Identifier: GPL-3.0-or-later
"""What the code table generators share: reading the code page 932 mapping
file, the JIS arithmetic between Shift_JIS and EUC-JP codes, and laying out
and writing tables in the three-level CodeTable shape of codec/code_table.h
(256 top entries x 8 middle entries x leaves of 32 values, 0 = no entry).

Used by tools/gen_sjis_tables.py and tools/gen_weights.py; standard library
only.
"""


def read_mapping(path):
    """Returns {code: unicode} for every defined code of the mapping file.

    Lines are "0xXX[XX]<TAB>0xUUUU<TAB>#NAME"; undefined single bytes and
    lead bytes have no Unicode value and are left out. LF and CR LF line ends
    are both accepted.
    """
    mapping = {}
    with open(path, "rb") as f:
        for raw in f:
            line = raw.decode("ascii").rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            columns = line.split("\t")
            code = int(columns[0], 16)
            value = columns[1].strip() if len(columns) > 1 else ""
            if not value:
                continue  # undefined single byte or lead byte
            mapping[code] = int(value, 16)
    return mapping


def group_rank(code):
    """Preference among several double-byte codes of one character: lower wins."""
    lead = code >> 8
    if 0x81 <= lead <= 0x84 or 0x88 <= lead <= 0xEA:
        return 0  # JIS X 0208
    if lead == 0x87:
        return 1  # NEC row 13
    if 0xED <= lead <= 0xEE:
        return 2  # NEC-selected IBM extensions
    if 0xFA <= lead <= 0xFC:
        return 3  # IBM extensions: never chosen while another code exists
    raise ValueError("unexpected double-byte code %04X" % code)


def jis_to_sjis(k):
    """Shift_JIS code of a two-byte EUC-JP code by the JIS row/cell arithmetic."""
    b1, b2 = k >> 8, k & 0xFF
    h = b1 >> 1
    if b1 & 1:
        s1 = h + 0x31 if h < 0x6F else h + 0x71
        s2 = b2 - 0x61 if b2 <= 0xDF else b2 - 0x60
    else:
        s1 = h + 0x30 if h <= 0x6F else h + 0x70
        s2 = b2 - 2
    return (s1 << 8) | s2


def sjis_to_euc(s):
    """EUC-JP code of a Shift_JIS code: 0x8E00 + byte for a half-width
    katakana byte (0xA1-0xDF), else the JIS row/cell arithmetic (the inverse
    of jis_to_sjis) on a double-byte code."""
    if 0xA1 <= s <= 0xDF:
        return 0x8E00 | s
    s1, s2 = s >> 8, s & 0xFF
    if not (0x81 <= s1 <= 0x9F or 0xE0 <= s1 <= 0xFC) or not (0x40 <= s2 <= 0xFC) or s2 == 0x7F:
        raise ValueError("not a Shift_JIS double-byte code: %04X" % s)
    # JIS bytes 0x21-0x7E: row + 0x20 and cell + 0x20.
    j1 = ((s1 - 0x70 if s1 <= 0x9F else s1 - 0xB0) << 1) - (1 if s2 < 0x9F else 0)
    if s2 >= 0x9F:
        j2 = s2 - 0x7E
    elif s2 >= 0x80:
        j2 = s2 - 0x20
    else:
        j2 = s2 - 0x1F
    if j1 > 0x7E:
        raise ValueError("Shift_JIS code %04X lies beyond JIS row 94" % s)
    return ((j1 | 0x80) << 8) | (j2 | 0x80)


def layout(entries):
    """Splits {code: value} into {top: {middle: leaf tuple}}."""
    blocks = {}
    for code, value in entries.items():
        if not 0 < value <= 0xFFFFFFFF or not 0 <= code <= 0xFFFF:
            raise ValueError("entry %X -> %X out of range" % (code, value))
        leaf = blocks.setdefault(code >> 8, {}).setdefault((code >> 5) & 7, [0] * 32)
        leaf[code & 0x1F] = value
    return {top: {mid: tuple(leaf) for mid, leaf in mids.items()} for top, mids in blocks.items()}


def flat_lines(name, values, description, value_format="0x%04X"):
    """The lines defining `values` (65,536 numbers of 16 bits) as a constinit
    array named `name`, indexed by the code itself, after the comment line
    `description`.

    Sixteen values a line, so that a line holds the codes 0xXXX0-0xXXXF, and
    a comment line before each run of 256 codes.
    """
    if len(values) != 0x10000:
        raise ValueError("%s has %d values, not 65,536" % (name, len(values)))
    for code, value in enumerate(values):
        if not 0 <= value <= 0xFFFF:
            raise ValueError("%s: value %X at %04X does not fit 16 bits" % (name, value, code))
    out = []
    out.append("// %s" % description)
    out.append("constinit const std::array<std::uint16_t, 0x10000> %s{{" % name)
    for block in range(0, 0x10000, 0x100):
        out.append("    // %04X-%04X" % (block, block + 0xFF))
        for row in range(block, block + 0x100, 16):
            out.append("    " + ", ".join(value_format % v for v in values[row:row + 16]) + ",")
    out.append("}};")
    return out


def emit(tables, generator, source_line, header, value_format="0x%04X", comments=(), flat=()):
    """The C++ source defining `tables` ({name: {code: value}}, in order) as
    constinit CodeTables.

    generator: the script named in the first line; source_line: what it was
    made from; header: the header the source includes; value_format: how a
    leaf value is written; comments: further comment lines after the storage
    figures; flat: (array name, values, description) triples, each a flat
    array of 65,536 16-bit values to define after the CodeTables
    (flat_lines). Identical leaves are stored once and shared by every table.
    """
    laid_out = {name: layout(entries) for name, entries in tables.items()}

    leaf_ids = {}
    for name in tables:
        for top in sorted(laid_out[name]):
            for mid in sorted(laid_out[name][top]):
                leaf_ids.setdefault(laid_out[name][top][mid], len(leaf_ids))

    out = []
    out.append("// Generated by %s from %s. Do not edit." % (generator, source_line))
    out.append("//")
    out.append("// Storage: a leaf is 32 x 4 bytes, a middle 8 pointers, a table 256 pointers.")
    for name in tables:
        tops = laid_out[name]
        refs = sum(len(m) for m in tops.values())
        out.append("// %s: %d entries, %d top entries, %d leaves." % (name, len(tables[name]), len(tops), refs))
    out.append("// %d distinct leaves in all (identical leaves are shared), %d bytes of leaves." %
               (len(leaf_ids), len(leaf_ids) * 128))
    for comment in comments:
        out.append(("// " + comment).rstrip())
    out.append('#include "%s"' % header)
    out.append("")
    out.append("namespace postori {")
    out.append("namespace {")
    out.append("")
    for leaf, index in sorted(leaf_ids.items(), key=lambda item: item[1]):
        out.append("constexpr CodeLeaf leaf_%d{{" % index)
        for row in range(0, 32, 8):
            out.append("    " + ", ".join(value_format % v for v in leaf[row:row + 8]) + ",")
        out.append("}};")
    out.append("")
    for name in tables:
        for top in sorted(laid_out[name]):
            mids = laid_out[name][top]
            slots = ", ".join("&leaf_%d" % leaf_ids[mids[m]] if m in mids else "nullptr" for m in range(8))
            out.append("constexpr CodeMiddle %s_%02X{{%s}};" % (name, top, slots))
        out.append("")
    out.append("}  // namespace")
    out.append("")
    for name in tables:
        tops = laid_out[name]
        out.append("constinit const CodeTable %s{{" % name)
        for row in range(0, 256, 4):
            cells = ["&%s_%02X" % (name, t) if t in tops else "nullptr" for t in range(row, row + 4)]
            out.append("    " + ", ".join(cells) + ",")
        out.append("}};")
        out.append("")
    for name, values, description in flat:
        out.extend(flat_lines(name, values, description))
        out.append("")
    out.append("}  // namespace postori")
    return "\n".join(out) + "\n"


def write_text(path, text):
    """Writes `text` with LF line ends."""
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
