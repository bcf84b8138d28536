# SPDX-License-Identifier: GPL-3.0-or-later
"""The words people type into Japanese web forms, and the shapes they take.

Reads the name, place and organization lists of ../shared/data/forms
(names.tsv, places.tsv, organizations.tsv: reading in hiragana, form as
written, source list) and composes from them the values of forms: personal
names as written and as read (furigana fields), postal codes, postal
addresses, buildings and stations, names of companies, schools and offices,
with the ASCII-only values (telephone, e-mail) that forms hold beside them.
Cuts from the lines of the running text (../shared/data/corpus) the other
values forms hold: short everyday values and longer free text
(everyday_values).

Used twice, with the rows and lines split by fixed rules (held_apart,
line_held_apart) so that what is measured was never counted:
  tools/gen_weights.py --list      counts form text made from the rows that
                                   are not held apart, and the lines of the
                                   running text that are not held apart;
  tools/gen_form_values.py         writes bench/data/form-values.tsv, the
                                   values bench/detect_accuracy judges, made
                                   from the held-apart rows and lines only.

Every choice comes from a seeded splitmix64 generator written out here, so
the output is the same on every Python 3 and every machine.

The shapes (what a value looks like; the words are all from the lists,
the frame around them is written here):
  name            family and given name joined by nothing (4 in 10), an
                  ASCII space (3 in 10) or U+3000 (3 in 10); full names are
                  split where a family and a given name of the name list
                  spell them with their readings (others are left out);
  family, given   the two apart, as forms that ask for them apart get them;
  name reading    a furigana field: half-width katakana in
                  `halfwidth_percent` fields of a hundred, else full-width
                  katakana (7 in 10) or hiragana; family and given name
                  joined by nothing, a space or U+3000 (half-width: an
                  ASCII space), or in two fields when the name is;
  postal code     3 + 4 digits: 〒 and ASCII digits (5 in 10), ASCII digits
                  alone (3 in 10, an ASCII-only value), full-width digits
                  with or without 〒;
  address         prefecture (8 in 10; all 47 on both sides of the split,
                  see Vocabulary), city or ward (7 in 10) or county
                  and town, district, then the block number: 1-2-3 or
                  １－２－３ (now and then with the long-vowel mark ー typed
                  for the dash), 1丁目2番3号 in ASCII or full-width digits,
                  三丁目4-5, 123番地, １２３番地の４; the block now and then
                  apart by a space; a building and its room in 3 addresses
                  of 10;
  building        a district or station name, one of ハイツ, マンション,
                  ビル, コーポ, 荘, レジデンス, a room number (ASCII or
                  full-width, now and then with 号室): 浅根ハイツ 217;
  address reading the reading of prefecture, city and district in katakana
                  (half-width as often as name readings);
  station         a station name, with or without 駅;
  telephone       ASCII (7 in 10, an ASCII-only value) or full-width digits;
  e-mail          ASCII letters and digits (an ASCII-only value);
  organization    a row of organizations.tsv as written (6 in 10: the
                  legal form apart by U+3000 where the list has it), with
                  those spaces dropped (3 in 10) or typed as an ASCII space
                  (1 in 10).
Forms: a pair is a name and an address; a form holds 3 to 8 values (see
Composer.form).

Everyday values and free text (everyday_values), from the held-apart lines
of the running text's files whose licences allow them to be written out
(EXCERPT_FILES), stripped of spaces at both ends; from each line, with
the choices of a seeded Chooser:
  word      a run of kanji (with 々, 〆, ヶ) or of katakana (with ー) of 1
            to 12 characters: a label, a select option, a keyword;
  phrase    a piece between punctuation or spaces (、。，．・「」『』（）
            ！？：；, ASCII punctuation) of 2 to 12 characters with one that
            is not ASCII: a select option, a short answer;
  subject   the line up to its first 、。！？, without quotation marks at
            its ends, cut at 12 characters: the subject line of a message;
  free-text the line cut at FREE_TEXT_MAX characters, from 13 characters
            on: the text of a message.
Only values that code page 932 can hold are taken.
"""

