#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the encoding detector's character weight list and its code tables.

Usage:
  gen_weights.py --list   [--corpus DIR] [--forms DIR] [--mapping CP932.TXT]
                          [--output codec/data/weights.tsv]
  gen_weights.py --tables [--weights codec/data/weights.tsv] [--mapping CP932.TXT]
                          [--output codec/generated/weight_tables.cpp]

Two stages, so that the tables can be rebuilt and checked from the committed
list and the mapping file alone:

--list    counts the characters of a body of Japanese text (below) and
          writes the weight list, codec/data/weights.tsv;
--tables  lays the list out three times as CodeTables (codec/code_table.h):
          sjis_weights keyed by the Shift_JIS code (half-width katakana as
          the single byte A1-DF), euc_weights by the EUC-JP code (the JIS
          row/cell arithmetic; half-width katakana 0x8E00 + byte), and
          ucs_weights by the code point that CP932.TXT gives for the
          Shift_JIS code.

The list: 1691 characters of JIS X 0208 and JIS X 0201 katakana, each with a
weight for how common it is in the text the detector is given: form values.

The body of text. Four texts, read from ../shared/data, never copied into
the project; each is counted a number of times, as if it were written out
that often (the list's header says how much of the body each makes):
  running text   the lines of ../shared/data/corpus (literature, manuals,
                 encyclopaedia) that form_text.line_held_apart does not
                 hold apart, CORPUS_COPIES times;
  form text      composed by tools/form_text.py from the name, place and
                 organization lists of ../shared/data/forms, from the rows
                 that form_text.held_apart does not hold apart (those are
                 kept for bench/data/form-values.tsv): names as written,
                 their readings in full-width katakana, hiragana and, in
                 FORM_HALFWIDTH_PERCENT furigana fields of a hundred,
                 half-width katakana; postal codes with and without 〒,
                 addresses with block numbers in ASCII, full-width and
                 kanji digits, buildings, stations, telephone numbers in
                 full-width digits; every organization once; FORM_COPIES
                 times;
  name text      every personal name of that side as written (the name
                 field, the commonest Japanese value of all), NAME_COPIES
                 times;
  everyday text  the words, phrases and subjects form_text.line_values
                 cuts from the running text's lines that are not held
                 apart (select options, labels, subjects: the short values
                 forms hold besides names and places), EVERYDAY_COPIES
                 times.
Counting. Every character is taken to its Shift_JIS code the way the
converters do (tools/gen_sjis_tables.py: JIS X 0208 first, then NEC row 13,
look-alikes such as U+301C and U+2212 folded onto the code of U+FF5E and
U+FF0D) and counted under the code point CP932.TXT gives that code.
Characters without a code are dropped.

Anchors. Thirty rows are fixed (ANCHORS): the ideographic space at the top
with the ERROR_PENALTY weight 395578, the twenty heaviest rows, the four
heaviest kanji, the heaviest half-width katakana and box-drawing
characters, three rows the detector's edge cases rely on, and U+718A at
the bottom with 100. Everything else is a "free" row.

Which characters (SHAPE): the classes and their sizes are fixed; within a
class the members are chosen by their count (below), ties going to the
lower Shift_JIS code (JIS orders each row from the common to the
rarer symbols):
  hiragana 84, katakana 84, full-width ASCII 84, half-width katakana 62
      exactly the sets listed in SHAPE;
  kanji 1274: the 1264 most frequent JIS level 1 kanji and the 10 most
      frequent level 2 kanji;
  CJK punctuation 19 of U+3000-U+303F;
  other JIS X 0208 symbols 84, per sub-class: box drawing U+2500-U+257F 19,
      mathematical (Unicode category Sm, not an arrow) 16, Greek 13,
      general punctuation U+2010-U+203B 11, geometric shapes U+25A0-U+25FF
      11, arrows U+2190-U+21FF 5, Cyrillic 2, and ⌒ ★ ☆ ♪ ￢ ￣ ￥.

Counts and fill rules. A free row weighs by its count c in the body:
  kanji, CJK punctuation, symbols, half-width katakana: c = its count;
  hiragana and katakana: c = its count; a kana the body holds fewer than
      THIN times (the small ぃぅぇぉ, ゛゜, ヾ ...) adds KANA_CROSS_SHARE of
      the same sound in the other kana script;
  full-width ASCII: the form text brings digits and the dash and, in a
      few organization names, letters; letters are ASCII typed in
      full-width mode, so c = its count + FULLWIDTH_SHARE x the running
      text's count of the ASCII character (times CORPUS_COPIES);
  box drawing (a handful in the corpus): a frame is drawn in light or
      heavy strokes alike, so the two strokes of one shape share their
      counts (─ and ━, ┌ and ┏, ...); mixed-stroke joints count their own.
Weight. w = max(FLOOR, s x c): the counts scaled by the one factor s for
which the whole list adds up to TOTAL, never below FLOOR, and held below
the ceiling of its class (the rank-20 anchor for every row, 前 for kanji,
ﾞ for half-width katakana, ━ for box drawing); what a ceiling holds back
goes to the other rows through s. So a free weight is its scaled count
wherever that is at least FLOOR, and U+718A alone weighs 100.
Rounding: every free weight is rounded down, then the rows with the
largest fractions (ties: lower code point) get one more each until the
total is exact.

Why the mix is what it is: the objective. Measured with bench/detect_accuracy
on bench/data/form-values.tsv (values never counted: 2000 name + address
pairs, 2500 forms of 3 to 8 values, 5151 organizations, 6000 everyday
values, 1500 free texts). For every code c and kind k (names, readings,
addresses, organizations, everyday values, free text, half-width values)
r(c, k) is the share of the kind's values that `sure` names in a wrong
code, measured against the kind's target t(c, k) (Shift_JIS / EUC-JP /
UTF-8): names and readings 0.3 / 2.5 / 3 %, addresses 0.3 / 1 / 1 %,
organizations, everyday values and free text 0.3 / 2 / 2.5 %, half-width
values what the list before form text was counted gives (3.31 / 33.06 /
26.45 %). Per code, the largest of r / t over the kinds is that code's
worst kind; the mix makes the three as small as it can:
  J = sum over the codes of max over the kinds of r(c, k) / t(c, k)
