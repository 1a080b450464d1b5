// Writes pictures of the workbench's windows, for the README. Runs on any
// platform plugin, the offscreen one included.
#include "MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        qCritical("usage: kestrel-screenshots OUTPUT-FOLDER SAMPLE.pas");
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.path())) {
        qCritical("cannot create %s", qPrintable(out.path()));
        return 1;
    }

    workbench::MainWindow window;
    window.show();
    window.LoadAddIn(workbench::DefaultAddInPath());
    workbench::EditorDocument* document = window.OpenFile(args.at(2));
    if (document == nullptr) {
        return 1;
    }
    document->Editor()->SetCursorLineColumn(44, 10);
    QApplication::processEvents();

    bool ok = window.grab().save(out.filePath("workbench-main.png"));
    ok = window.EditWindow()->grab().save(out.filePath("workbench-editor.png")) && ok;
    return ok ? 0 : 1;
}