import glob
import hashlib
import os
import re
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FORMS = os.path.join(os.path.dirname(HERE), "..", "shared", "data", "forms")
DEFAULT_CORPUS = os.path.join(os.path.dirname(HERE), "..", "shared", "data", "corpus")

# A row is held apart when the first byte of the SHA-256 of its written form
# (UTF-8) is divisible by HELD_APART_DIVISOR: about one row in five. Keyed on
# the written form, so one form under several readings, or in both lists,
# always falls on the same side.
HELD_APART_DIVISOR = 5


def held_apart(written):
    """True when the row of this written form is kept out of the weights."""
    return hashlib.sha256(written.encode("utf-8")).digest()[0] % HELD_APART_DIVISOR == 0


# A line of the running text is held apart when the first two bytes of the
# SHA-256 of the line (UTF-8, without its line end), read as a big-endian
# number, are divisible by LINE_HELD_APART_DIVISOR: one line in fifty. Keyed
# on the text, so a line that occurs twice falls on one side.
LINE_HELD_APART_DIVISOR = 50


def line_held_apart(line):
    """True when this line of the running text is kept out of the weights."""
    digest = hashlib.sha256(line.rstrip("\r\n").encode("utf-8")).digest()
    return int.from_bytes(digest[:2], "big") % LINE_HELD_APART_DIVISOR == 0


class Chooser:
    """splitmix64: the same numbers from the same seed on every Python."""

    MASK = (1 << 64) - 1

    def __init__(self, seed):
        self.state = seed & self.MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & self.MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & self.MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & self.MASK
        return z ^ (z >> 31)

    def below(self, n):
        """An integer 0 <= k < n (n is far below 2^64, so the bias is nil)."""
        return self.next() % n

    def chance(self, tenths):
        """True tenths times in ten."""
        return self.below(10) < tenths

    def pick(self, items):
        return items[self.below(len(items))]

    def number(self, low, high):
        return low + self.below(high - low + 1)


# --- the lists ---

# What a written form may hold: kana (with ー, ゝ and ヽ), kanji (with 々 and
# the compatibility ideographs such as 﨑). Rows with Latin letters, digits,
# the middle dot or described characters (●（...）) are left out.
WRITTEN = re.compile("^[\u3041-\u3096\u309D\u309E\u30A1-\u30FA\u30FC-\u30FE\u3005\u4E00-\u9FFF\uF900-\uFAFF]+$")
READING = re.compile("^[\u3041-\u3096\u30FC]+$")


def list_cells(path):
    """The cells of each row of a list file (reading, written, ...), after
    checking its header."""
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        if header[:2] != ["reading", "written"]:
            raise ValueError("%s: unexpected header %r" % (path, header))
        for line in f:
            yield line.rstrip("\n").split("\t")


def read_rows(path):
    """[(reading, written, source list)] of one list file, usable rows only."""
    return [
        (cells[0], cells[1], cells[2])
        for cells in list_cells(path)
        if WRITTEN.match(cells[1]) and READING.match(cells[0])
    ]


def read_organizations(path):
    """[written] of organizations.tsv: every row (the list holds only names
    that code page 932 can hold; Latin letters and digits are part of many)."""
    return [cells[1] for cells in list_cells(path) if cells[1]]


def load_vocabulary(forms_dir, held):
    """The Vocabulary of the held-apart rows (held) or of the others."""
    names = read_rows(os.path.join(forms_dir, "names.tsv"))
    places = read_rows(os.path.join(forms_dir, "places.tsv"))
    organizations = read_organizations(os.path.join(forms_dir, "organizations.tsv"))
    return Vocabulary(names, places, lambda written: held_apart(written) == held, organizations)