subject to
  - name + address pairs elected right at least 99 % in every code;
  - 値 (U+5024) heavier than ､ (3752, fixed), so that a kanji whose last
    UTF-8 byte Shift_JIS reads as a half-width letter is read as UTF-8;
  - forms of 3 to 8 values elected right 99.9 % in every code: out of
    reach together with the rule before (below), so held to no worse than
    the list before (9 of 2500 wrong in UTF-8).
The grid (FORM_COPIES, FORM_HALFWIDTH_PERCENT, NAME_COPIES,
EVERYDAY_COPIES; the running text once): per code the worst kind's r / t,
J, the most pairs and forms elected wrong in any code, the weight of 値:
  forms hw names day   Shift_JIS EUC-JP    UTF-8      J     pairs forms 値
  list before form text   3.80 nam  12.79 adr  10.88 adr  27.46  157   68
  the list before this    3.50 day   5.55 day   2.60 day  11.65   18    9  1146
   0   7    0   0         3.46 nam  12.11 adr  10.42 adr  25.99  152   74  6297
   1   7    0   0         2.00 day   1.27 day   2.13 nam   5.40   50   21  4380
   2   7    0   0         2.61 day   1.96 day   1.85 nam   6.42   41   18  3419
   4   7    0   0         2.72 day   2.79 day   1.89 day   7.40   34   13  2423
  12   7    0   0         3.67 day   5.33 day   2.51 day  11.51   16    9  1145
   1   5    0   0         2.00 day   1.29 hw    2.10 nam   5.39   51   21  4381
  12   3    0   0         3.67 day   2.68 day   2.05 day   8.40   16    8  1146
   2   7   48   0         3.39 day   1.62 day   1.76 rea   6.77    6    5  2196
   2   7   96   0         3.89 day   1.60 day   1.89 rea   7.38    1    2  1637
   2   6   72   0         3.61 day   1.52 day   1.83 rea   6.96    6    2  1874
   2   8   72   2         3.44 day   1.28 hw    1.59 rea   6.31    7    8  3541
   2   8   48   8         3.50 hw    1.40 hw    1.32 nam   6.22   35   18  6515
   3   8   72   5         2.78 day   1.30 hw    1.27 day   5.35   17   11  4719
   3  10   96   7         2.78 day   1.26 hw    1.29 day   5.33   18   11  5023
   3  10  128   6         3.22 day   1.28 hw    1.42 rea   5.91    6    8  4295
   3  10  128   7         2.94 day   1.28 hw    1.34 rea   5.56    9    8  4607  <- chosen
   3  10  128   8         2.88 hw    1.29 hw    1.28 day   5.44   12   10  4885
   3  12  128   7         2.94 day   1.27 day   1.35 day   5.57    9    8  4608
   3  10  160   7         3.33 day   1.29 hw    1.46 rea   6.08    7    8  4256
   4  10  128   7         3.00 day   1.38 day   1.39 day   5.77    8    8  4381
   2  10  128   7         3.75 hw    1.39 hw    1.39 rea   6.52   10   12  4862
   3  10  128   0         4.22 day   2.39 day   2.20 day   8.81    1    2  1286
   3  10    0   7         2.22 day   1.30 day   2.27 nam   5.79   56   22  6991
