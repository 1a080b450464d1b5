#include "features/Navigation.h"

#include "features/SingleBlanks.h"

#include <algorithm>

namespace kestrel::lsp {

namespace {

// The routines `structure` holds that `keep` takes; of those, the ones with
// `parameters` when there are any.
template <class Keep>
std::vector<int> Matching(const SourceStructure& structure, const std::string& parameters,
                          Keep keep) {
    std::vector<int> all;
    std::vector<int> same;
    for (size_t i = 0; i < structure.routines.size(); ++i) {
        const SourceStructure::Routine& routine = structure.routines[i];
        if (keep(routine)) {
            all.push_back(static_cast<int>(i));
            if (routine.parameters == parameters) {
                same.push_back(static_cast<int>(i));
            }
        }
    }
    return same.empty() ? all : same;
}

} // namespace

int RoutineAt(const TextDocument& document, const SourceStructure& structure, size_t offset) {
    const auto& routines = structure.routines;
    // The last heading that starts at or before the offset.
    const auto after = std::upper_bound(
        routines.begin(), routines.end(), offset,
        [](size_t at, const SourceStructure::Routine& routine) { return at < routine.start; });
    if (after == routines.begin()) {
        return -1;
    }
    const auto found = std::prev(after);
    const size_t end = document.LineEnd(document.LineOf(found->end));
    return offset <= end ? static_cast<int>(found - routines.begin()) : -1;
}

std::vector<int> Counterparts(const SourceStructure& structure, int index) {
    const SourceStructure::Routine& routine = structure.routines[static_cast<size_t>(index)];
    const auto sameName = [&routine](const SourceStructure::Routine& other) {
        return SameName(other.name, routine.name);
    };
    if (routine.body) {
        if (routine.qualifier.empty()) {
            return Matching(structure, routine.parameters, [&](const auto& other) {
                return !other.body && other.owner < 0 && sameName(other);
            });
        }
        // The types the qualifier names: by their whole path, else by the
        // last name alone.
        std::vector<bool> types(structure.types.size());
        bool any = false;
        for (size_t t = 0; t < structure.types.size(); ++t) {
            types[t] = SameName(structure.TypePath(static_cast<int>(t)), routine.qualifier);
            any = any || types[t];
        }
        if (!any) {
            for (size_t t = 0; t < structure.types.size(); ++t) {
                types[t] = SameName(structure.types[t].name, LastPart(routine.qualifier));
            }
        }
        return Matching(structure, routine.parameters, [&](const auto& other) {
            return !other.body && other.owner >= 0 && types[static_cast<size_t>(other.owner)] &&
                   sameName(other);
        });
    }
    if (routine.owner < 0) {
        return Matching(structure, routine.parameters, [&](const auto& other) {
            return other.body && other.qualifier.empty() && sameName(other);
        });
    }
    const std::string path = structure.TypePath(routine.owner);
    std::vector<int> found = Matching(structure, routine.parameters, [&](const auto& other) {
        return other.body && SameName(other.qualifier, path) && sameName(other);
    });
    if (found.empty()) {
        const std::string_view type = structure.types[static_cast<size_t>(routine.owner)].name;
        found = Matching(structure, routine.parameters, [&](const auto& other) {
            return other.body && !other.qualifier.empty() &&
                   SameName(LastPart(other.qualifier), type) && sameName(other);
        });
    }
    return found;
}

Identifier IdentifierAt(std::string_view text, size_t offset) {
    Identifier identifier;
    if (offset > text.size()) {
        return identifier;
    }
    size_t start = offset;
    while (start > 0 && IsNameChar(text[start - 1])) {
        --start;
    }
    size_t end = offset;
    while (end < text.size() && IsNameChar(text[end])) {
        ++end;
    }
    if (start == end || (text[start] >= '0' && text[start] <= '9')) {
        return identifier;
    }
    identifier.name = text.substr(start, end - start);
    identifier.start = start;
    identifier.end = end;
    size_t before = start;
    while (before > 0 && (text[before - 1] == ' ' || text[before - 1] == '\t')) {
        --before;
    }
    if (before > 0 && text[before - 1] == '.' && (before < 2 || text[before - 2] != '.')) {
        size_t qualifierEnd = before - 1;
        while (qualifierEnd > 0 &&
               (text[qualifierEnd - 1] == ' ' || text[qualifierEnd - 1] == '\t')) {
            --qualifierEnd;
        }
        size_t qualifierStart = qualifierEnd;
        while (qualifierStart > 0 && IsNameChar(text[qualifierStart - 1])) {
            --qualifierStart;
        }
        identifier.qualifier = text.substr(qualifierStart, qualifierEnd - qualifierStart);
    }
    return identifier;
}

std::string UnitOfPath(std::string_view path) {
    std::string_view name = path.substr(path.rfind('/') + 1);
    name = name.substr(0, name.rfind('.'));
    return FoldName(name);
}

std::string HeadingText(std::string_view text, const SourceStructure::Routine& routine) {
    const std::string_view heading = text.substr(routine.start, routine.end - routine.start);
    SingleBlanks out;
    for (size_t i = 0; i < heading.size(); ++i) {
        const char c = heading[i];
        // Comments go; what a heading's strings hold (default values) stays.
        std::string_view close;
        if (c == '{') {
            close = "}";
        } else if (c == '(' && i + 1 < heading.size() && heading[i + 1] == '*') {
            close = "*)";
        } else if (c == '/' && i + 1 < heading.size() && heading[i + 1] == '/') {
            close = "\n";
        }
        if (!close.empty()) {
            const size_t end = heading.find(close, i + 1);
            i = end == std::string_view::npos ? heading.size() : end + close.size() - 1;
            out.Blank();
            continue;
        }
        if (c == '\'') {
            const size_t end = heading.find('\'', i + 1);
            const size_t stop = end == std::string_view::npos ? heading.size() : end + 1;
            out.AddVerbatim(heading.substr(i, stop - i));
            i = stop - 1;
            continue;
        }
        // No blank just inside brackets or before a separator.
        if (c == ')' || c == ';' || c == ',' || c == ':' || out.EndsWith('(')) {
            out.NoBlank();
        }
        out.Add(c);
    }
    return out.Take();
}

} // namespace kestrel::lsp
