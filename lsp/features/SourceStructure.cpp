#include "features/SourceStructure.h"

#include "features/structure/PascalLexer.h"
#include "features/structure/StructureParser.h"

#include <algorithm>

namespace kestrel::lsp {

std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = LowerAscii(c);
    }
    return folded;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string SourceStructure::TypePath(int type) const {
    std::string path;
    for (; type >= 0; type = types[static_cast<size_t>(type)].parent) {
        path = path.empty() ? types[static_cast<size_t>(type)].name
                            : types[static_cast<size_t>(type)].name + '.' + path;
    }
    return path;
}

SourceStructure ReadSourceStructure(std::string_view text, Checkpoints checkpoints,
                                    StructureParts parts) {
    SourceStructure structure;
    ParseStructure(text, structure, checkpoints, nullptr, nullptr, parts);
    return structure;
}

} // namespace kestrel::lsp
