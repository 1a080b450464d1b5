#include "features/SourceStructure.h"
#include "features/structure/StructureParser.h"

#include <algorithm>
#include <utility>

namespace kestrel::lsp {

namespace {

using Structure = SourceStructure;
using Checkpoint = Structure::Checkpoint;
using Token = Structure::Token;
constexpr size_t kNone = Structure::kNone;

// Where the offsets of the old text stand in the new one.
struct Change {
    size_t start;
    size_t oldEnd;
    size_t newEnd;

    static constexpr size_t kChanged = kNone - 1; // never a real offset

    size_t Map(size_t old) const {
        if (old == kNone || old < start) {
            return old;
        }
        return old >= oldEnd ? old - oldEnd + newEnd : kChanged;
    }
    // Offsets that stand after the change, moved with the text.
    size_t Shift(size_t old) const { return old == kNone ? old : old - oldEnd + newEnd; }

    bool SameToken(const Token& now, const Token& before) const {
        return now.start == Map(before.start) && now.end == Map(before.end) &&
               now.kind == before.kind && now.word == before.word &&
               now.firstOnLine == before.firstOnLine && now.column == before.column;
    }
};

// Moves the elements of `from` from `first` on to the end of `to`.
template <class T> void MoveTail(std::vector<T>& from, size_t first, std::vector<T>& to) {
    to.insert(to.end(), std::make_move_iterator(from.begin() + static_cast<std::ptrdiff_t>(first)),
              std::make_move_iterator(from.end()));
}

// The same, each moved element then passed to `move`.
template <class T, class Move>
void AppendMoved(std::vector<T>& from, size_t first, std::vector<T>& to, Move&& move) {
    const size_t at = to.size();
    MoveTail(from, first, to);
    for (size_t i = at; i < to.size(); ++i) {
        move(to[i]);
    }
}

// Cuts `all` at `size`, giving what came after.
template <class T> std::vector<T> CutAt(std::vector<T>& all, size_t size) {
    std::vector<T> tail;
    MoveTail(all, size, tail);
    all.resize(size);
    return tail;
}

// What the old reading found from the checkpoint read again from on, and
// where it had found the sections in the end.
struct OldRest {
    std::vector<Structure::TypeSpan> types;
    std::vector<Structure::Routine> routines;
    std::vector<std::string> uses;
    std::vector<Structure::Span> comments;
    std::vector<Structure::Span> regions;
    std::vector<Checkpoint> checkpoints;
    size_t interfaceStart = kNone;
    size_t implementationStart = kNone;
    size_t sectionsEnd = kNone;
};

// Cuts `out` back to what it held at `from`, checkpoint number `number`,
// and gives what came after.
OldRest CutBackTo(Structure& out, const Checkpoint& from, size_t number) {
    OldRest rest;
    rest.interfaceStart = out.interfaceStart;
    rest.implementationStart = out.implementationStart;
    rest.sectionsEnd = out.sectionsEnd;
    rest.types = CutAt(out.types, from.types);
    rest.routines = CutAt(out.routines, from.routines);
    rest.uses = CutAt(out.uses, from.uses);
    rest.comments = CutAt(out.comments, from.comments);
    rest.regions = CutAt(out.regions, from.regions);
    rest.checkpoints = CutAt(out.checkpoints, number);
    out.interfaceStart = from.interfaceStart;
    out.implementationStart = from.implementationStart;
    out.sectionsEnd = from.sectionsEnd;
    return rest;
}

// The old reading's checkpoint with the same state as `now`, a checkpoint
// of the new reading past the change; null when there is none.
const Checkpoint* SameState(const Checkpoint& now, const std::vector<Checkpoint>& old,
                            const Change& change) {
    if (now.previous.start < change.newEnd) {
        return nullptr;
    }
    const size_t oldStart = now.token.start - change.newEnd + change.oldEnd;
    const auto found =
        std::partition_point(old.begin(), old.end(),
                             [oldStart](const Checkpoint& c) { return c.token.start < oldStart; });
    if (found == old.end() || found->token.start != oldStart) {
        return nullptr;
    }
    const Checkpoint& before = *found;
    if (!change.SameToken(now.token, before.token) ||
        !change.SameToken(now.previous, before.previous) ||
        now.interfaceStart != change.Map(before.interfaceStart) ||
        now.implementationStart != change.Map(before.implementationStart) ||
        now.sectionsEnd != change.Map(before.sectionsEnd) ||
        now.openRegions.size() != before.openRegions.size()) {
        return nullptr;
    }
    for (size_t r = 0; r < now.openRegions.size(); ++r) {
        if (now.openRegions[r] != change.Map(before.openRegions[r])) {
            return nullptr;
        }
    }
    return &before;
}

// Appends what the old reading found after `met` (its checkpoint that the
// new reading's last one, `reached`, agreed with), moved to where its text
// now stands. The old rest begins at `from`.
void AppendFoundAfter(Structure& out, OldRest& rest, const Checkpoint& from, const Checkpoint& met,
                      const Checkpoint& reached, const Change& change) {
    const int typeShift = static_cast<int>(reached.types) - static_cast<int>(met.types);
    const auto moveIndex = [typeShift](int index) { return index < 0 ? index : index + typeShift; };
    AppendMoved(rest.types, met.types - from.types, out.types, [&](Structure::TypeSpan& type) {
        type.nameStart = change.Shift(type.nameStart);
        type.nameEnd = change.Shift(type.nameEnd);
        type.end = change.Shift(type.end);
        type.parent = moveIndex(type.parent);
    });
    AppendMoved(rest.routines, met.routines - from.routines, out.routines,
                [&](Structure::Routine& routine) {
                    routine.start = change.Shift(routine.start);
                    routine.end = change.Shift(routine.end);
                    routine.nameStart = change.Shift(routine.nameStart);
                    routine.nameEnd = change.Shift(routine.nameEnd);
                    routine.bodyEnd = change.Shift(routine.bodyEnd);
                    routine.owner = moveIndex(routine.owner);
                });
    MoveTail(rest.uses, met.uses - from.uses, out.uses);
    // The lexer read ahead of the parser: what it noted past the meeting
    // point comes from the old reading too.
    out.comments.resize(reached.comments);
    out.regions.resize(reached.regions);
    AppendMoved(rest.comments, met.comments - from.comments, out.comments,
                [&](Structure::Span& comment) {
                    comment = {change.Shift(comment.start), change.Shift(comment.end)};
                });
    AppendMoved(rest.regions, met.regions - from.regions, out.regions,
                [&](Structure::Span& region) {
                    // A region may have begun before the checkpoint.
                    region = {change.Map(region.start), change.Shift(region.end)};
                });
    // Set again after the meeting point by the old reading: where that was.
    const auto setAfter = [&](size_t& value, size_t atMet, size_t oldFinal) {
        if (oldFinal != atMet) {
            value = change.Shift(oldFinal);
        }
    };
    setAfter(out.interfaceStart, met.interfaceStart, rest.interfaceStart);
    setAfter(out.implementationStart, met.implementationStart, rest.implementationStart);
    setAfter(out.sectionsEnd, met.sectionsEnd, rest.sectionsEnd);
}

// Appends the old reading's checkpoints after `met`, moved with the text,
// and their counts made those of the new reading, which stood at `reached`
// where the old one stood at `met`.
void AppendCheckpointsAfter(Structure& out, OldRest& rest, const Checkpoint& met,
                            const Checkpoint& reached, const Change& change) {
    const auto count = [](size_t value, size_t nowCount, size_t oldCount) {
        return value - oldCount + nowCount;
    };
    const size_t at = out.checkpoints.size();
    MoveTail(rest.checkpoints, static_cast<size_t>(&met - rest.checkpoints.data()) + 1,
             out.checkpoints);
    for (size_t c = at; c < out.checkpoints.size(); ++c) {
        Checkpoint& checkpoint = out.checkpoints[c];
        for (Token* token : {&checkpoint.token, &checkpoint.previous}) {
            token->start = change.Shift(token->start);
            token->end = change.Shift(token->end);
        }
        checkpoint.read = change.Shift(checkpoint.read);
        for (size_t& region : checkpoint.openRegions) {
            region = change.Map(region);
        }
        checkpoint.comments = count(checkpoint.comments, reached.comments, met.comments);
        checkpoint.regions = count(checkpoint.regions, reached.regions, met.regions);
        checkpoint.types = count(checkpoint.types, reached.types, met.types);
        checkpoint.routines = count(checkpoint.routines, reached.routines, met.routines);
        checkpoint.uses = count(checkpoint.uses, reached.uses, met.uses);
        checkpoint.interfaceStart = change.Map(checkpoint.interfaceStart);
        checkpoint.implementationStart = change.Map(checkpoint.implementationStart);
        checkpoint.sectionsEnd = change.Map(checkpoint.sectionsEnd);
    }
}

} // namespace

SourceStructure ReadSourceStructure(std::string_view text, SourceStructure&& old, size_t start,
                                    size_t oldEnd, size_t newEnd) {
    const Change change{start, oldEnd, newEnd};
    // The last checkpoint whose state depends on nothing at or after the
    // change (the reader peeks one character past where it stopped).
    const auto after =
        std::partition_point(old.checkpoints.begin(), old.checkpoints.end(),
                             [start](const Checkpoint& c) { return c.read + 2 <= start; });
    if (after == old.checkpoints.begin() || start > text.size()) {
        return ReadSourceStructure(text);
    }
    const Checkpoint from = *std::prev(after);
    const size_t fromNumber = static_cast<size_t>(std::prev(after) - old.checkpoints.begin());

    Structure out = std::move(old);
    OldRest rest = CutBackTo(out, from, fromNumber);
    const Checkpoint* met = nullptr;
    ParseStructure(text, out, Checkpoints::Kept, &from, [&](const Checkpoint& now) {
        met = SameState(now, rest.checkpoints, change);
        return met != nullptr;
    });
    if (met == nullptr) {
        return out; // read to the end
    }
    // Copies: appending moves the checkpoints these would point into.
    const Checkpoint reached = out.checkpoints.back();
    const Checkpoint meeting = *met;
    AppendFoundAfter(out, rest, from, meeting, reached, change);
    AppendCheckpointsAfter(out, rest, *met, reached, change);
    return out;
}

} // namespace kestrel::lsp
