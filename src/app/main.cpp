// quorvelqc: the monitor program. Options: --home DIR (also QUORVELQC_HOME)
// sets the program folder; --unattended answers every prompt without a
// person (see app/prompters.h); --list-samples prints the stored samples and
// exits; --capture FILE records the serial line for support (see
// link/line_capture.h); --version; --help. SIGTERM and SIGINT shut down like "File" > "Exit",
// answering any open or later prompt the way --unattended does.

#include "app/mdi_form_8700.h"
#include "app/prompters.h"
#include "app/sample_listing.h"
#include "app/shutdown_signals.h"
#include "util/program_folder.h"
#include "util/prompter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

struct Options {
    QString home;
    bool unattended = false;
    bool listSamples = false;
    QString capture;  // absolute; empty: MISC/CAPTURE decides
};

// Parses the command line before any window system is touched, so --help
// and --version work on a machine without a display.
Options parseCommandLine(int argc, char** argv)
{
    QCoreApplication parsing(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvelqc"));
    QCoreApplication::setApplicationVersion(QStringLiteral("3.1"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("QuorvelQC Monitor: collects, stores and reports the tests of a model 8700 oil analyzer."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption homeOption(
        QStringLiteral("home"),
        QStringLiteral("Program folder holding quorvelqc.ini, quorvelqc.log, QuorQCcal.def, DBquorqc.tpl and Img "
                       "(default: $QUORVELQC_HOME, else the program's own folder when writable, else the "
                       "per-user data folder)."),
        QStringLiteral("DIR"));
    const QCommandLineOption unattendedOption(
        QStringLiteral("unattended"),
        QStringLiteral("Run without anyone at the station: every message goes to the log and standard error and "
                       "is answered with the button that changes least; file dialogs are cancelled and other "
                       "dialogs closed as if cancelled."));
    const QCommandLineOption listSamplesOption(
        QStringLiteral("list-samples"),
        QStringLiteral("Print the samples of the database named in the settings file (number, date, dielectric, "
                       "ferrous index, water, Trifold values) and exit; needs no display."));
    const QCommandLineOption captureOption(
        QStringLiteral("capture"),
        QStringLiteral("Append every byte received and sent on the serial line, with its time, to FILE (kept below "
                       "MISC/CAPTURESIZE megabytes, default 4, by moving it to FILE.1); replaces MISC/CAPTURE."),
        QStringLiteral("FILE"));
    parser.addOption(homeOption);
    parser.addOption(unattendedOption);
    parser.addOption(listSamplesOption);
    parser.addOption(captureOption);
    parser.process(parsing);  // exits after --help, --version or an unknown option
    const QString capture = parser.value(captureOption);
    return {parser.value(homeOption), parser.isSet(unattendedOption), parser.isSet(listSamplesOption),
            capture.isEmpty() ? QString() : QDir(capture).absolutePath()};
}

// Chooses, creates and sets the program folder; false when it cannot be made.
bool setUpProgramFolder(const Options& options)
{
    const QString folder = qqc::ChooseProgramFolder(
        options.home, qEnvironmentVariable("QUORVELQC_HOME"), QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "quorvelqc: cannot create the program folder %s\n", qPrintable(folder));
        return false;
    }
    qqc::setProgramFolder(folder);
    return true;
}

int listSamples(int argc, char** argv, const Options& options)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvelqc"));
    QCoreApplication::setOrganizationName(QStringLiteral("QuorvelQC"));
    if (!setUpProgramFolder(options))
        return 1;
    bool listed = false;
    const QString text = qqc::storedSamplesText(0, &listed);
    std::fputs(qPrintable(text), listed ? stdout : stderr);
    return listed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseCommandLine(argc, argv);
    if (options.listSamples)
        return listSamples(argc, argv, options);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvelqc"));
    QApplication::setOrganizationName(QStringLiteral("QuorvelQC"));
    QApplication::setApplicationVersion(QStringLiteral("3.1"));
    if (!setUpProgramFolder(options))
        return 1;

    std::unique_ptr<qqc::Prompter> prompts;
    qqc::WidgetPrompter* widgetPrompter = nullptr;
    // Answers for the widget prompter once a stop signal came (see below).
    std::unique_ptr<qqc::UnattendedPrompter> stopAnswers;
    if (options.unattended) {
        prompts = std::make_unique<qqc::UnattendedPrompter>(qqc::programFile(QStringLiteral("quorvelqc.log")));
    } else {
        auto widgets = std::make_unique<qqc::WidgetPrompter>();
        widgetPrompter = widgets.get();
        prompts = std::move(widgets);
    }
    qqc::setPrompter(prompts.get());

    int status = 0;
    {
        qqc::MDIForm8700 form;
        form.monitor().setCaptureFile(options.capture);
        if (widgetPrompter != nullptr)
            widgetPrompter->setParent(&form);

        qqc::ShutdownSignals unixSignals;
        unixSignals.install();
        // A stop signal must not wait for a click: the open box or dialog and
        // every later prompt get the least-changing answer, logged as with
        // --unattended; then the frame closes like "File" > "Exit".
        QObject::connect(&unixSignals, &qqc::ShutdownSignals::shutdownRequested, &form, [&] {
            if (widgetPrompter != nullptr && !stopAnswers) {
                stopAnswers = std::make_unique<qqc::UnattendedPrompter>(qqc::programFile(QStringLiteral("quorvelqc.log")));
                widgetPrompter->answerFrom(stopAnswers.get());
            }
            form.close();
        });

        if (options.unattended) {
            QObject::connect(&form, &qqc::MDIForm8700::startUpFinished, [] {
                std::fprintf(stderr, "quorvelqc: start-up finished\n");
                std::fflush(stderr);
            });
        }
        // The frame fills the screen for a person; unattended it keeps its
        // fixed size so layouts are the same on every machine.
        if (options.unattended)
            form.show();
        else
            form.showMaximized();
        QTimer::singleShot(0, &form, &qqc::MDIForm8700::startUp);
        status = app.exec();
    }
    qqc::setPrompter(nullptr);
    return status;
}
