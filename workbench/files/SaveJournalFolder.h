#pragma once

#include <QString>

namespace workbench {

// Where the journals of in-place saves are kept while they run (see
// SaveJournal): a folder of the user's data, found again at the next start.
QString SaveJournalFolder();

} // namespace workbench
