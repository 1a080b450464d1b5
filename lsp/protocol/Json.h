#pragma once

// The JSON the server reads and writes, through RapidJSON: a message is
// parsed into a document once, read through the checked accessors here,
// and answers are written as compact text by a writer (or, for the large
// answers, straight into a string).
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>
#include <string_view>

namespace kestrel::lsp {

using Json = rapidjson::Value;
using JsonDocument = rapidjson::Document;
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// Parses one message body into `document`. A lone UTF-16 surrogate in a
// `\u` escape stands for '?'; invalid UTF-8, nesting deeper than
// kMaxJsonDepth and anything else that is not JSON give false, with the
// reason in `error`.
bool ParseJson(std::string_view text, JsonDocument& document, std::string& error);
// The same, with the strings decoded where they stand in `text`, which the
// document then points into: `text` must outlive it and holds other bytes
// afterwards. A message of megabytes, a document's whole text, is then read
// without two copies of it made on the way.
bool ParseJsonInPlace(std::string& text, JsonDocument& document, std::string& error);
inline constexpr unsigned kMaxJsonDepth = 1024;

// The member `key` of an object: null when `value` is no object or has no
// such member. Of duplicate keys the last counts.
const Json* Member(const Json& value, std::string_view key);
// The same for a member of a member.
inline const Json* Member(const Json* value, std::string_view key) {
    return value ? Member(*value, key) : nullptr;
}

// A string value's UTF-8 bytes (which may hold NUL); empty for any other value.
std::string_view StringOf(const Json* value);
// A member that is a string, else empty.
inline std::string_view StringMemberOr(const Json& object, std::string_view key) {
    return StringOf(Member(object, key));
}
bool IsTrue(const Json* value);

// Writes a string (which may hold NUL) or a key through `writer`; bytes that
// are not UTF-8 (a file name's, an error's) are written as U+FFFD.
void WriteString(JsonWriter& writer, std::string_view text);
inline void WriteKey(JsonWriter& writer, std::string_view key) {
    writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

// Compact JSON text: of a value, or of what `write` writes.
std::string JsonText(const Json& value);
template <class Write> std::string JsonText(Write&& write) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    write(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace kestrel::lsp
