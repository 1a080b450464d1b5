// The Kestrel workbench: a small editor host that loads the add-in.
#include "CrashFlush.h"
#include "EndSignals.h"
#include "MainWindow.h"
#include "RecoveryStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <string_view>

namespace {

const QCommandLineOption kAddIn("addin", "Load the add-in library at <path>.", "path");
const QCommandLineOption kNoAddIn("no-addin", "Run without an add-in.");

// Reads the command line; the help and the version are printed here, and
// the program ends.
void ParseCommandLine(QCommandLineParser& parser, const QCoreApplication& app) {
    QCoreApplication::setApplicationName("Kestrel Workbench");
    QCoreApplication::setOrganizationName("Brenta");
    QCoreApplication::setApplicationVersion(KESTREL_VERSION);
    parser.setApplicationDescription("A small editor host that loads the Kestrel add-in.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(kAddIn);
    parser.addOption(kNoAddIn);
    parser.addPositionalArgument("files", "Files to open.", "[files...]");
    parser.process(app);
}

// Whether the command line asks for the help or the version, which are
// answered without a window system (over SSH, in a package's checks).
bool AsksOnlyForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            return false;
        }
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version") {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AsksOnlyForText(argc, argv)) {
        const QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        ParseCommandLine(parser, app); // prints and ends the program
        return 2;
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    ParseCommandLine(parser, app);

    workbench::InstallCrashFlush();
    workbench::MainWindow window;
    const workbench::EndSignals endSignals([&window] { window.Documents().Recovery().Flush(); });
    window.show();
    window.Documents().OfferRecovery();
    if (!parser.isSet(kNoAddIn)) {
        window.LoadAddIn(parser.isSet(kAddIn) ? parser.value(kAddIn)
                                              : workbench::DefaultAddInPath());
    }
    for (const QString& file : parser.positionalArguments()) {
        window.Documents().OpenFile(file);
    }
    return app.exec();
}
