// Audimark: the desktop companion program of the QV58M sound level meters.

#include "app/ArchiveSession.h"
#include "app/CommandLineOptions.h"
#include "app/HelpFile.h"
#include "app/ProgramIcon.h"
#include "app/ScreenshotRecorder.h"
#include "app/TfrmMain.h"
#include "data/DataDirectory.h"
#include "files/dialogs/MessageBoxes.h"
#include "files/dialogs/TVersionInfo.h"
#include "files/dialogs/TfrmAbout.h"
#include "serial/ComErrors.h"
#include "serial/TComPort.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>

namespace {
constexpr int DemoDataSets = 5;

// The demonstration meter: the virtual meter on a pseudo-terminal of its
// own, paced like the real one, served on its own thread.
// The arguments without the window toolkit's own options (-platform NAME,
// -style=NAME, -reverse and the like, also with two dashes), which
// QApplication takes out of the list itself. Lets the program's options be
// checked before the application object, which needs a display, exists.
QStringList withoutToolkitOptions(const QStringList& arguments)
{
    static const QStringList withValue{
        QStringLiteral("platform"),   QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"), QStringLiteral("title"),
        QStringLiteral("qwindowicon"), QStringLiteral("icon"),
        QStringLiteral("display"),    QStringLiteral("name"),
        QStringLiteral("session"),    QStringLiteral("style"),
        QStringLiteral("stylesheet")};
    static const QStringList flags{QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"), QStringLiteral("dograb"),
                                   QStringLiteral("testability")};
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (i == 0 || !argument.startsWith(QLatin1Char('-')) ||
            argument.startsWith(QLatin1String("---"))) {
            kept << argument;
            continue;
        }
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const QString bare = name.section(QLatin1Char('='), 0, 0);
        if (withValue.contains(name)) {
            ++i; // its value
            continue;
        }
        if (flags.contains(name) || (withValue.contains(bare) && name.contains(QLatin1Char('='))) ||
            bare == QLatin1String("qmljsdebugger"))
            continue;
        kept << argument;
    }
    return kept;
}

std::unique_ptr<vmeter::VirtualMeter> startDemoMeter(int model)
{
    vmeter::VirtualMeterOptions options;
    options.protocol.model =
        model == 841 ? vmeter::MeterModel::Model841 : vmeter::MeterModel::Model842;
    options.protocol.idReply = model == 841 ? QByteArrayLiteral("0841") : QByteArrayLiteral("0842");
    // A model 842 has a few recorded data sets for Load Data to show.
    if (model != 841) {
        options.protocol.logger.generatedSets = DemoDataSets;
        // A seed whose first set, the one shown after loading, is a long one.
        options.protocol.logger.seed = 2;
    }
    auto meter = std::make_unique<vmeter::VirtualMeter>(options);
    if (!meter->start()) {
        std::fprintf(stderr, "audimark: the demonstration meter could not start: %s\n",
                     qPrintable(meter->errorString()));
        return nullptr;
    }
    return meter;
}
} // namespace

int main(int argc, char** argv)
{
    // Help and version are answered before the application object, which
    // needs a display.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    switch (CommandLineOptions::earlyRequest(rawArguments)) {
    case CommandLineOptions::EarlyRequest::Help:
        std::fputs(qPrintable(CommandLineOptions::usage()), stdout);
        return 0;
    case CommandLineOptions::EarlyRequest::Version:
        // The version the About box shows.
        std::printf("Audimark %s\n", qPrintable(TVersionInfo().versionText()));
        return 0;
    case CommandLineOptions::EarlyRequest::None:
        break;
    }
    // A bad option is told before the application object, so that it gets
    // its usage also where there is no display to open.
    if (const CommandLineOptions early =
            CommandLineOptions::parse(withoutToolkitOptions(rawArguments));
        !early.error.isEmpty()) {
        std::fprintf(stderr, "audimark: %s\n%s", qPrintable(early.error),
                     qPrintable(CommandLineOptions::usage()));
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("RX840"));
    QApplication::setApplicationName(QStringLiteral("Audimark"));
    // No application display name: Qt would append it to every caption.
    QApplication::setDesktopFileName(QStringLiteral("audimark"));
    QApplication::setWindowIcon(ProgramIcon::icon());

    // Qt has taken its own options (-platform and the like) out of the list.
    const CommandLineOptions options = CommandLineOptions::parse(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "audimark: %s\n%s", qPrintable(options.error),
                     qPrintable(CommandLineOptions::usage()));
        return 2;
    }

    HandlerGuard::setErrorDisplay([](const QString& message) {
        (void)MessageBoxes::show(QApplication::activeWindow(), QMessageBox::Critical,
                                 QStringLiteral("Audimark"), message);
    });

    const QString dataDirectory = DataDirectory::choose(options.dataDirectory);
    if (!DataDirectory::ensureExists(dataDirectory))
        std::fprintf(stderr, "audimark: the data directory %s cannot be created\n",
                     qPrintable(dataDirectory));
    if (!HelpFile::installInto(dataDirectory, HelpFile::installedCandidates()))
        std::fprintf(stderr, "audimark: the help page could not be copied to %s\n",
                     qPrintable(dataDirectory));

    QStringList extraPorts = options.extraPorts;
    std::unique_ptr<vmeter::VirtualMeter> demoMeter;
    if (options.demoModel != 0) {
        demoMeter = startDemoMeter(options.demoModel);
        if (demoMeter)
            extraPorts << demoMeter->slavePath();
    }
    TComPort::setExtraPorts(extraPorts);

    auto* splash = new TfrmAbout;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->showAsSplash();

    // Every recording and download is kept in the archive; one that cannot
    // be used is told once the main window is up, and left untouched.
    ArchiveSession archive;
    archive.setSpoolDirectory(dataDirectory);
    if (options.screenshotDirectory.isEmpty())
        (void)archive.open(ArchiveSession::chooseLocation(
            options.noArchive, options.archiveLocation,
            qEnvironmentVariable("AUDIMARK_ARCHIVE"), dataDirectory));

    TfrmMain::Environment environment;
    environment.dataDirectory = dataDirectory;
    environment.archive = &archive;
    environment.loggerTools = options.loggerTools;
    TfrmMain frmMain(environment);
    frmMain.setSplash(splash);

    std::unique_ptr<ScreenshotRecorder> screenshots;
    if (!options.screenshotDirectory.isEmpty())
        screenshots =
            std::make_unique<ScreenshotRecorder>(frmMain, *splash, options.screenshotDirectory);

    if (options.sampleGraphPoints > 0)
        QObject::connect(
            &frmMain, &TfrmMain::startUpFinished, &frmMain,
            [&frmMain, points = options.sampleGraphPoints] { frmMain.openSampleGraph(points); });

    frmMain.showMaximized();
    const int result = QApplication::exec();
    if (demoMeter)
        demoMeter->stop();
    return result;
}
