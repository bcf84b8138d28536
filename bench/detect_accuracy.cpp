// SPDX-License-Identifier: GPL-3.0-or-later
// How often detect_code names the right code for form values, as the capture
// listener uses it: every value, written in UTF-8 in the input files, is
// encoded to Shift_JIS (code page 932, glibc iconv "CP932"), EUC-JP (iconv
// "EUC-JP-MS") and UTF-8 and judged with the listener's limit of 8192 bytes.
// Only `sure` counts, as in the listener.
//
// Usage: detect_accuracy [--form N] [--show-wrong] FILE...
//
// Two kinds of input file:
//   *.tsv   one form a line (bench/data/form-values.tsv, written by
//           tools/gen_form_values.py): the form's kind, then its values as
//           field=value, TAB-separated (a line of kind "value" holds one
//           value on its own);
//   others  one value a line (bench/data/accuracy-lines.txt); every N (5)
//           values that follow one another make one form. '#' lines and
//           empty lines are skipped.
//
// Prints for each file, per code:
//   - the values by the length of the encoded value: how often `sure` names
//     the right code, a wrong one, or is Unknown; 7-bit values are the same
//     in every code and tell nothing: they are counted apart;
//   - the values that hold half-width katakana, on their own;
//   - in a file of forms, the same per field, and per kind of value and
//     length (KINDS: names, readings, addresses, organizations, everyday
//     values, free text; every value with half-width katakana is a
//     half-width value, whatever its field);
//   - the forms of each kind, elected by the listener's vote (the most
//     votes; ties go to EUC-JP, then UTF-8, then Shift_JIS), and what the
//     wrong ones were elected as. A "form" of one value is that value: it
//     is counted in the tables above only.
// A value a code cannot hold is left out in that code (also from its form).
// A measurement, not a test: it exits 0 once it has read its files.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/vote.h"
#include "codec/detect.h"
#include "tests/support/iconv.h"

namespace {

using postori::CodeKind;

using postori::DETECT_LIMIT;

struct Code {
    const char* label;
    const char* iconv_name;  // nullptr: the value as it is (UTF-8)
    CodeKind kind;
};
constexpr std::array<Code, 3> CODES = {{
    {"Shift_JIS", "CP932", CodeKind::ShiftJis},
    {"EUC-JP", "EUC-JP-MS", CodeKind::EucJp},
    {"UTF-8", nullptr, CodeKind::Utf8},
}};

struct Band {
    const char* label;
    std::size_t max_bytes;
};
constexpr std::array<Band, 4> BANDS = {{
    {"<=8", 8},
    {"9-32", 32},
    {"33-128", 128},
    {">128", static_cast<std::size_t>(-1)},
}};

// The kinds of value the fields hold, and the fields of each.
struct Kind {
    const char* label;
    std::array<std::string_view, 4> fields;  // empty: no more
};
constexpr std::string_view HALF_WIDTH = "half-width";
constexpr std::array<Kind, 6> KINDS = {{
    {"names", {"name", "family", "given"}},
    {"readings", {"name-katakana", "name-hiragana", "address-katakana"}},
    {"addresses", {"address", "postal", "station", "telephone"}},
    {"organizations", {"organization"}},
    {"everyday", {"word", "phrase", "subject"}},
    {"free-text", {"free-text"}},
}};

struct Value {
    std::string field;  // empty in a file of lines
    std::string text;   // UTF-8
};

struct Form {
    std::string kind;
    std::vector<Value> values;
};

// One value in one code, judged.
struct Judged {
    bool held = false;  // false: the code cannot hold the value
    bool seven_bit = false;
    std::size_t bytes = 0;
    CodeKind sure = CodeKind::Unknown;
};

struct Tally {
    int values = 0;
    int right = 0;
    int wrong = 0;
    int unknown = 0;

    void add(CodeKind sure, CodeKind want) {
        ++values;
        if (sure == want) {
            ++right;
        } else if (sure == CodeKind::Unknown) {
            ++unknown;
        } else {
            ++wrong;
        }
    }
};

// A value in one code: iconv writes the Shift_JIS and EUC-JP forms; UTF-8 is
// the value as it is.
class Encoder {
public:
    explicit Encoder(const Code& code) {
        if (code.iconv_name == nullptr) {
            return;
        }
        iconv_.emplace(code.iconv_name, "UTF-8");
        if (!iconv_->ok()) {
            std::fprintf(stderr, "iconv cannot convert to %s\n", code.iconv_name);
            std::exit(2);
        }
    }

