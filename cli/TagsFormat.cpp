#include "TagsFormat.h"

#include <algorithm>
#include <charconv>

namespace kestrel {

namespace {

enum KindIndex {
    kUnit,
    kLibrary,
    kProgram,
    kProject,
    kDeclaration,
    kProcedure,
    kFunction,
    kConstructor,
    kDestructor,
    kOperator,
    kBookmark
};

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lowered;
}

// The name a heading starts with: up to a blank, the result's colon, the
// directives' semicolon or the parameters' parenthesis, and never past a
// control character, which no tags file could hold.
std::string_view LeadingName(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && text[begin] == ' ') {
        ++begin;
    }
    size_t end = begin;
    while (end < text.size() && text[end] != ' ' && text[end] != ':' && text[end] != ';' &&
           (end == begin || text[end] != '(') && !IsControl(text[end])) {
        ++end;
    }
    return text.substr(begin, end - begin);
}

const TagKind* KindOfRow(const SymbolRow& row) {
    const auto& kinds = TagKinds();
    switch (row.category) {
    case catHeader: {
        const std::string word = Lowered(row.className);
        if (word == "unit")
            return &kinds[kUnit];
        if (word == "library")
            return &kinds[kLibrary];
        if (word == "program")
            return &kinds[kProgram];
        if (word == "project")
            return &kinds[kProject];
        return nullptr; // the IMPLEMENTATION line
    }
    case catDeclaration:
        return &kinds[kDeclaration];
    case catBookmark:
        return &kinds[kBookmark];
    case catProcedure:
    case catFunction:
        switch (row.routine) {
        case RoutineKind::Constructor:
            return &kinds[kConstructor];
        case RoutineKind::Destructor:
            return &kinds[kDestructor];
        case RoutineKind::Operator:
            return &kinds[kOperator];
        default:
            return &kinds[row.category == catFunction ? kFunction : kProcedure];
        }
    }
    return nullptr;
}

// A field value: a tab or a backslash would end or change it.
void AppendFieldValue(std::string& out, std::string_view value) {
    for (const char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (!IsControl(c)) {
            out += c;
        }
    }
}

void AppendNumber(std::string& out, uint64_t number) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, static_cast<size_t>(end - digits));
}

} // namespace

const std::vector<TagKind>& TagKinds() {
    static const std::vector<TagKind> kinds{
        {'u', "unit", "units"},
        {'l', "library", "libraries"},
        {'g', "program", "programs"},
        {'j', "project", "projects"},
        {'d', "declaration", "routine declarations before IMPLEMENTATION"},
        {'p', "procedure", "procedures"},
        {'f', "function", "functions"},
        {'c', "constructor", "constructors"},
        {'x', "destructor", "destructors"},
        {'o', "operator", "operators"},
        {'b', "bookmark", "bookmark lines ({//*})"},
    };
    return kinds;
}

bool TagOfRow(const SymbolRow& row, TextEncoding encoding, Tag& tag) {
    tag.kind = KindOfRow(row);
    if (tag.kind == nullptr) {
        return false;
    }
    tag.definition = row.category != catDeclaration;
    tag.className.clear();
    if (row.category == catBookmark) {
        tag.name = "bookmark";
        return true;
    }
    std::string name = ToUtf8(LeadingName(row.name), encoding);
    if (row.category != catHeader) {
        tag.className = ToUtf8(row.className, encoding);
        // No identifier holds a control character; a tab or a line break
        // would end the line of a tags file.
        std::erase_if(tag.className, IsControl);
        // A qualified name (TOuter.TInner.Method) keeps its last part; the
        // rest belongs to the class.
        if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot + 1 < name.size()) {
            if (!tag.className.empty()) {
                tag.className += '.';
            }
            tag.className += name.substr(0, dot);
            name.erase(0, dot + 1);
        }
    }
    tag.name = std::move(name);
    return !tag.name.empty();
}

bool NameFitsTagsFile(std::string_view path) {
    return path.find_first_of("\t\n\r") == std::string_view::npos;
}