class Vocabulary:
    """The rows of one side of the split, sorted into what forms use them for.
    `names`, `places`: all rows, (reading, written, source list); `side_of`:
    whether the row of a written form belongs to this side; `organizations`:
    the written forms of organizations.tsv."""

    def __init__(self, names, places, side_of, organizations=()):
        # Where a full name splits into family and given name is read off
        # the whole name list, both sides: it says where the space goes and
        # nothing about weights.
        single = {}
        for reading, written, source in names:
            if source != "fullname":
                single.setdefault(written, set()).add(reading)

        def side(rows):
            return [r for r in rows if side_of(r[1])]

        self.full_names = []  # (family, family reading, given, given reading)
        self.single_names = []  # (written, reading)
        for reading, written, source in side(names):
            if source != "fullname":
                self.single_names.append((written, reading))
                continue
            splits = []
            for cut in range(1, len(written)):
                family, given = written[:cut], written[cut:]
                for family_reading in sorted(single.get(family, ())):
                    rest = reading[len(family_reading):]
                    if reading.startswith(family_reading) and rest in single.get(given, ()):
                        splits.append((family, family_reading, given, rest))
            if len(splits) == 1:
                self.full_names.append(splits[0])

        # Prefectures: the longest row ending in 都, 道, 府 or 県 that begins
        # at least five rows of a city or county in that prefecture.
        all_written = {(w, r) for r, w, _ in places}
        written_set = {w for w, _ in all_written}
        starts = {}
        for written, _ in all_written:
            if not re.search("[市郡]$", written):
                continue
            for cut in (4, 3):
                head = written[:cut]
                if len(written) > cut and head[-1] in "都道府県" and head in written_set:
                    starts[head] = starts.get(head, 0) + 1
                    break
        prefecture_names = {p for p, n in starts.items() if n >= 5}

        # The prefectures are a closed set of 47 that every address form
        # holds: both sides use all of them (held apart, the few that fall
        # on the held-apart side would be the only ones measured, and never
        # counted).
        self.prefectures = [(w, r) for r, w, source in places if w in prefecture_names and source != "station"]
        self.cities, self.counties, self.towns = [], [], []
        self.districts, self.stations = [], []
        for reading, written, source in side(places):
            if source == "station":
                self.stations.append((written, reading))
            elif written in prefecture_names:
                continue
            elif any(written.startswith(p) and written != p for p in prefecture_names):
                continue  # a prefecture and its city in one row: the parts are there apart
            elif written.endswith(("市", "区")) and reading.endswith(("し", "く")):
                self.cities.append((written, reading))
            elif written.endswith("郡") and reading.endswith("ぐん"):
                self.counties.append((written, reading))
            elif "郡" in written:
                continue  # a county and its town in one row: the parts are there apart
            elif written.endswith(("町", "村")) and reading.endswith(("ちょう", "まち", "むら", "そん")):
                self.towns.append((written, reading))
                self.districts.append((written, reading))
            else:
                self.districts.append((written, reading))
        for name in ("full_names", "single_names", "prefectures", "cities", "counties", "towns", "districts",
                     "stations"):
            items = getattr(self, name)
            if not items:
                raise ValueError("no %s on this side of the split" % name.replace("_", " "))
            # One order whatever the order of the file.
            setattr(self, name, sorted(set(items)))
        self.organizations = sorted({w for w in organizations if side_of(w)})


# --- scripts ---


def katakana(hiragana):
    return "".join(chr(ord(c) + 0x60) if "\u3041" <= c <= "\u3096" or c in "ゝゞ" else c for c in hiragana)


def _halfwidth_table():
    """{full-width katakana: its half-width spelling}, voiced sounds with ﾞ and ﾟ."""
    table = {}
    for u in range(0xFF61, 0xFFA0):
        full = unicodedata.normalize("NFKC", chr(u))
        if len(full) == 1 and full not in table:
            table[full] = chr(u)
    for u in range(0x30A1, 0x30FB):
        c = chr(u)
        if c in table:
            continue
        base, *marks = unicodedata.normalize("NFD", c)
        if base in table and marks:
            table[c] = table[base] + {"\u3099": "ﾞ", "\u309A": "ﾟ"}[marks[0]]
    # The small kana without a half-width letter of their own.
    table.update({"ヮ": "ﾜ", "ヵ": "ｶ", "ヶ": "ｹ", "　": " "})
    return table


