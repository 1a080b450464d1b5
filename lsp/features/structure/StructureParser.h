#pragma once

#include "features/SourceStructure.h"

#include <functional>
#include <string_view>

namespace kestrel::lsp {

// Whether the reading stops at a checkpoint it has just taken.
using CheckpointStop = std::function<bool(const SourceStructure::Checkpoint&)>;

// Reads the tokens of `text` into `out`: from the start of the text when
// `from` is null, else from that checkpoint, `out` holding what was found
// before it. Reads to the end of the text, or until `stop` is true for a
// checkpoint just taken; with Checkpoints::None it takes none. With
// StructureParts::TypeSpans it notes only what that asks for.
//
// Where the code is broken, the reading recovers as a reader of the code
// would: a type whose `end` is missing is closed by code that no type holds
// (a BEGIN, a qualified routine heading) or by a declaration left of the
// type's name; a body whose `end` is missing is closed by a heading at or
// left of its own. A method resolution clause (`function IFoo.Bar = Baz;`)
// is a member, and a generic's `<…>` is passed over in names and headings.
void ParseStructure(std::string_view text, SourceStructure& out, Checkpoints checkpoints,
                    const SourceStructure::Checkpoint* from, const CheckpointStop& stop,
                    StructureParts parts = StructureParts::All);

} // namespace kestrel::lsp