(about 600 mixes in all, on committed data made the same way; organizations
counted 0 to 2 times as often as the rest of the form text moved only the
organizations and the half-width values, so they go with it).
What the dials do. Form text lifts name and place kanji over the kana
that a UTF-8 name read out of step as EUC-JP lands on (か from 夫 E5 A4
AB): UTF-8 names, pairs and forms gain with it, but it pushes everyday
kanji out of the 1274 and makes them lighter, and its half-width readings
make the letters that EUC-JP kanji are read as by Shift_JIS heavier: the
everyday values in EUC-JP and UTF-8 lose fast (12 copies alone: J 11.5).
Name text lifts the name kanji alone, without readings or half-width
letters: pairs and forms reach 99 % and more with little form text (96
copies: 1 pair and 2 forms wrong), but it makes every other kanji lighter,
値 among them. Everyday text gives the kanji of everyday words their weight
back (値 above ､ from about 4 copies) and brings the everyday values down
in every code, and costs pairs and forms. Half-width readings in the form
text trade Shift_JIS half-width values against EUC-JP everyday values and
names. With 値 above ､ no mix reaches forms at 99.9 % (at best 7 of 2500
UTF-8 forms wrong); the chosen mix is the lowest J with pairs at 99 % and
forms no worse than before.
Box drawing stays low for the same reason as the half-width letters:
UTF-8 kanji of U+5100-U+713F read out of step as Shift_JIS land on the
box-drawing codes 849F-84BE (感 on ─, 優 on ━).