HALFWIDTH = _halfwidth_table()


def halfwidth(text):
    return "".join(HALFWIDTH.get(c, c) for c in text)


FULLWIDTH_DIGITS = str.maketrans("0123456789-", "０１２３４５６７８９－")
KANJI_DIGITS = "〇一二三四五六七八九"


def fullwidth(text):
    return text.translate(FULLWIDTH_DIGITS)


def kanji_number(n):
    """1-99 in kanji numerals: 三, 十二, 二十五."""
    tens, ones = divmod(n, 10)
    head = "" if tens == 0 else ("十" if tens == 1 else KANJI_DIGITS[tens] + "十")
    return head + (KANJI_DIGITS[ones] if ones else "")


# --- values ---

BUILDING_KINDS = ["ハイツ", "マンション", "ビル", "コーポ", "荘", "レジデンス"]


class Composer:
    """Composes form values from one side's vocabulary. `halfwidth_percent`:
    how many furigana fields in a hundred are typed in half-width katakana."""

    def __init__(self, vocab, seed, halfwidth_percent):
        self.vocab = vocab
        self.ch = Chooser(seed)
        self.halfwidth_percent = halfwidth_percent

    def name(self, name):
        family, _, given, _ = name
        return family + self.ch.pick(["", "", "", "", " ", " ", " ", "\u3000", "\u3000", "\u3000"]) + given

    def reading_script(self):
        """(field, how to write a hiragana reading) of one furigana field."""
        if self.ch.below(100) < self.halfwidth_percent:
            return "name-halfwidth", lambda text: halfwidth(katakana(text))
        if self.ch.chance(7):
            return "name-katakana", katakana
        return "name-hiragana", lambda text: text

    def readings(self, name, separate):
        """The furigana of a name: one field, or family and given apart."""
        _, family_reading, _, given_reading = name
        field, script = self.reading_script()
        if separate:
            return [(field, script(family_reading)), (field, script(given_reading))]
        return [(field, script(family_reading + self.ch.pick(["", " ", "\u3000"]) + given_reading))]

    def postal(self):
        code = "%03d-%04d" % (self.ch.number(1, 999), self.ch.below(10000))
        roll = self.ch.below(10)
        if roll < 5:
            return "postal", "〒" + code
        if roll < 8:
            return "postal-ascii", code
        return "postal", ("〒" if roll < 9 else "") + fullwidth(code)

    def block(self):
        ch = self.ch
        a, b, c = ch.number(1, 9), ch.number(1, 30), ch.number(1, 40)
        roll = ch.below(20)
        if roll < 6:
            return "%d-%d-%d" % (a, b, c)
        if roll < 11:
            return fullwidth("%d-%d-%d" % (a, b, c))
        if roll < 12:
            return fullwidth("%d-%d-%d" % (a, b, c)).replace("－", "ー")
        if roll < 14:
            return "%d丁目%d番%d号" % (a, b, c)
        if roll < 16:
            return fullwidth("%d丁目%d番%d号" % (a, b, c))
        if roll < 17:
            return "%s丁目%d-%d" % (kanji_number(a), b, c)
        if roll < 19:
            return "%d番地" % ch.number(1, 2500)
        return fullwidth("%d番地の%d" % (ch.number(1, 2500), ch.number(1, 20)))

    def building(self):
        ch = self.ch
        place, _ = ch.pick(self.vocab.districts if ch.chance(7) else self.vocab.stations)
        place = place[:-1] if place.endswith("駅") else place
        room = "%d%02d" % (ch.number(1, 12), ch.number(1, 20))
        if ch.chance(5):
            room = fullwidth(room)
        kind, space = ch.pick(BUILDING_KINDS), ch.pick([" ", "\u3000", ""])
        return place + kind + space + room + ("号室" if ch.chance(4) else "")

    def municipality(self):
        """(written, reading) of a city or ward, or of a county and town."""
        if self.ch.chance(7):
            return self.ch.pick(self.vocab.cities)
        county, county_reading = self.ch.pick(self.vocab.counties)
        town, town_reading = self.ch.pick(self.vocab.towns)
        return county + town, county_reading + town_reading

    def address_parts(self, district=None):
        """(prefecture, municipality, district), each (written, reading)."""
        return (self.ch.pick(self.vocab.prefectures), self.municipality(),
                district or self.ch.pick(self.vocab.districts))

    def address(self, parts):
        ch = self.ch
        prefecture, city, district = parts
        text = (prefecture[0] if ch.chance(8) else "") + city[0] + district[0]
        text += ch.pick(["", "", "", " ", "\u3000"]) + self.block()
        if ch.chance(3):
            text += ch.pick([" ", "\u3000", ""]) + self.building()
        return "address", text

    def address_reading(self, parts):
        text = katakana("".join(p[1] for p in parts))
        if self.ch.below(100) < self.halfwidth_percent:
            return "address-halfwidth", halfwidth(text)
        return "address-katakana", text

    def station(self):
        written, _ = self.ch.pick(self.vocab.stations)
        if not written.endswith("駅") and self.ch.chance(5):
            written += "駅"
        return "station", written

    def telephone(self):
        number = "0%d-%04d-%04d" % (self.ch.pick([3, 6, 45, 90, 80, 70]), self.ch.below(10000),
                                    self.ch.below(10000))
        if self.ch.chance(7):
            return "telephone-ascii", number
        return "telephone", fullwidth(number)

    def email(self):
        letters = "abcdefghijklmnopqrstuvwxyz"
        user = "".join(letters[self.ch.below(26)] for _ in range(self.ch.number(3, 10)))
        return "email-ascii", "%s%d@example.%s" % (user, self.ch.below(1000),
                                                   self.ch.pick(["jp", "com", "co.jp", "ne.jp"]))

    def organization(self, written=None):
        """A company, school or office name (the given one, or one picked)."""
        ch = self.ch
        written = written or ch.pick(self.vocab.organizations)
        roll = ch.below(10)
        if roll < 6:
            return "organization", written
        return "organization", written.replace("\u3000", "" if roll < 9 else " ")

    def pair(self, name, district=None):
        """A name and a postal address: the commonest form of all."""
        return [("name", self.name(name)), self.address(self.address_parts(district))]

    def form(self, name, district=None):
        """3 to 8 values in the order forms send them: the name (one field, or
        family and given apart), then what forms ask besides it. Every form
        holds the e-mail address (ASCII-only) and, besides the name, at least
        one more Japanese value: its reading or the address. (A form whose
        only Japanese value is a name is one value, measured as such.) A
        form asked for with a district keeps its address as that value."""
        ch = self.ch
        size = ch.number(3, 8)
        separate = size > 3 and ch.chance(2)
        family, _, given, _ = name
        names = [("family", family), ("given", given)] if separate else [("name", self.name(name))]
        parts = self.address_parts(district)
        fields = names + self.readings(name, separate) + [self.postal(), self.address(parts)]
        if ch.chance(2):
            fields.append(self.address_reading(parts))
        fields += [self.telephone(), self.email()]
        if ch.chance(2):
            fields.append(self.station())
        while len(fields) < size:
            fields.append(self.telephone())  # a second number: mobile, fax
        second = [k for k, (field, _) in enumerate(fields)
                  if field == "address" or (district is None and field.startswith("name-"))]
        kept = set(range(len(names))) | {ch.pick(second)}
        kept |= {k for k, (field, _) in enumerate(fields) if field == "email-ascii"}
        others = [k for k in range(len(fields)) if k not in kept]
        while len(kept) + len(others) > size:
            others.pop(ch.below(len(others)))
        return [fields[k] for k in sorted(kept | set(others))]

    def body(self):
        """The form text of the weight corpus, in forms composed as the
        measured ones are: a pair and a form of 3 to 8 values in turn, each
        with the next full name and the next district, until every full name
        and every district was in one; then every single name with its
        reading. Prefectures, cities, counties, towns, stations and buildings
        come in as the addresses and forms pick them."""
        vocab = self.vocab
        names, districts = vocab.full_names, vocab.districts
        for k in range(max(len(names), len(districts))):
            name, district = names[k % len(names)], districts[k % len(districts)]
            values = self.form(name, district) if k % 2 else self.pair(name, district)
            for _, value in values:
                yield value
        for written, reading in vocab.single_names:
            yield written
            yield self.reading_script()[1](reading)

    def organizations(self):
        """The organization text of the weight corpus: every organization
        once, in the shapes of `organization`."""
        for written in self.vocab.organizations:
            yield self.organization(written)[1]


