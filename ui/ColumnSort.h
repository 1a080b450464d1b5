#pragma once

#include "ListRow.h"

class QCollator;

namespace kestrel {

class SymbolListView;

// The visible list's sort state: the column (0 Line, 1 Name, 2 Class,
// 3 Details) and the direction. Program-wide, as the design keeps it, not a
// window's member; the window is modal, so only one ever uses it at a time.
extern int SortColumn;
extern bool SortAscending;

// Compares two rows by the current sort state: negative when `a` goes
// first. Line numbers compare as numbers; the other columns compare their
// texts with ASCII letters upper-cased, under the user's locale.
int CompareRows(const ListRow& a, const ListRow& b, const QCollator& collator);

// A click on `column`: the same column again reverses the order, another
// column sorts ascending. Then the list is sorted.
void SortByColumn(SymbolListView* list, int column);

// The text a row is sorted by in a text column: ASCII a to z upper-cased,
// nothing else changed.
QString AsciiUpper(const QString& text);

} // namespace kestrel