Standard library only.
"""

import argparse
import collections
import glob
import hashlib
import os
import sys
import unicodedata

import form_text
from codetable import emit, read_mapping, sjis_to_euc, write_text
from gen_sjis_tables import build_tables

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SHARED = os.path.join(ROOT, "..", "shared", "data")
DEFAULT_MAPPING = os.path.join(SHARED, "CP932.TXT")
DEFAULT_CORPUS = os.path.join(SHARED, "corpus")
DEFAULT_LIST = os.path.join(ROOT, "codec", "data", "weights.tsv")
DEFAULT_TABLES = os.path.join(ROOT, "codec", "generated", "weight_tables.cpp")

TOTAL = 6146799
FLOOR = 101  # lightest free row; the bottom anchor alone weighs 100

# Fixed rows: code point -> weight.
ANCHORS = {
    0x3000: 395578,  # ideographic space, also the error penalty
    0x306E: 150324,  # の
    0x30FC: 122124,  # ー
    0x3044: 109859,  # い
    0x3057: 102815,  # し
    0x3002: 91442,  # 。
    0x3067: 90858,  # で
    0x3001: 84908,  # 、
    0x3059: 84100,  # す
    0x306B: 83196,  # に
    0x3066: 82905,  # て
    0x306A: 77586,  # な
    0x308B: 75826,  # る
    0x3068: 70988,  # と
    0x30F3: 66550,  # ン
    0x307E: 65673,  # ま
    0x305F: 65549,  # た
    0x306F: 63876,  # は
    0xFF1A: 62256,  # ：
    0x3092: 62032,  # を, rank 20
    0x540D: 35408,  # 名
    0x65E5: 29567,  # 日
    0x7121: 22725,  # 無
    0x524D: 19063,  # 前
    0xFF9E: 8524,  # ﾞ
    0x2501: 36184,  # ━
    0x3042: 27572,  # あ
    0xFF64: 3752,  # ､
    0xFF62: 276,  # ｢
    0x718A: 100,  # 熊, the bottom
}
RANK20_WEIGHT = 62032

# Ceilings of the free rows by class: each stays below the heaviest anchor
# of its class.
CEILING = {
    "kanji-1": 19063 - 1,
    "kanji-2": 19063 - 1,
    "halfwidth-katakana": 8524 - 1,
    "box-drawing": 36184 - 1,
}
DEFAULT_CEILING = RANK20_WEIGHT - 1

# Fill rules (see the module text for the rules and why the shares are
# what they are).
THIN = 100
KANA_CROSS_SHARE = 0.05
FULLWIDTH_SHARE = 0.3
CORPUS_COPIES = 1
FORM_COPIES = 3
FORM_HALFWIDTH_PERCENT = 10
NAME_COPIES = 128
EVERYDAY_COPIES = 7
FORM_SEED = 0xF0C0
EVERYDAY_SEED = 0xDA7


def _range(first, last, but=""):
    return [u for u in range(first, last + 1) if chr(u) not in but]


# Class -> (size, members or None when chosen by count).
SHAPE = {
    "hiragana": (84, _range(0x3041, 0x3093, "ゎゐゑ") + _range(0x309B, 0x309E)),
    "katakana": (84, _range(0x30A1, 0x30F6, "ヂヅヮヰヱヵ") + _range(0x30FB, 0x30FE)),
    "kanji-1": (1264, None),
    "kanji-2": (10, None),
    "fullwidth-ascii": (84, _range(0xFF01, 0xFF5E, "＂＄＇ｂｊｑｘｚ｛｝")),
    "halfwidth-katakana": (62, _range(0xFF61, 0xFF9F, "\uFF95")),
    "cjk-punctuation": (19, None),
    "box-drawing": (19, None),
    "mathematical": (16, None),
    "greek": (13, None),
    "general-punctuation": (11, None),
    "geometric-shapes": (11, None),
    "arrows": (5, None),
    "cyrillic": (2, None),
    "named-symbol": (7, [ord(c) for c in "⌒★☆♪￢￣￥"]),
}
LIST_SIZE = 1691

# Box drawing shapes in light and heavy strokes: light, heavy.
BOX_PAIRS = ["─━", "│┃", "┌┏", "┐┓", "┘┛", "└┗", "├┣", "┬┳", "┤┫", "┴┻", "┼╋"]


def class_of(u, sjis):
    """The list class of a character with a JIS X 0208 / 0201 code, or None."""
    if sjis <= 0xFF:
        return "halfwidth-katakana"
    lead = sjis >> 8
    if 0x889F <= sjis <= 0x9872:
        return "kanji-1"
    if 0x989F <= sjis <= 0xEAA4:
        return "kanji-2"
    if lead > 0x84:
        return None  # NEC row 13, IBM extensions
    if 0x3041 <= u <= 0x309F:
        return "hiragana"
    if 0x30A0 <= u <= 0x30FF:
        return "katakana"
    if 0xFF01 <= u <= 0xFF5E:
        return "fullwidth-ascii"
    if 0x3000 <= u <= 0x303F:
        return "cjk-punctuation"
    if 0x2500 <= u <= 0x257F:
        return "box-drawing"
    if 0x0391 <= u <= 0x03C9:
        return "greek"
    if 0x0401 <= u <= 0x0451:
        return "cyrillic"
    if 0x2010 <= u <= 0x203B:
        return "general-punctuation"
    if 0x25A0 <= u <= 0x25FF:
        return "geometric-shapes"
    if 0x2190 <= u <= 0x21FF:
        return "arrows"
    if u in SHAPE["named-symbol"][1]:
        return "named-symbol"
    if unicodedata.category(chr(u)) == "Sm" and u != 0x266F:  # not the sharp sign
        return "mathematical"
    return None


class Codes:
    """The code page 932 mapping as the converters use it."""

    def __init__(self, mapping_path):
        tables = build_tables(read_mapping(mapping_path))
        self.to_sjis = tables["unicode_to_sjis_table"]  # preferred code
        self.to_unicode = dict(tables["sjis_to_unicode_table"])
        for byte in range(0xA1, 0xE0):
            self.to_unicode[byte] = 0xFF61 + byte - 0xA1

    def canonical(self, u):
        """The code point CP932.TXT gives for the character's code, or None."""
        sjis = self.to_sjis.get(u)
        return None if sjis is None else self.to_unicode[sjis]

    def keys(self, u):
        """(Shift_JIS, EUC-JP, Unicode) keys of a listed character."""
        sjis = self.to_sjis[u]
        if self.to_unicode[sjis] != u:
            raise ValueError("U+%04X is not the code point of its own code %X" % (u, sjis))
        return sjis, sjis_to_euc(sjis), u