# --- everyday values and free text, from the running text ---

FREE_TEXT_MIN = 13
FREE_TEXT_MAX = 120
EVERYDAY_MAX = 12
# A run of kanji or a run of katakana.
WORD_RUN = re.compile("[\u3005\u3006\u30F6\u4E00-\u9FFF\uF900-\uFAFF]+|[\u30A1-\u30FA\u30FC]+")
PHRASE_BREAK = re.compile("[\s\u3000、。，．・「」『』（）！？：；!-/:-@\[-`{-~]+")


def cp932_holds(text):
    try:
        text.encode("cp932")
    except UnicodeEncodeError:
        return False
    return True


def line_values(line, ch):
    """[(field, value)] cut from one line of the running text (see the module
    text); the choices from the Chooser `ch`."""
    line = line.strip(" \t\r\n\u3000")
    if not line or line.isascii():
        return []
    values = []
    words = [w for w in WORD_RUN.findall(line) if len(w) <= EVERYDAY_MAX]
    if words:
        values.append(("word", ch.pick(words)))
    phrases = [p for p in PHRASE_BREAK.split(line) if 2 <= len(p) <= EVERYDAY_MAX and not p.isascii()]
    if phrases:
        values.append(("phrase", ch.pick(phrases)))
    subject = re.split("[、。！？]", line, maxsplit=1)[0].strip(" \u3000「」『』")[:EVERYDAY_MAX]
    if subject and not subject.isascii():
        values.append(("subject", subject))
    if len(line) >= FREE_TEXT_MIN:
        values.append(("free-text", line[:FREE_TEXT_MAX]))
    return [(field, value) for field, value in values if cp932_holds(value)]


