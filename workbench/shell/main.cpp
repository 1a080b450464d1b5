// The Kestrel workbench: a small editor host that loads the add-in.
#include "CrashFlush.h"
#include "MainWindow.h"
#include "RecoveryOffer.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrel Workbench");
    QApplication::setOrganizationName("Brenta");
    QApplication::setApplicationVersion(KESTREL_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription("A small editor host that loads the Kestrel add-in.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption addIn("addin", "Load the add-in library at <path>.", "path");
    const QCommandLineOption noAddIn("no-addin", "Run without an add-in.");
    parser.addOption(addIn);
    parser.addOption(noAddIn);
    parser.addPositionalArgument("files", "Files to open.", "[files...]");
    parser.process(app);

    workbench::InstallCrashFlush();
    workbench::MainWindow window;
    window.show();
    workbench::OfferRecovery(window.Documents());
    if (!parser.isSet(noAddIn)) {
        window.LoadAddIn(parser.isSet(addIn) ? parser.value(addIn) : workbench::DefaultAddInPath());
    }
    for (const QString& file : parser.positionalArguments()) {
        window.Documents().OpenFile(file);
    }
    return app.exec();
}
