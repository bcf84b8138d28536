#include "app/request_report.h"

#include <cstdio>
#include <vector>

#include "capture/form_body.h"
#include "capture/request_head.h"

namespace postori {
namespace {

// A request is judged from at most this many bytes, followed by a zero byte,
// as the listener's receive buffer holds it.
constexpr std::size_t MAX_REQUEST_BYTES = 999'999;

std::string quoted(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
    }
    out += '"';
    return out;
}

const char* method_name(RequestMethod method) {
    switch (method) {
        case RequestMethod::Get:
            return "GET";
        case RequestMethod::Post:
            return "POST";
        case RequestMethod::Other:
            break;
    }
    return "other";
}

}  // namespace

std::string describe_request(std::string_view request) {
    std::vector<char> buffer(request.substr(0, MAX_REQUEST_BYTES).begin(), request.substr(0, MAX_REQUEST_BYTES).end());
    const auto received = static_cast<std::int32_t>(buffer.size());
    buffer.push_back('\0');

    RequestHead head;
    if (parse_request_head(buffer.data(), received, head) == 0) {
        return "request head incomplete: no form captured\n";
    }
    std::string out;
    out += "method: ";
    out += method_name(head.method);
    out += "\ncontent-length: " + std::to_string(head.content_length);
    out += "\nhead length: " + std::to_string(head.head_length);
    out += "\ncomplete: ";
    out += request_complete(head, received) ? "yes" : "no (body cut short)";
    out += '\n';
    if (head.method != RequestMethod::Post) {
        out += "not a POST: dropped\n";
        return out;
    }
    const std::vector<FormField> fields = collect_fields(buffer.data() + head.head_length);
    out += "fields: " + std::to_string(fields.size()) + '\n';
    for (const FormField& field : fields) {
        out +=
            "  " + quoted(field.name) + " = " + quoted(field.value) + " -> " + quoted(decode_value(field.value)) + '\n';
    }
    return out;
}

}  // namespace postori
