#pragma once

namespace workbench {

class OpenDocuments;

// At start-up: offers the unsaved changes that a workbench which died left
// behind. "Recover" opens them as modified documents, "Discard" deletes
// them, "Later" keeps them for the next start.
void OfferRecovery(OpenDocuments& documents);

} // namespace workbench
