#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QWidget;

namespace workbench {

class OpenDocuments;

// Gives the code editor window back its place when a modal window closes.
// A modal window belongs to the main window, so when it closes the window
// system activates the main window and raises it over the code editor. When
// the code editor window was the last of the workbench's windows to be
// activated before the modal window closed (the user's, or an add-in's
// choice before it opened its window), it is activated again instead, with
// the keyboard focus in its current editor. After an add-in's command or
// File > Open the code editor window is activated whichever window the
// command started from: the user goes on typing in the file.
class EditorFocusReturn : public QObject {
    Q_OBJECT

public:
    EditorFocusReturn(OpenDocuments& documents, QWidget& mainWindow);
    ~EditorFocusReturn() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CommandEnded();
    void ReturnToEditor();

    OpenDocuments& documents_;
    QWidget& mainWindow_;
    QPointer<QWidget> lastActivated_;
    // Since the modal window closed; the main window's activation that the
    // window system makes late is still answered within a moment of it.
    QElapsedTimer sinceModalClosed_;
};

} // namespace workbench
