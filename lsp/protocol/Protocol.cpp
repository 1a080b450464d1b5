#include "protocol/Protocol.h"

#include "TextEncoding.h"

namespace kestrel::lsp {

std::string_view EncodingName(PositionEncoding encoding) {
    return encoding == PositionEncoding::Utf8 ? "utf-8" : "utf-16";
}

void WriteInitializeResult(JsonWriter& w, const ClientCapabilities& client,
                           std::string_view version) {
    const std::string_view encoding = EncodingName(client.encoding);
    const auto provides = [&w](std::string_view key) {
        WriteKey(w, key);
        w.Bool(true);
    };
    w.StartObject();
    WriteKey(w, "capabilities");
    w.StartObject();
    WriteKey(w, "positionEncoding");
    WriteString(w, encoding);
    WriteKey(w, "textDocumentSync");
    w.StartObject();
    provides("openClose");
    WriteKey(w, "change");
    w.Int(2); // incremental
    WriteKey(w, "save");
    w.StartObject();
    WriteKey(w, "includeText");
    w.Bool(false);
    w.EndObject();
    w.EndObject();
    WriteKey(w, "documentSymbolProvider");
    w.StartObject();
    WriteKey(w, "label");
    WriteString(w, "Kestrel");
    w.EndObject();
    WriteKey(w, "codeActionProvider");
    w.StartObject();
    WriteKey(w, "codeActionKinds");
    w.StartArray();
    WriteString(w, kBookmarkActionKind);
    w.EndArray();
    w.EndObject();
    for (const char* provider :
         {"workspaceSymbolProvider", "declarationProvider", "implementationProvider",
          "definitionProvider", "hoverProvider", "foldingRangeProvider"}) {
        provides(provider);
    }
    WriteKey(w, "workspace");
    w.StartObject();
    WriteKey(w, "workspaceFolders");
    w.StartObject();
    provides("supported");
    provides("changeNotifications");
    w.EndObject();
    w.EndObject();
    w.EndObject();
    WriteKey(w, "serverInfo");
    w.StartObject();
    WriteKey(w, "name");
    WriteString(w, "kestrel-lsp");
    WriteKey(w, "version");
    WriteString(w, version);
    w.EndObject();
    if (client.legacyOffsetEncoding) {
        WriteKey(w, "offsetEncoding");
        WriteString(w, encoding);
    }
    w.EndObject();
}

std::string MessageParams(int type, std::string_view message) {
    return JsonText([&](JsonWriter& w) {
        w.StartObject();
        WriteKey(w, "type");
        w.Int(type);
        WriteKey(w, "message");
        WriteString(w, message);
        w.EndObject();
    });
}

void WritePosition(JsonWriter& w, TextPosition position) {
    w.StartObject();
    WriteKey(w, "line");
    w.Int64(position.line);
    WriteKey(w, "character");
    w.Int64(position.character);
    w.EndObject();
}

void WriteRange(JsonWriter& w, const TextRange& range) {
    w.StartObject();
    WriteKey(w, "start");
    WritePosition(w, range.start);
    WriteKey(w, "end");
    WritePosition(w, range.end);
    w.EndObject();
}

void WriteWorkspaceEdit(JsonWriter& w, std::string_view uri, const std::vector<TextEdit>& edits) {
    w.StartObject();
    WriteKey(w, "changes");
    w.StartObject();
    WriteKey(w, uri);
    w.StartArray();
    for (const TextEdit& edit : edits) {
        w.StartObject();
        WriteKey(w, "range");
        WriteRange(w, edit.range);
        WriteKey(w, "newText");
        WriteString(w, edit.newText);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    w.EndObject();
}

void AppendNumber(std::string& out, int64_t value) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    uint64_t rest = value < 0 ? 0 : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    out.append(p, end - p);
}

void AppendRange(std::string& out, const TextRange& range) {
    out += "{\"start\":{\"line\":";
    AppendNumber(out, range.start.line);
    out += ",\"character\":";
    AppendNumber(out, range.start.character);
    out += "},\"end\":{\"line\":";
    AppendNumber(out, range.end.line);
    out += ",\"character\":";
    AppendNumber(out, range.end.character);
    out += "}}";
}

void AppendLocation(std::string& out, const Location& location) {
    out += "{\"uri\":";
    AppendJsonString(out, location.uri);
    out += ",\"range\":";
    AppendRange(out, location.range);
    out += '}';
}

} // namespace kestrel::lsp
