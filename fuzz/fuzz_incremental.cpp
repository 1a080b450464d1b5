// Reading again after a change against reading the whole text. The input
// is a text; the edits made to it come from a generator seeded by the
// input, so that each input is its own run of edits. After each, the line
// index, the structure, the outline and the outline's answer read from the
// change alone must be those of the whole text.
#include "documents/TextDocument.h"
#include "features/Outline.h"
#include "features/SourceStructure.h"
#include "protocol/answers/SymbolAnswers.h"
#include "server/OutlineAnswers.h"

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kestrel::lsp;

// What is inserted, `|` between pieces.
constexpr std::string_view kPieceList =
    "{|}|(*|*)|//|'|end;|end|begin|\n|\r\n|\r|case|class|record|x| |type\n|{$region}|"
    "{$endregion}|interface|implementation|try|asm|procedure TA.B;\n|  TB = class\n|"
    "{//* mark}|uses U;|<T>|(|)|forward;";

std::vector<std::string_view> Pieces() {
    std::vector<std::string_view> pieces;
    for (size_t at = 0; at <= kPieceList.size();) {
        const size_t bar = std::min(kPieceList.find('|', at), kPieceList.size());
        pieces.push_back(kPieceList.substr(at, bar - at));
        at = bar + 1;
    }
    return pieces;
}

bool SameStructure(const SourceStructure& a, const SourceStructure& b) {
    return a.types == b.types && a.routines == b.routines && a.uses == b.uses &&
           a.comments == b.comments && a.regions == b.regions &&
           a.interfaceStart == b.interfaceStart && a.implementationStart == b.implementationStart &&
           a.sectionsEnd == b.sectionsEnd;
}

bool SameLines(const TextDocument& a, const TextDocument& b) {
    if (a.LineCount() != b.LineCount() || a.HasLoneCarriageReturn() != b.HasLoneCarriageReturn()) {
        return false;
    }
    for (int64_t line = 0; line < a.LineCount(); ++line) {
        if (a.LineStart(line) != b.LineStart(line)) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::mt19937 random(static_cast<uint32_t>(std::hash<std::string_view>{}(input)));
    TextDocument document{std::string(input)};
    SourceStructure structure = ReadSourceStructure(document.Text());
    OutlineRows rows(document);
    OutlineAnswers answers;
    uint64_t read = document.Revision();
    for (int edit = 0; edit < 16; ++edit) {
        const size_t length = document.Text().size();
        const size_t start = random() % (length + 1);
        const size_t removed =
            random() % 3 == 0 ? std::min<size_t>(random() % 32, length - start) : 0;
        static const std::vector<std::string_view> pieces = Pieces();
        const std::string_view piece = pieces[random() % pieces.size()];
        document.Replace(start, start + removed, piece);
        if (random() % 3 == 0) {
            continue; // read after the next edit too
        }
        const TextDocument whole(document.Text());
        const auto change = document.ChangeSince(read);
        if (!SameLines(document, whole) || !change) {
            std::abort();
        }
        structure = ReadSourceStructure(document.Text(), std::move(structure), change->start,
                                        change->oldEnd, change->newEnd);
        rows = OutlineRows(document, std::move(rows), *change);
        read = document.Revision();
        const SourceStructure full = ReadSourceStructure(document.Text());
        const std::string expected =
            DocumentSymbolsJson(BuildOutline(document), document, PositionEncoding::Utf16);
        if (!SameStructure(structure, full) ||
            DocumentSymbolsJson(BuildOutline(document, rows, structure), document,
                                PositionEncoding::Utf16) != expected ||
            *answers.Answer(document, structure, PositionEncoding::Utf16) != expected) {
            std::abort();
        }
    }
    return 0;
}