# --- stage 1: corpus -> list ---


def count_chars(raw, codes):
    """({code point: count} of the characters with a code, {ASCII char: count},
    number of characters with a code) of a {character: count}."""
    counts = collections.Counter()
    ascii_counts = {}
    for char, n in raw.items():
        u = ord(char)
        if u < 0x80:
            ascii_counts[char] = n
            continue
        canon = codes.canonical(u)
        if canon is not None:
            counts[canon] += n
    return counts, ascii_counts, sum(counts.values())


def count_corpus(corpus_dir, codes):
    """count_chars of the running text's lines that are not held apart
    (form_text.line_held_apart), and the names of its files."""
    files = sorted(glob.glob(os.path.join(corpus_dir, "*.txt")))
    if not files:
        raise SystemExit("no *.txt in %s" % corpus_dir)
    raw = collections.Counter()
    for path in files:
        with open(path, encoding="utf-8") as f:
            for line in f:
                if not form_text.line_held_apart(line):
                    raw.update(line)
    return count_chars(raw, codes), [os.path.basename(p) for p in files]


def count_forms(vocab, codes, halfwidth_percent=None):
    """count_chars of the form text made from `vocab`, the rows not held
    apart: the names and places in forms, then every organization once."""
    if halfwidth_percent is None:
        halfwidth_percent = FORM_HALFWIDTH_PERCENT
    raw = collections.Counter()
    for value in form_text.Composer(vocab, FORM_SEED, halfwidth_percent).body():
        raw.update(value)
    for value in form_text.Composer(vocab, FORM_SEED, halfwidth_percent).organizations():
        raw.update(value)
    return count_chars(raw, codes)


def count_names(vocab, codes):
    """count_chars of the name text: every personal name of `vocab`, the rows
    not held apart, as written, once (full names without a space)."""
    raw = collections.Counter()
    for family, _, given, _ in vocab.full_names:
        raw.update(family + given)
    for written, _ in vocab.single_names:
        raw.update(written)
    return count_chars(raw, codes)


