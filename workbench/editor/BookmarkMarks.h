#pragma once

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QTimer>

namespace workbench {

class EditorDocument;

// Keeps the bookmark markers in a document's editor current: a moment after
// the text last changed, it scans the text as the add-in does (the host
// buffer through ScanRows) in a worker thread, and marks every line listed
// as a bookmark. Typing is never held up by the scan, whatever the file's
// size.
class BookmarkMarks : public QObject {
    Q_OBJECT

public:
    // Pause after the last change before a scan starts.
    static constexpr int kDelayMs = 400;

    explicit BookmarkMarks(EditorDocument& document);
    ~BookmarkMarks() override;

signals:
    // The markers were set from a finished scan.
    void Updated();

private:
    void Scan();

    EditorDocument& document_;
    QTimer pause_;
    QFutureWatcher<QList<int>> scan_;
    bool changedWhileScanning_ = false;
};

} // namespace workbench
