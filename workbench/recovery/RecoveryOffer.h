#pragma once

#include "FileStamp.h"
#include "RecoveryStore.h"

#include <QWidget>
#include <functional>
#include <string_view>

namespace workbench {

// Opens unsaved text recovered for `path` as a modified document; `base`
// describes the file the text was edited from. False when it was not opened
// (the file is open already).
using OpenRecoveredText =
    std::function<bool(const QString& path, std::string_view fileBytes, const FileStamp& base)>;

// At start-up: completes the in-place saves that a workbench which died cut
// short, and says which (finished, or undone when the new bytes cannot be
// written); then offers the unsaved changes it left behind in `store`.
// "Recover" opens them through `open`, "Discard" deletes them, "Later" keeps
// them for the next start. The questions are centred on `parent`.
void OfferRecovery(QWidget* parent, RecoveryStore& store, const OpenRecoveredText& open);

} // namespace workbench