void CtagsLines::Add(size_t order, std::string_view path, std::span<const SymbolRow> rows,
                     TextEncoding encoding) {
    std::vector<Line> lines;
    Tag tag;
    for (const SymbolRow& row : rows) {
        if (!TagOfRow(row, encoding, tag)) {
            continue;
        }
        std::string fields;
        fields += '\t';
        fields += path;
        fields += '\t';
        AppendNumber(fields, static_cast<uint64_t>(row.line));
        fields += ";\"\t";
        fields += tag.kind->letter;
        if (!tag.className.empty()) {
            fields += "\tclass:";
            AppendFieldValue(fields, tag.className);
        }
        const bool declaration = !tag.definition;
        lines.push_back({tag.name + fields, declaration, order, row.line});
        // A method is found by its qualified name too (:tag TShape.GetArea).
        if (!tag.className.empty()) {
            lines.push_back(
                {tag.className + '.' + tag.name + fields, declaration, order, row.line});
        }
    }
    std::lock_guard lock(mutex_);
    std::move(lines.begin(), lines.end(), std::back_inserter(lines_));
}

std::string CtagsLines::Finish() {
    const auto name = [](const Line& line) {
        return std::string_view(line.text).substr(0, line.text.find('\t'));
    };
    std::sort(lines_.begin(), lines_.end(), [&](const Line& a, const Line& b) {
        if (const int c = name(a).compare(name(b)); c != 0) {
            return c < 0;
        }
        if (a.declaration != b.declaration) {
            return b.declaration;
        }
        return a.order != b.order ? a.order < b.order : a.line < b.line;
    });
    std::vector<std::string> header{
        "!_TAG_FILE_ENCODING\tutf-8\t//",
        "!_TAG_FILE_FORMAT\t2\t/extended format; --format=1 will not append ;\" to lines/",
        "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/",
        "!_TAG_PROGRAM_NAME\tkestrel-list\t//",
    };
    for (const TagKind& kind : TagKinds()) {
        header.push_back(std::string("!_TAG_KIND_DESCRIPTION!Pascal\t") + kind.letter + ',' +
                         kind.name + "\t/" + kind.description + "/");
    }
    std::sort(header.begin(), header.end());
    std::string out;
    for (const std::string& line : header) {
        out += line;
        out += '\n';
    }
    for (const Line& line : lines_) {
        out += line.text;
        out += '\n';
    }
    lines_.clear();
    return out;
}

void AppendEtagsSection(std::string& out, std::string_view path, std::string_view bytes,
                        std::span<const SymbolRow> rows, TextEncoding encoding) {
    // Emacs goes to the first tag of a name: definitions come before the
    // declarations of the interface.
    std::string definitions;
    std::string declarations;
    Tag tag;
    // Rows come in line order; the walk over the bytes follows them.
    int32_t line = 1;
    size_t lineStart = 0;
    for (const SymbolRow& row : rows) {
        if (!TagOfRow(row, encoding, tag)) {
            continue;
        }
        while (line < row.line && lineStart < bytes.size()) {
            const size_t lf = bytes.find('\n', lineStart);
            lineStart = lf == std::string_view::npos ? bytes.size() : lf + 1;
            ++line;
        }
        const size_t lf = bytes.find('\n', lineStart);
        std::string text = ToUtf8(
            bytes.substr(lineStart, (lf == std::string_view::npos ? bytes.size() : lf) - lineStart),
            encoding);
        // Emacs looks for this text where the line was: the line up to the
        // end of the name, or the whole line where the name is not in it.
        if (const size_t at = text.find(tag.name);
            at != std::string::npos && tag.kind->letter != 'b') {
            text.resize(at + tag.name.size());
        }
        // These bytes would end the text or the section.
        std::erase_if(text,
                      [](char c) { return c == '\x7f' || c == '\x01' || c == '\r' || c == '\f'; });
        std::string& body = tag.definition ? definitions : declarations;
        for (const std::string& name :
             {tag.name, tag.className.empty() ? std::string() : tag.className + '.' + tag.name}) {
            if (name.empty()) {
                continue;
            }
            body += text;
            body += '\x7f';
            body += name;
            body += '\x01';
            AppendNumber(body, static_cast<uint64_t>(row.line));
            body += ',';
            AppendNumber(body, lineStart);
            body += '\n';
        }
    }
    out += "\f\n";
    out += path;
    out += ',';
    AppendNumber(out, definitions.size() + declarations.size());
    out += '\n';
    out += definitions;
    out += declarations;
}

} // namespace kestrel
