#include "protocol/Params.h"

#include <cmath>

namespace kestrel::lsp {

namespace {

[[noreturn]] void ThrowInvalid(std::string_view key, const char* expected) {
    throw RequestError{InvalidParams, "'" + std::string(key) + "' must be " + expected};
}

const Json& ObjectMember(const Json& object, std::string_view key) {
    const Json* value = Member(object, key);
    if (!value || !value->IsObject()) {
        ThrowInvalid(key, "an object");
    }
    return *value;
}

std::string StringMember(const Json& object, std::string_view key) {
    const Json* value = Member(object, key);
    if (!value || !value->IsString()) {
        ThrowInvalid(key, "a string");
    }
    return std::string(StringOf(value));
}

int64_t IntegerMember(const Json& object, std::string_view key) {
    const Json* value = Member(object, key);
    // Protocol integers fit in 31 bits; a larger one is not a position.
    const double number = value && value->IsNumber() ? value->GetDouble() : -1;
    if (number < 0 || number > 2147483647.0 || std::floor(number) != number) {
        ThrowInvalid(key, "an integer from 0 to 2147483647");
    }
    return static_cast<int64_t>(number);
}

TextPosition PositionMember(const Json& object, std::string_view key) {
    const Json& position = ObjectMember(object, key);
    return {IntegerMember(position, "line"), IntegerMember(position, "character")};
}

TextRange RangeMember(const Json& object, std::string_view key) {
    const Json& range = ObjectMember(object, key);
    return {PositionMember(range, "start"), PositionMember(range, "end")};
}

std::string DocumentUri(const Json& params) {
    return StringMember(ObjectMember(params, "textDocument"), "uri");
}

// The elements of an array member, none when it is no array.
template <class Each> void ForEachElement(const Json* array, Each&& each) {
    if (array && array->IsArray()) {
        for (const Json& element : array->GetArray()) {
            each(element);
        }
    }
}

// The URIs of an array of objects with a `uri` (empty where one has none).
std::vector<std::string> Uris(const Json* array) {
    std::vector<std::string> uris;
    ForEachElement(array,
                   [&uris](const Json& item) { uris.emplace_back(StringOf(Member(item, "uri"))); });
    return uris;
}

bool Offers(const Json* encodings, std::string_view wanted) {
    bool offered = false;
    ForEachElement(encodings, [&](const Json& value) { offered |= StringOf(&value) == wanted; });
    return offered;
}

} // namespace

void Read(const Json& params, InitializeParams& out) {
    const Json* capabilities = Member(params, "capabilities");
    ClientCapabilities& client = out.client;
    // 3.17 clients offer encodings under `general`, some older ones under
    // `offsetEncoding`.
    const Json* general = Member(Member(capabilities, "general"), "positionEncodings");
    const Json* legacy = Member(capabilities, "offsetEncoding");
    client.encoding = Offers(general, "utf-8") || Offers(legacy, "utf-8") ? PositionEncoding::Utf8
                                                                          : PositionEncoding::Utf16;
    client.legacyOffsetEncoding = legacy && legacy->IsArray();
    client.workDoneProgress = IsTrue(Member(Member(capabilities, "window"), "workDoneProgress"));
    client.watchesFiles = IsTrue(Member(
        Member(Member(capabilities, "workspace"), "didChangeWatchedFiles"), "dynamicRegistration"));
    const Json* folders = Member(params, "workspaceFolders");
    const Json* rootUri = Member(params, "rootUri");
    const Json* rootPath = Member(params, "rootPath");
    if (folders && folders->IsArray()) {
        out.folders = Uris(folders);
    } else if (rootUri && rootUri->IsString()) {
        out.folders.emplace_back(StringOf(rootUri));
    } else if (rootPath && rootPath->IsString()) {
        out.rootPath = std::string(StringOf(rootPath));
    }
    out.trace = StringMemberOr(params, "trace");
}

void Read(const Json& params, SetTraceParams& out) {
    out.value = StringMemberOr(params, "value");
}

void Read(const Json& params, TextDocumentParams& out) {
    out.uri = DocumentUri(params);
}

void Read(const Json& params, TextDocumentPositionParams& out) {
    out.uri = DocumentUri(params);
    if (Member(params, "position")) {
        out.position = PositionMember(params, "position");
    }
}

void Read(const Json& params, CodeActionParams& out) {
    out.uri = DocumentUri(params);
    out.range = RangeMember(params, "range");
    const Json* context = Member(params, "context");
    if (const Json* only = Member(context, "only")) {
        out.only.emplace();
        ForEachElement(only, [&out](const Json& kind) { out.only->emplace_back(StringOf(&kind)); });
    }
}

void Read(const Json& params, DidOpenParams& out) {
    const Json& item = ObjectMember(params, "textDocument");
    out.uri = StringMember(item, "uri");
    out.text = StringMember(item, "text");
    out.version = IntegerMember(item, "version");
}

void Read(const Json& params, DidChangeParams& out) {
    const Json& item = ObjectMember(params, "textDocument");
    out.uri = StringMember(item, "uri");
    out.version = IntegerMember(item, "version");
    const Json* changes = Member(params, "contentChanges");
    out.changesGiven = changes && changes->IsArray();
    ForEachElement(changes, [&out](const Json& value) {
        ContentChange& change = out.changes.emplace_back();
        // A change that is no object reads as one without its members.
        static const Json kEmpty(rapidjson::kObjectType);
        const Json& object = value.IsObject() ? value : kEmpty;
        try {
            change.text = StringMember(object, "text");
            if (Member(object, "range")) {
                change.range = RangeMember(object, "range");
            }
        } catch (const RequestError& error) {
            change.unreadable = error.message;
        }
    });
}

void Read(const Json& params, DidSaveParams& out) {
    out.uri = DocumentUri(params);
    if (const Json* text = Member(params, "text"); text && text->IsString()) {
        out.text = std::string(StringOf(text));
    }
}

void Read(const Json& params, WorkspaceSymbolParams& out) {
    out.query = StringMember(params, "query");
}

void Read(const Json& params, DidChangeWatchedFilesParams& out) {
    out.uris = Uris(Member(params, "changes"));
}

void Read(const Json& params, DidChangeWorkspaceFoldersParams& out) {
    const Json* event = Member(params, "event");
    out.added = Uris(Member(event, "added"));
    out.removed = Uris(Member(event, "removed"));
}

} // namespace kestrel::lsp