def count_everyday(corpus_dir, codes):
    """count_chars of the everyday text: the words, phrases and subjects that
    form_text.line_values cuts from every line of the running text that is
    not held apart (the measured ones come from the held-apart lines)."""
    ch = form_text.Chooser(EVERYDAY_SEED)
    raw = collections.Counter()
    for line in form_text.corpus_lines(corpus_dir):
        if not form_text.line_held_apart(line):
            for field, value in form_text.line_values(line, ch):
                if field != "free-text":
                    raw.update(value)
    return count_chars(raw, codes)


class Body:
    """The body of text the weights count: each part (name, count_chars of
    its text, copies) written out `copies` times. The first part is the
    running text, whose ASCII counts the full-width fill rule reads."""

    def __init__(self, parts):
        self.parts = parts
        _, (_, ascii_counts, _), first_copies = parts[0]
        self.ascii_counts = {c: first_copies * n for c, n in ascii_counts.items()}
        chars = {name: copies * counted[2] for name, counted, copies in parts}
        self.share = {name: n / sum(chars.values()) for name, n in chars.items()}
        self.counts = collections.Counter()
        for _, (counts, _, _), copies in parts:
            for u, n in counts.items():
                self.counts[u] += copies * n

    def describe(self, u):
        """How the body count of a character is made."""
        return " + ".join("%s %d" % (name, copies * counted[0].get(u, 0)) for name, counted, copies in self.parts)


def other_script(u):
    """The same kana sound in the other script (ぃ <-> ィ, ゝ <-> ヽ), or None."""
    if 0x3041 <= u <= 0x3096 or 0x309D <= u <= 0x309E:
        return u + 0x60
    if 0x30A1 <= u <= 0x30F6 or 0x30FD <= u <= 0x30FE:
        return u - 0x60
    return None


def fill_counts(body, codes):
    """{code point: (count used for the weight, how it was made)} for every
    character of a list class."""
    counts = body.counts
    basis = {}
    for u in sorted(set(codes.to_unicode.values())):
        sjis = codes.to_sjis.get(u)
        if sjis is None or codes.to_unicode[sjis] != u:
            continue
        cls = class_of(u, sjis)
        if cls is None:
            continue
        own = counts.get(u, 0)
        other = other_script(u)
        if other is not None and own < THIN:
            cross = counts.get(other, 0)
            basis[u] = (own + KANA_CROSS_SHARE * cross, "kana %s + %g x U+%04X %d" %
                        (body.describe(u), KANA_CROSS_SHARE, other, cross))
        elif cls == "fullwidth-ascii":
            a = body.ascii_counts.get(chr(u - 0xFEE0), 0)
            basis[u] = (own + FULLWIDTH_SHARE * a,
                        "%s + %g x corpus ASCII %d" % (body.describe(u), FULLWIDTH_SHARE, a))
        else:
            basis[u] = (own, body.describe(u))

    # Box drawing: light and heavy strokes of one shape count together.
    for pair in BOX_PAIRS:
        light, heavy = ord(pair[0]), ord(pair[1])
        total = counts.get(light, 0) + counts.get(heavy, 0)
        for u in (light, heavy):
            basis[u] = (total, "box %d + %d" % (counts.get(light, 0), counts.get(heavy, 0)))
    return basis


def choose(basis, codes):
    """{class: [code points]} by SHAPE."""
    by_class = collections.defaultdict(list)
    for u in basis:
        by_class[class_of(u, codes.to_sjis[u])].append(u)
    chosen = {}
    for cls, (size, members) in SHAPE.items():
        if members is not None:
            missing = [u for u in members if u not in basis]
            if missing:
                raise ValueError("%s: no code for %s" % (cls, missing))
            chosen[cls] = list(members)
            continue
        anchored = [u for u in by_class[cls] if u in ANCHORS]
        rest = sorted((u for u in by_class[cls] if u not in ANCHORS),
                      key=lambda u: (-basis[u][0], codes.to_sjis[u]))
        chosen[cls] = anchored + rest[:size - len(anchored)]
    for cls, (size, _) in SHAPE.items():
        if len(chosen[cls]) != size:
            raise ValueError("%s: %d characters, want %d" % (cls, len(chosen[cls]), size))
    return chosen