    // The value in this code, or nothing when the code cannot hold it.
    std::optional<std::string> encode(const std::string& utf8) { return iconv_ ? iconv_->convert(utf8) : utf8; }

private:
    std::optional<postori::test_support::Iconv> iconv_;
};

bool seven_bit(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// U+FF61-U+FF9F in UTF-8: EF BD A1-BF or EF BE 80-9F.
bool has_halfwidth_katakana(std::string_view utf8) {
    for (std::size_t k = 0; k + 2 < utf8.size(); ++k) {
        const auto b0 = static_cast<unsigned char>(utf8[k]);
        const auto b1 = static_cast<unsigned char>(utf8[k + 1]);
        const auto b2 = static_cast<unsigned char>(utf8[k + 2]);
        if (b0 == 0xEF && ((b1 == 0xBD && b2 >= 0xA1 && b2 <= 0xBF) || (b1 == 0xBE && b2 >= 0x80 && b2 <= 0x9F))) {
            return true;
        }
    }
    return false;
}

// The kind of a value: "half-width" for every value with half-width
// katakana, else the kind of its field; empty for a field of no kind.
std::string_view kind_of(std::string_view field, std::string_view utf8) {
    if (has_halfwidth_katakana(utf8)) {
        return HALF_WIDTH;
    }
    for (const Kind& kind : KINDS) {
        if (std::find(kind.fields.begin(), kind.fields.end(), field) != kind.fields.end() && !field.empty()) {
            return kind.label;
        }
    }
    return {};
}

std::size_t band_of(std::size_t bytes) {
    std::size_t band = 0;
    while (bytes > BANDS[band].max_bytes) {
        ++band;
    }
    return band;
}

const char* name_of(CodeKind kind) {
    switch (kind) {
        case CodeKind::Empty:
            return "Empty";
        case CodeKind::Unknown:
            return "Unknown";
        case CodeKind::Ascii:
            return "Ascii";
        case CodeKind::ShiftJis:
            return "ShiftJis";
        case CodeKind::Jis:
            return "Jis";
        case CodeKind::EucJp:
            return "EucJp";
        case CodeKind::Utf8:
            return "Utf8";
        case CodeKind::Utf16Be:
            return "Utf16Be";
        case CodeKind::Utf16Le:
            return "Utf16Le";
        case CodeKind::Utf32Be:
            return "Utf32Be";
        case CodeKind::Utf32Le:
            return "Utf32Le";
    }
    return "?";
}

// The listener's election over the `sure` answers of one form, as a kind.
CodeKind vote(int sjis, int euc, int utf8) {
    switch (postori::vote_code_choice(sjis, euc, utf8)) {
        case postori::CodeChoice::ShiftJis:
            return CodeKind::ShiftJis;
        case postori::CodeChoice::Utf8:
            return CodeKind::Utf8;
        case postori::CodeChoice::EucJp:
            break;
    }
    return CodeKind::EucJp;
}

double percent(int part, int whole) {
    return whole == 0 ? 0.0 : 100.0 * part / whole;
}

void print_tally(const char* code, const std::string& what, const Tally& t) {
    std::printf("%-10s %-18s %6d %7d (%5.1f%%) %6d (%5.2f%%) %6d (%5.2f%%)\n", code, what.c_str(), t.values, t.right,
                percent(t.right, t.values), t.wrong, percent(t.wrong, t.values), t.unknown,
                percent(t.unknown, t.values));
}

void print_tally_header(const char* what) {
    std::printf("%-10s %-18s %6s %16s %15s %15s\n", "code", what, "values", "right", "wrong", "unknown");
}

std::string strip_cr(std::string line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// A file of forms, one a line: kind, then field=value cells.
std::vector<Form> read_forms(std::ifstream& in) {
    std::vector<Form> forms;
    for (std::string line; std::getline(in, line);) {
        line = strip_cr(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        Form form;
        std::size_t start = 0;
        bool first = true;
        while (start <= line.size()) {
            std::size_t end = line.find('\t', start);
            if (end == std::string::npos) {
                end = line.size();
            }
            const std::string cell = line.substr(start, end - start);
            if (first) {
                form.kind = cell;
                first = false;
            } else {
                const std::size_t eq = cell.find('=');
                if (eq == std::string::npos) {
                    form.values.push_back({"", cell});
                } else {
                    form.values.push_back({cell.substr(0, eq), cell.substr(eq + 1)});
                }
            }
            start = end + 1;
        }
        forms.push_back(std::move(form));
    }
    return forms;
}

// A file of values, one a line; every `form_size` make one form.
std::vector<Form> read_lines(std::ifstream& in, std::size_t form_size) {
    std::vector<Form> forms;
    const std::string kind = "lines of " + std::to_string(form_size);
    for (std::string line; std::getline(in, line);) {
        line = strip_cr(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (forms.empty() || forms.back().values.size() == form_size) {
            forms.push_back({kind, {}});
        }
        forms.back().values.push_back({"", line});
    }
    return forms;
}

// Every value of a file, judged once in each code.
struct Judgement {
    std::vector<const Value*> values;
    std::array<std::vector<Judged>, CODES.size()> judged;
};

Judgement judge(const std::vector<Form>& forms) {
    Judgement out;
    for (const Form& form : forms) {
        for (const Value& value : form.values) {
            out.values.push_back(&value);
        }
    }
    for (std::size_t c = 0; c < CODES.size(); ++c) {
        Encoder encoder(CODES[c]);
        out.judged[c].reserve(out.values.size());
        for (const Value* value : out.values) {
            Judged j;
            if (const std::optional<std::string> text = encoder.encode(value->text)) {
                j.held = true;
                j.seven_bit = seven_bit(*text);
                j.bytes = text->size();
                j.sure = postori::detect_code(*text, DETECT_LIMIT).sure;
            }
            out.judged[c].push_back(j);
        }
    }
    return out;
}

void print_bands(const Judgement& all) {
    print_tally_header("bytes");
    for (std::size_t c = 0; c < CODES.size(); ++c) {
        std::array<Tally, BANDS.size()> bands{};
        Tally total;
        int not_held = 0;
        for (const Judged& j : all.judged[c]) {
            if (!j.held) {
                ++not_held;
            } else if (!j.seven_bit) {
                bands[band_of(j.bytes)].add(j.sure, CODES[c].kind);
                total.add(j.sure, CODES[c].kind);
            }
        }
        for (std::size_t b = 0; b < BANDS.size(); ++b) {
            print_tally(CODES[c].label, BANDS[b].label, bands[b]);
        }
        print_tally(CODES[c].label, "all", total);
        std::printf("%-10s values it cannot hold: %d\n\n", CODES[c].label, not_held);
    }
}

// The values with half-width katakana, or per field: `group` names the
// tally a value counts in, empty for none.
void print_groups(const Judgement& all, const char* what, std::string (*group)(const Value&)) {
    print_tally_header(what);
    for (std::size_t c = 0; c < CODES.size(); ++c) {
        std::map<std::string, Tally> groups;
        for (std::size_t v = 0; v < all.values.size(); ++v) {
            const Judged& j = all.judged[c][v];
            const std::string name = group(*all.values[v]);
            if (j.held && !j.seven_bit && !name.empty()) {
                groups[name].add(j.sure, CODES[c].kind);
            }
        }
        for (const auto& [name, t] : groups) {
            print_tally(CODES[c].label, name, t);
        }
    }
    std::printf("\n");
}

// Per kind of value (KINDS, then half-width values) and length band.
void print_kinds(const Judgement& all) {
    print_tally_header("kind, bytes");
    std::vector<std::string_view> kinds;
    for (const Kind& kind : KINDS) {
        kinds.emplace_back(kind.label);
    }
    kinds.push_back(HALF_WIDTH);
    for (std::size_t c = 0; c < CODES.size(); ++c) {
        for (const std::string_view kind : kinds) {
            std::array<Tally, BANDS.size()> bands{};
            Tally total;
            for (std::size_t v = 0; v < all.values.size(); ++v) {
                const Judged& j = all.judged[c][v];
                if (j.held && !j.seven_bit && kind_of(all.values[v]->field, all.values[v]->text) == kind) {
                    bands[band_of(j.bytes)].add(j.sure, CODES[c].kind);
                    total.add(j.sure, CODES[c].kind);
                }
            }
            if (total.values == 0) {
                continue;
            }
            for (std::size_t b = 0; b < BANDS.size(); ++b) {
                if (bands[b].values > 0) {
                    print_tally(CODES[c].label, std::string(kind) + " " + BANDS[b].label, bands[b]);
                }
            }
            print_tally(CODES[c].label, std::string(kind) + " all", total);
        }
    }
    std::printf("\n");
}

// The forms of each kind, in the order the kinds first appear, elected as
// the listener elects; the wrong ones go to `wrong_forms`.
void print_forms(const std::vector<Form>& forms, const Judgement& all, std::vector<std::string>& wrong_forms) {
    std::vector<std::string> kinds;
    for (const Form& form : forms) {
        if (form.values.size() > 1 && std::find(kinds.begin(), kinds.end(), form.kind) == kinds.end()) {
            kinds.push_back(form.kind);
        }
    }
    std::printf("forms elected by the listener's vote:\n");
    for (const std::string& kind : kinds) {
        for (std::size_t c = 0; c < CODES.size(); ++c) {
            int total = 0;
            int right = 0;
            std::map<CodeKind, int> elected_wrong;
            std::size_t v = 0;
            for (const Form& form : forms) {
                const std::size_t first = v;
                v += form.values.size();
                if (form.kind != kind) {
                    continue;
                }
                int sjis = 0;
                int euc = 0;
                int utf8 = 0;
                bool any = false;
                for (std::size_t k = first; k < v; ++k) {
                    const Judged& j = all.judged[c][k];
                    any = any || j.held;
                    sjis += j.held && j.sure == CodeKind::ShiftJis ? 1 : 0;
                    euc += j.held && j.sure == CodeKind::EucJp ? 1 : 0;
                    utf8 += j.held && j.sure == CodeKind::Utf8 ? 1 : 0;
                }
                if (!any) {
                    continue;
                }
                ++total;
                const CodeKind elected = vote(sjis, euc, utf8);
                if (elected == CODES[c].kind) {
                    ++right;
                    continue;
                }
                ++elected_wrong[elected];
                std::string line = std::string(CODES[c].label) + " " + kind + " elected " + name_of(elected) + ":";
                for (std::size_t k = first; k < v; ++k) {
                    line += " [" + all.values[k]->text + "]";
                }
                wrong_forms.push_back(line);
            }
            std::printf("%-10s %-12s %6d of %6d right (%6.2f%%)", CODES[c].label, kind.c_str(), right, total,
                        percent(right, total));
            for (const auto& [elected, n] : elected_wrong) {
                std::printf("; %d as %s", n, name_of(elected));
            }
            std::printf("\n");
        }
    }
}

void print_wrong(const Judgement& all, const std::vector<std::string>& wrong_forms) {
    std::printf("\nwrong values:\n");
    for (std::size_t c = 0; c < CODES.size(); ++c) {
        for (std::size_t v = 0; v < all.values.size(); ++v) {
            const Judged& j = all.judged[c][v];
            const Value& value = *all.values[v];
            if (j.held && !j.seven_bit && j.sure != CODES[c].kind && j.sure != CodeKind::Unknown) {
                std::printf("%s read as %s: %s%s%s\n", CODES[c].label, name_of(j.sure), value.field.c_str(),
                            value.field.empty() ? "" : "=", value.text.c_str());
            }
        }
    }
    std::printf("\nwrong forms:\n");
    for (const std::string& line : wrong_forms) {
        std::printf("%s\n", line.c_str());
    }
}

void report(const std::string& path, const std::vector<Form>& forms, bool show_wrong) {
    const Judgement all = judge(forms);
    int seven_bit_values = 0;
    bool any_halfwidth = false;
    bool any_field = false;
    for (const Value* value : all.values) {
        seven_bit_values += seven_bit(value->text) ? 1 : 0;
        any_halfwidth = any_halfwidth || has_halfwidth_katakana(value->text);
        any_field = any_field || !value->field.empty();
    }
    std::printf("== %s: %zu forms, %zu values (%d of them 7-bit, the same in every code: not counted as values)\n\n",
                path.c_str(), forms.size(), all.values.size(), seven_bit_values);
    print_bands(all);
    if (any_halfwidth) {
        print_groups(all, "half-width", [](const Value& value) {
            return has_halfwidth_katakana(value.text) ? std::string("with katakana") : std::string();
        });
    }
    if (any_field) {
        print_groups(all, "field", [](const Value& value) { return value.field; });
        print_kinds(all);
    }
    std::vector<std::string> wrong_forms;
    print_forms(forms, all, wrong_forms);
    if (show_wrong) {
        print_wrong(all, wrong_forms);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t form_size = 5;
    bool show_wrong = false;
    std::vector<std::string> paths;
    bool usage = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--form" && k + 1 < argc) {
            form_size = std::strtoul(argv[++k], nullptr, 10);
        } else if (arg == "--show-wrong") {
            show_wrong = true;
        } else if (arg.starts_with("--")) {
            usage = true;
        } else {
            paths.emplace_back(arg);
        }
    }
    if (usage || paths.empty() || form_size == 0) {
        std::fprintf(stderr, "usage: %s [--form N] [--show-wrong] FILE...\n", argv[0]);
        return 2;
    }
    for (const std::string& path : paths) {
        std::ifstream in(path);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        const bool forms_file = path.size() > 4 && path.compare(path.size() - 4, 4, ".tsv") == 0;
        report(path, forms_file ? read_forms(in) : read_lines(in, form_size), show_wrong);
    }
    return 0;
}
