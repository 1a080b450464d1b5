#include "ReplaceText.h"

#include <QTextCursor>
#include <QTextDocument>

namespace workbench {

void ReplaceDocumentText(QTextDocument* document, const QString& text) {
    // The document's raw text separates blocks with U+2029; compare like
    // with like.
    QString wanted = text;
    wanted.replace(QLatin1Char('\n'), QChar::ParagraphSeparator);
    const QString current = document->toRawText();

    const qsizetype limit = qMin(current.size(), wanted.size());
    qsizetype head = 0;
    while (head < limit && current.at(head) == wanted.at(head)) {
        ++head;
    }
    qsizetype tail = 0;
    while (tail < limit - head &&
           current.at(current.size() - 1 - tail) == wanted.at(wanted.size() - 1 - tail)) {
        ++tail;
    }
    // Never split a surrogate pair.
    if (head > 0 && wanted.at(head - 1).isHighSurrogate()) {
        --head;
    }
    if (tail > 0 && wanted.at(wanted.size() - tail).isLowSurrogate()) {
        --tail;
    }
    if (head == current.size() && head == wanted.size()) {
        return;
    }
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setPosition(static_cast<int>(head));
    cursor.setPosition(static_cast<int>(current.size() - tail), QTextCursor::KeepAnchor);
    cursor.insertText(text.mid(head, wanted.size() - head - tail));
    cursor.endEditBlock();
}

} // namespace workbench