def scale_weights(free, ceiling_of, budget):
    """{u: real weight} = min(ceiling, max(FLOOR, s x c)) summing to budget,
    and the scale s."""

    def weights(s):
        return {u: min(ceiling_of[u], max(FLOOR, s * c)) for u, c in free.items()}

    low, high = 0.0, 1.0
    while sum(weights(high).values()) < budget:
        high *= 2
        if high > 1e9:
            raise ValueError("the free rows cannot take %d" % budget)
    if sum(weights(low).values()) > budget:
        raise ValueError("the floor alone exceeds %d" % budget)
    for _ in range(200):
        mid = (low + high) / 2
        if sum(weights(mid).values()) < budget:
            low = mid
        else:
            high = mid
    return weights(high), high


def round_weights(real, budget):
    """Rounds down, then gives the remainder to the largest fractions."""
    ints = {u: int(w) for u, w in real.items()}
    remainder = budget - sum(ints.values())
    if not 0 <= remainder <= len(ints):
        raise ValueError("rounding remainder %d out of range" % remainder)
    order = sorted(real, key=lambda u: (-(real[u] - ints[u]), u))
    for u in order[:remainder]:
        ints[u] += 1
    return ints


def build_list(body, codes):
    """[(code point, weight, class, count in the body, basis)], heaviest first."""
    basis = fill_counts(body, codes)
    chosen = choose(basis, codes)
    members = {u: cls for cls, us in chosen.items() for u in us}
    missing = [u for u in ANCHORS if u not in members]
    if missing:
        raise ValueError("anchors outside the chosen classes: %s" % missing)
    free = {u: basis[u][0] for u in members if u not in ANCHORS}
    ceiling_of = {u: CEILING.get(members[u], DEFAULT_CEILING) for u in free}
    real, _ = scale_weights(free, ceiling_of, TOTAL - sum(ANCHORS.values()))
    weights = dict(ANCHORS)
    weights.update(round_weights(real, TOTAL - sum(ANCHORS.values())))
    rows = []
    for u, w in weights.items():
        how = "fixed" if u in ANCHORS else basis[u][1]
        rows.append((u, w, members[u], body.counts.get(u, 0), how))
    rows.sort(key=lambda r: (-r[1], r[0]))
    check_list({u: w for u, w, *_ in rows}, members)
    return rows


def check_list(weights, members):
    """Fails unless the list has the required shape."""
    problems = []
    if len(weights) != LIST_SIZE:
        problems.append("%d rows" % len(weights))
    if sum(weights.values()) != TOTAL:
        problems.append("total %d" % sum(weights.values()))
    for u, w in ANCHORS.items():
        if weights.get(u) != w:
            problems.append("U+%04X weighs %s, not %d" % (u, weights.get(u), w))
    for u, w in weights.items():
        if u in ANCHORS:
            continue
        ceiling = CEILING.get(members[u], DEFAULT_CEILING)
        if not FLOOR <= w <= ceiling:
            problems.append("U+%04X weighs %d, outside %d..%d" % (u, w, FLOOR, ceiling))
    if problems:
        raise ValueError("weight list: " + "; ".join(problems))


def format_list(rows, corpus_files, body, codes):
    out = [
        "# Character weights of the encoding detector. Generated by tools/gen_weights.py --list",
        "# from the character counts of a body of text and the code page 932 mapping file. The",
        "# body, from the lines and rows not held apart: the Japanese corpus (%s)," % ", ".join(corpus_files),
        "# form text made from the name, place and organization lists, name text and everyday",
        "# text cut from the corpus lines; " + ", ".join(
            "%s %d times (%.1f%% of the characters)" % (name, copies, 100 * body.share[name])
            for name, _, copies in body.parts) + ".",
        "# The rules are in the generator. Do not edit: change the generator and run it again,",
        "# then run it with --tables.",
        "# %d characters, total weight %d, heaviest first (ties: lower code point)." % (len(rows), TOTAL),
        "# Columns: code point (as CP932.TXT gives it for the Shift_JIS code), character,",
        "# weight, Shift_JIS code, class, count in the body, what the weight was made from.",
        "codepoint\tchar\tweight\tsjis\tclass\tcount\tbasis",
    ]
    for u, w, cls, n, how in rows:
        sjis = codes.to_sjis[u]
        out.append("U+%04X\t%s\t%d\t%s\t%s\t%d\t%s" % (u, chr(u), w, ("%02X" if sjis <= 0xFF else "%04X") % sjis,
                                                       cls, n, how))
    return "\n".join(out) + "\n"


