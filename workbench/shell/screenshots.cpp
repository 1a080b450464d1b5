// Writes pictures of the workbench's windows, for the README. Runs on any
// platform plugin, the offscreen one included.
#include "About.h"
#include "BookmarkMarks.h"
#include "ColumnSort.h"
#include "MainWindow.h"
#include "MemorySource.h"
#include "MenuTree.h"
#include "ProcList.h"

#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
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

    // The pictures must not depend on, or change, the user's own settings.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    workbench::MainWindow window;
    window.show();
    window.LoadAddIn(workbench::DefaultAddInPath());
    workbench::EditorDocument* document = window.Documents().OpenFile(args.at(2));
    if (document == nullptr) {
        return 1;
    }
    // The editor once its bookmark markers are in: colours, folding and
    // the markers in their margins.
    QEventLoop markers;
    QObject::connect(document->Bookmarks(), &workbench::BookmarkMarks::Updated, &markers,
                     &QEventLoop::quit);
    QTimer::singleShot(5000, &markers, &QEventLoop::quit);
    markers.exec();
    window.Documents().EditWindow()->resize(760, 620);
    // The cursor on the marked line, with strings, numbers and folds around.
    document->Editor()->SetCursorLineColumn(51, 3);
    document->SetTopLine(30);
    QApplication::processEvents();

    bool ok = window.grab().save(out.filePath("workbench-main.png"));
    ok = window.Documents().EditWindow()->grab().save(out.filePath("workbench-editor.png")) && ok;

    // The Search menu with the add-in's commands.
    QAction* search = workbench::FindMenuAction(*window.menuBar(), "SearchMenu");
    search->menu()->popup(window.mapToGlobal(QPoint(0, 0)));
    QApplication::processEvents();
    ok = search->menu()->grab().save(out.filePath("search-menu.png")) && ok;
    search->menu()->hide();

    // The symbol list window: every category shown, sorted by Name.
    kestrel::TfrmProc list(&window);
    const std::string buffer = *document->BufferBytes();
    list.LoadSource(kestrel::MemorySource(buffer));
    for (QToolButton* button : {list.btnD, list.btnP, list.btnF, list.btnB}) {
        button->setChecked(true);
        list.btnDClick(button);
    }
    list.lstShowLineColumnClick(1);
    list.lstShowLine->SelectRow(3);
    list.show();
    QApplication::processEvents();
    ok = list.grab().save(out.filePath("symbol-list.png")) && ok;

    kestrel::TfrmAbout about(&list);
    about.show();
    QApplication::processEvents();
    ok = about.grab().save(out.filePath("about.png")) && ok;
    about.hide();
    list.hide();
    return ok ? 0 : 1;
}
