#include "BookmarkMarks.h"

#include "EditorDocument.h"
#include "ScanRows.h"

#include <QtConcurrent/QtConcurrentRun>

namespace workbench {

BookmarkMarks::BookmarkMarks(EditorDocument& document) : QObject(&document), document_(document) {
    pause_.setSingleShot(true);
    pause_.setInterval(kDelayMs);
    connect(&pause_, &QTimer::timeout, this, &BookmarkMarks::Scan);
    connect(&document, &EditorDocument::TextChanged, &pause_, qOverload<>(&QTimer::start));
    connect(&scan_, &QFutureWatcher<QList<int>>::finished, this, [this] {
        if (CodeEditor* editor = document_.Editor(); editor && !scan_.isCanceled()) {
            editor->SetBookmarkLines(scan_.result());
            emit Updated();
        }
        if (std::exchange(changedWhileScanning_, false)) {
            Scan();
        }
    });
    pause_.start(); // the markers of the text as it was opened
}

BookmarkMarks::~BookmarkMarks() {
    // The scan holds a copy of the text; it may finish on its own.
    scan_.disconnect();
}

void BookmarkMarks::Scan() {
    CodeEditor* editor = document_.Editor();
    if (editor == nullptr) {
        return;
    }
    if (scan_.isRunning()) {
        changedWhileScanning_ = true;
        return;
    }
    // The editor's text may change while the scan runs: it scans a copy of
    // the host buffer, made here on the user interface's thread.
    scan_.setFuture(QtConcurrent::run([buffer = document_.BufferBytes()] {
        QList<int> lines;
        kestrel::ScanRows(kestrel::TextLineReader(*buffer), [&](kestrel::SymbolRow&& row) {
            if (row.category == kestrel::catBookmark) {
                lines << row.line;
            }
        });
        return lines;
    }));
}

} // namespace workbench
