// How often detect_code names the right code for form values, as the capture
// listener uses it: each line of a UTF-8 file is one value, encoded to
// Shift_JIS (code page 932, glibc iconv "CP932"), EUC-JP (iconv "EUC-JP-MS")
// and UTF-8, and judged with the listener's limit of 8192 bytes. Only `sure`
// counts, as in the listener.
//
// Usage: detect_accuracy [--form N] [--show-wrong] LINES.txt
//
// Prints, per code and per length band of the encoded value, how often `sure`
// names the right code, names a wrong one, or is Unknown; then the forms:
// every N (5) lines that follow one another are one form, elected by the
// listener's vote, and the share of forms elected right. Lines that are 7-bit
// text are the same in every code and tell nothing: they are counted apart
// and vote for nothing. A line a code cannot hold is skipped in that code.
// A measurement, not a test: it always exits 0 once it has read the file.
#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/detect.h"

namespace {

using postori::CodeKind;

constexpr std::uint32_t DETECT_LIMIT = 8192;

struct Code {
    const char* label;
    const char* iconv_name;  // nullptr: the line as it is (UTF-8)
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

struct Tally {
    int values = 0;
    int right = 0;
    int wrong = 0;
    int unknown = 0;
};

// The line in `code`, or nothing when the code cannot hold it.
std::optional<std::string> encode(const Code& code, const std::string& line) {
    if (code.iconv_name == nullptr) {
        return line;
    }
    iconv_t cd = iconv_open(code.iconv_name, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "iconv cannot convert to %s\n", code.iconv_name);
        std::exit(2);
    }
    std::string in = line;
    std::string out(line.size() * 4 + 16, '\0');
    char* in_ptr = in.data();
    std::size_t in_left = in.size();
    char* out_ptr = out.data();
    std::size_t out_left = out.size();
    const std::size_t done = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - out_left);
    return out;
}

bool seven_bit(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
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

// The listener's election over the `sure` answers of one form.
CodeKind vote(int sjis, int euc, int utf8) {
    if (sjis > euc) {
        return sjis > utf8 ? CodeKind::ShiftJis : CodeKind::Utf8;
    }
    return utf8 > euc ? CodeKind::Utf8 : CodeKind::EucJp;
}

double percent(int part, int whole) {
    return whole == 0 ? 0.0 : 100.0 * part / whole;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t form_size = 5;
    bool show_wrong = false;
    const char* path = nullptr;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--form" && k + 1 < argc) {
            form_size = std::strtoul(argv[++k], nullptr, 10);
        } else if (arg == "--show-wrong") {
            show_wrong = true;
        } else if (path == nullptr && !arg.starts_with("--")) {
            path = argv[k];
        } else {
            path = nullptr;
            break;
        }
    }
    if (path == nullptr || form_size == 0) {
        std::fprintf(stderr, "usage: %s [--form N] [--show-wrong] LINES.txt\n", argv[0]);
        return 2;
    }
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 2;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] != '#') {
            lines.push_back(line);
        }
    }

    int seven_bit_lines = 0;
    for (const std::string& line : lines) {
        seven_bit_lines += seven_bit(line) ? 1 : 0;
    }
    std::printf("%zu values from %s (%d of them 7-bit, the same in every code: not counted below)\n\n", lines.size(),
                path, seven_bit_lines);
    std::printf("%-10s %-7s %7s %16s %16s %16s\n", "code", "bytes", "values", "right", "wrong", "unknown");

    struct FormResult {
        int right = 0;
        int forms = 0;
    };
    std::array<FormResult, CODES.size()> form_results{};
    std::array<Tally, CODES.size()> totals{};
    std::array<int, CODES.size()> skipped{};
    std::vector<std::string> wrong_lines;

    for (std::size_t c = 0; c < CODES.size(); ++c) {
        const Code& code = CODES[c];
        std::array<Tally, BANDS.size()> tallies{};
        int sjis_votes = 0;
        int euc_votes = 0;
        int utf8_votes = 0;
        bool form_has_value = false;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const std::optional<std::string> text = encode(code, lines[k]);
            if (!text) {
                ++skipped[c];
            } else {
                form_has_value = true;
                const CodeKind sure = postori::detect_code(*text, DETECT_LIMIT).sure;
                sjis_votes += sure == CodeKind::ShiftJis ? 1 : 0;
                euc_votes += sure == CodeKind::EucJp ? 1 : 0;
                utf8_votes += sure == CodeKind::Utf8 ? 1 : 0;
                if (!seven_bit(*text)) {
                    Tally& t = tallies[band_of(text->size())];
                    ++t.values;
                    if (sure == code.kind) {
                        ++t.right;
                    } else if (sure == CodeKind::Unknown) {
                        ++t.unknown;
                    } else {
                        ++t.wrong;
                        wrong_lines.push_back(std::string(code.label) + " read as " + name_of(sure) + ": " + lines[k]);
                    }
                }
            }
            if ((k + 1) % form_size == 0 || k + 1 == lines.size()) {
                if (form_has_value) {
                    ++form_results[c].forms;
                    form_results[c].right += vote(sjis_votes, euc_votes, utf8_votes) == code.kind ? 1 : 0;
                }
                sjis_votes = euc_votes = utf8_votes = 0;
                form_has_value = false;
            }
        }
        for (std::size_t b = 0; b < BANDS.size(); ++b) {
            const Tally& t = tallies[b];
            std::printf("%-10s %-7s %7d %7d (%5.1f%%) %7d (%5.1f%%) %7d (%5.1f%%)\n", code.label, BANDS[b].label,
                        t.values, t.right, percent(t.right, t.values), t.wrong, percent(t.wrong, t.values), t.unknown,
                        percent(t.unknown, t.values));
            totals[c].values += t.values;
            totals[c].right += t.right;
            totals[c].wrong += t.wrong;
            totals[c].unknown += t.unknown;
        }
        const Tally& t = totals[c];
        std::printf("%-10s %-7s %7d %7d (%5.1f%%) %7d (%5.1f%%) %7d (%5.1f%%)\n\n", code.label, "all", t.values,
                    t.right, percent(t.right, t.values), t.wrong, percent(t.wrong, t.values), t.unknown,
                    percent(t.unknown, t.values));
    }

    std::printf("forms of %zu values, elected by the listener's vote:\n", form_size);
    for (std::size_t c = 0; c < CODES.size(); ++c) {
        std::printf("%-10s %4d of %4d right (%5.1f%%); values it cannot hold: %d\n", CODES[c].label,
                    form_results[c].right, form_results[c].forms, percent(form_results[c].right, form_results[c].forms),
                    skipped[c]);
    }
    if (show_wrong) {
        std::printf("\nwrong answers:\n");
        for (const std::string& line : wrong_lines) {
            std::printf("%s\n", line.c_str());
        }
    }
    return 0;
}
