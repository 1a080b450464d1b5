#pragma once

#include <QObject>

namespace workbench {

class OpenDocuments;

// Message boxes and input dialogs of the workbench and its add-in stand
// centred on the code editor window while it is open, whichever window owns
// them: they are about the file there, and the main window is a narrow
// strip that the user is not looking at.
class DialogCentring : public QObject {
    Q_OBJECT

public:
    DialogCentring(OpenDocuments& documents, QWidget& mainWindow);
    ~DialogCentring() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OpenDocuments& documents_;
    QWidget& mainWindow_;
};

} // namespace workbench
