#pragma once

namespace workbench {

class OpenDocuments;

// At start-up: completes the in-place saves that a workbench which died cut
// short, and says which (finished, or undone when the new bytes cannot be
// written); then offers the unsaved changes it left behind. "Recover" opens
// them as modified documents, "Discard" deletes them, "Later" keeps them for
// the next start.
void OfferRecovery(OpenDocuments& documents);

} // namespace workbench
