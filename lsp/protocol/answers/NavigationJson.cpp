#include "protocol/answers/NavigationJson.h"

#include "protocol/Json.h"

namespace kestrel::lsp {

std::string LocationsJson(const std::vector<Location>& locations) {
    if (locations.empty()) {
        return "null";
    }
    std::string out = "[";
    for (const Location& location : locations) {
        out += out.size() == 1 ? "" : ",";
        AppendLocation(out, location);
    }
    out += ']';
    return out;
}

std::string HoverJson(std::string_view markdown, const TextRange& range) {
    return JsonText([&](JsonWriter& w) {
        w.StartObject();
        WriteKey(w, "contents");
        w.StartObject();
        WriteKey(w, "kind");
        WriteString(w, "markdown");
        WriteKey(w, "value");
        WriteString(w, markdown);
        w.EndObject();
        WriteKey(w, "range");
        WriteRange(w, range);
        w.EndObject();
    });
}

std::string FoldingRangesJson(const std::vector<FoldingRange>& ranges) {
    std::string out = "[";
    for (const FoldingRange& range : ranges) {
        out += out.size() == 1 ? "{\"startLine\":" : ",{\"startLine\":";
        AppendNumber(out, range.startLine);
        out += ",\"endLine\":";
        AppendNumber(out, range.endLine);
        if (range.kind == FoldingRange::Kind::Comment) {
            out += ",\"kind\":\"comment\"";
        } else if (range.kind == FoldingRange::Kind::Region) {
            out += ",\"kind\":\"region\"";
        }
        out += '}';
    }
    out += ']';
    return out;
}

} // namespace kestrel::lsp