# The running text's files whose lines may be written out as they are (the
# everyday values and free text committed in bench/data): public domain
# (Aozora Bunko), CC BY-SA 4.0 and MPL-2.0, all of which a GPL-3.0-or-later
# project can carry. The other files are counted into the weights only (no
# text of them is included): the GIMP help is GFDL, which the GPL cannot
# carry, and the man pages and the Debian documents hold pages under
# GPL-2.0-only and other licences of their own.
EXCERPT_FILES = (
    "aozora-bunko.txt",
    "jglue-crowd.txt",
    "libreoffice-help-ja.txt",
    "wikipedia-jsquad-ud-gsd.txt",
)


def corpus_lines(corpus_dir, only=None):
    """Every line of the running text's *.txt files (of the file names in
    `only`, when given), in file-name order."""
    for path in sorted(glob.glob(os.path.join(corpus_dir, "*.txt"))):
        if only is not None and os.path.basename(path) not in only:
            continue
        with open(path, encoding="utf-8") as f:
            yield from f


def everyday_values(corpus_dir, seed):
    """{field: [values]} cut from the held-apart lines of the running text's
    EXCERPT_FILES, in the order of the lines."""
    ch = Chooser(seed)
    out = {"word": [], "phrase": [], "subject": [], "free-text": []}
    for line in corpus_lines(corpus_dir, EXCERPT_FILES):
        if line_held_apart(line):
            for field, value in line_values(line, ch):
                out[field].append(value)
    return out