# --- stage 2: list -> tables ---


def read_list(path):
    """[(code point, weight, Shift_JIS code)] from the list file."""
    rows = []
    with open(path, encoding="utf-8") as f:
        header_seen = False
        for line in f:
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            columns = line.split("\t")
            if not header_seen:
                if columns[:4] != ["codepoint", "char", "weight", "sjis"]:
                    raise ValueError("unexpected header %r" % line)
                header_seen = True
                continue
            if not columns[0].startswith("U+"):
                raise ValueError("bad row %r" % line)
            rows.append((int(columns[0][2:], 16), int(columns[2]), int(columns[3], 16)))
    return rows


def build_tables_from_list(rows, codes):
    sjis_weights, euc_weights, ucs_weights = {}, {}, {}
    for u, w, listed_sjis in rows:
        sjis, euc, ucs = codes.keys(u)
        if sjis != listed_sjis:
            raise ValueError("U+%04X: listed as %X, the mapping gives %X" % (u, listed_sjis, sjis))
        for table, key in ((sjis_weights, sjis), (euc_weights, euc), (ucs_weights, ucs)):
            if key in table:
                raise ValueError("U+%04X: key %X twice" % (u, key))
            table[key] = w
    return {"sjis_weights": sjis_weights, "euc_weights": euc_weights, "ucs_weights": ucs_weights}


def digest_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()[:16]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    stage = parser.add_mutually_exclusive_group(required=True)
    stage.add_argument("--list", action="store_true", help="corpus -> weight list")
    stage.add_argument("--tables", action="store_true", help="weight list -> code tables")
    parser.add_argument("--corpus", default=DEFAULT_CORPUS, help="folder of the corpus *.txt files")
    parser.add_argument("--forms", default=form_text.DEFAULT_FORMS, help="folder of names.tsv and places.tsv")
    parser.add_argument("--mapping", default=DEFAULT_MAPPING, help="the code page 932 mapping file")
    parser.add_argument("--weights", default=DEFAULT_LIST, help="the weight list (input of --tables)")
    parser.add_argument("--output", help="the file to write")
    args = parser.parse_args()

    codes = Codes(args.mapping)
    if args.list:
        corpus, files = count_corpus(args.corpus, codes)
        vocab = form_text.load_vocabulary(args.forms, held=False)
        body = Body([("corpus", corpus, CORPUS_COPIES), ("forms", count_forms(vocab, codes), FORM_COPIES),
                     ("names", count_names(vocab, codes), NAME_COPIES),
                     ("everyday", count_everyday(args.corpus, codes), EVERYDAY_COPIES)])
        rows = build_list(body, codes)
        write_text(args.output or DEFAULT_LIST, format_list(rows, files, body, codes))
        return 0

    rows = read_list(args.weights)
    tables = build_tables_from_list(rows, codes)
    check_list({u: w for u, w, _ in rows}, {u: class_of(u, s) for u, _, s in rows})
    source = "codec/data/weights.tsv (sha256 %s) and CP932.TXT (sha256 %s)" % (digest_of(args.weights),
                                                                               digest_of(args.mapping))
    comments = ["", "%d characters, total weight %d; each table holds all of them, keyed by its code." %
                (len(rows), sum(w for _, w, _ in rows))]
    text = emit(tables, "tools/gen_weights.py --tables", source, "codec/weight_tables.h", "%d", comments)
    write_text(args.output or DEFAULT_TABLES, text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
