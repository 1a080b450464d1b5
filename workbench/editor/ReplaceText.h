#pragma once

#include <QString>

class QTextDocument;

namespace workbench {

// Gives `document` the text `text` ('\n' ends lines) as one undo step that
// replaces only the stretch between the common beginning and end, so a small
// change on disk makes a small edit: quick, and the undo step stays small.
void ReplaceDocumentText(QTextDocument* document, const QString& text);

} // namespace workbench
