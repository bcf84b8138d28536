#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Generates codec/generated/sjis_tables.cpp from the code page 932 mapping file.

Usage: gen_sjis_tables.py [--mapping CP932.TXT] [--output FILE]

The mapping file is the one Unicode publishes for code page 932 ("cp932 to
Unicode table", table version 2.01); it is read, never copied into the
project. Three tables come out of it, all in the three-level CodeTable shape
(256 top entries x 8 middle entries x leaves of 32 values, 0 = no entry):

unicode_to_sjis_table   UTF-16 unit -> Shift_JIS code
  - U+FF61-U+FF9F -> the single bytes 0xA1-0xDF;
  - every character the file maps from a double-byte code -> that code; a
    character with several codes takes the one from the first group of:
    JIS X 0208 (lead 0x81-0x84, 0x88-0xEA), NEC row 13 (lead 0x87),
    NEC-selected IBM extensions (lead 0xED-0xEE); IBM extension codes
    (lead 0xFA-0xFC) are never chosen;
  - seven characters the file does not list, each mapped to the code of its
    look-alike (EXTRA_ENTRIES);
  - nothing below U+0080 and nothing for the user-defined area.

euc_ibm_to_sjis_table   EUC-JP code of JIS rows 89-92 -> IBM extension code
  - key k = b1 x 256 + b2, b1 in 0xF9-0xFC, b2 in 0xA1-0xFE; s = the
    Shift_JIS code the JIS arithmetic gives for k (0xED40-0xEEFC); when the
    file defines s, the value is the IBM extension code of the same
    character; keys 0xFCEF and 0xFCF0 (s undefined) and 0xFCFB have none.

sjis_to_unicode_table   Shift_JIS double-byte code -> Unicode character
  - every double-byte code of the file, for decoding texts for display.

Identical leaves are stored once and shared by every table that needs them.

unicode_to_sjis_table comes out a second time, flattened for the converters'
hot path: sjis_bytes_of_unit, an array of 65,536 16-bit values indexed by the
UTF-16 unit, each the Shift_JIS bytes of the unit ready to store (see
sjis_bytes_of_units). It follows the three tables in the same file.
"""

import argparse
import hashlib
import os
import sys

from codetable import emit, group_rank, jis_to_sjis, read_mapping, write_text

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEFAULT_MAPPING = os.path.join(ROOT, "..", "shared", "data", "CP932.TXT")
DEFAULT_OUTPUT = os.path.join(ROOT, "codec", "generated", "sjis_tables.cpp")

# Characters outside the mapping file, each given the code that the file
# gives to the character it is confused with.
EXTRA_ENTRIES = [
    (0x00A2, 0x8191),  # CENT SIGN -> as U+FFE0
    (0x00A3, 0x8192),  # POUND SIGN -> as U+FFE1
    (0x00AC, 0x81CA),  # NOT SIGN -> as U+FFE2
    (0x2014, 0x815C),  # EM DASH -> as U+2015
    (0x2016, 0x8161),  # DOUBLE VERTICAL LINE -> as U+2225
    (0x2212, 0x817C),  # MINUS SIGN -> as U+FF0D
    (0x301C, 0x8160),  # WAVE DASH -> as U+FF5E
]

# The sjis_bytes_of_unit value of a unit without a code: the one byte 0xFF,
# which no unit becomes (codec/sjis_tables.h, SJIS_BYTES_NONE).
SJIS_BYTES_NONE = 0x00FF

# EUC-JP keys of rows 89-92 that get no entry although their code exists.
EUC_IBM_EXCLUDED = {0xFCFB}


def build_tables(mapping):
    double = {code: u for code, u in mapping.items() if code > 0xFF}

    unicode_to_sjis = {}
    for u in range(0xFF61, 0xFFA0):
        unicode_to_sjis[u] = u - 0xFF61 + 0xA1
    codes_of = {}
    for code, u in double.items():
        codes_of.setdefault(u, []).append(code)
    for u, codes in codes_of.items():
        best = min(codes, key=lambda c: (group_rank(c), c))
        if group_rank(best) == 3:
            raise ValueError("U+%04X has only an IBM extension code" % u)
        ranks = sorted(group_rank(c) for c in codes)
        if len(ranks) > 1 and ranks[0] == ranks[1]:
            raise ValueError("U+%04X has two codes in one group: %s" % (u, codes))
        unicode_to_sjis[u] = best
    for u, code in EXTRA_ENTRIES:
        if u in unicode_to_sjis:
            raise ValueError("extra entry U+%04X is already mapped" % u)
        unicode_to_sjis[u] = code
    for u in list(unicode_to_sjis):
        if u < 0x80 or 0xE000 <= u <= 0xF8FF:
            raise ValueError("U+%04X must not be in the table" % u)

    ibm_code_of = {u: c for c, u in double.items() if group_rank(c) == 3}
    euc_ibm_to_sjis = {}
    for b1 in range(0xF9, 0xFD):
        for b2 in range(0xA1, 0xFF):
            k = (b1 << 8) | b2
            s = jis_to_sjis(k)
            if k in EUC_IBM_EXCLUDED or s not in double:
                continue
            euc_ibm_to_sjis[k] = ibm_code_of[double[s]]

    return {
        "unicode_to_sjis_table": unicode_to_sjis,
        "euc_ibm_to_sjis_table": euc_ibm_to_sjis,
        "sjis_to_unicode_table": double,
    }


def sjis_bytes_of_units(unicode_to_sjis):
    """The 65,536 values of sjis_bytes_of_unit: for each UTF-16 unit, the
    bytes it becomes as a little-endian number (first byte | second byte <<
    8): U+0000-U+007F themselves (one byte), a one-byte code as the byte, a
    two-byte code lead | trail << 8 (trail 0x40 or more, so the value is above
    0xFF), and SJIS_BYTES_NONE for a unit without a code."""
    values = [SJIS_BYTES_NONE] * 0x10000
    for u in range(0x80):
        values[u] = u
    for u, code in unicode_to_sjis.items():
        if u < 0x80:
            raise ValueError("U+%04X must not be in the table" % u)
        if code <= 0xFF:
            if code == SJIS_BYTES_NONE:
                raise ValueError("U+%04X maps to the byte that marks no entry" % u)
            values[u] = code
        else:
            lead, trail = code >> 8, code & 0xFF
            if trail < 0x40:
                raise ValueError("U+%04X -> %04X: the trail byte is below 0x40" % (u, code))
            values[u] = lead | (trail << 8)
    return values


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mapping", default=DEFAULT_MAPPING, help="the code page 932 mapping file")
    parser.add_argument("--output", default=DEFAULT_OUTPUT, help="the C++ file to write")
    args = parser.parse_args()

    with open(args.mapping, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    tables = build_tables(read_mapping(args.mapping))
    text = emit(tables, "tools/gen_sjis_tables.py", "CP932.TXT (cp932 to Unicode table 2.01, sha256 %s)" % digest[:16],
                "codec/sjis_tables.h",
                flat=[("sjis_bytes_of_unit", sjis_bytes_of_units(tables["unicode_to_sjis_table"]),
                       "What every UTF-16 unit becomes: the Shift_JIS bytes as a little-endian number, "
                       "0x%04X = no code." % SJIS_BYTES_NONE)])
    write_text(args.output, text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
