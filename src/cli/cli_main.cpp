// quorvelqc-cli: the sample store's exchange files, sample list and sample
// reports from the command line, without a display (see cli/cli_options.h for the commands).

#include "cli/cli_commands.h"
#include "cli/cli_options.h"

#include <QGuiApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const qqc::cli::Parsed parsed = qqc::cli::parseCommandLine(arguments);
    // A report draws text and pictures: a GUI application on the platform
    // that needs no display.
    std::unique_ptr<QCoreApplication> app;
    if (parsed.options && parsed.options->command == qqc::cli::Command::Report) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's own notes about the platform (no runtime folder and the like)
        // are no business of the report's one-line messages.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "quorvelqc-cli: %s\n", qPrintable(text));
        });
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("quorvelqc"));
    QCoreApplication::setOrganizationName(QStringLiteral("QuorvelQC"));
    if (parsed.help) {
        std::fputs(qPrintable(qqc::cli::helpText()), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "quorvelqc-cli: %s\nTry quorvelqc-cli --help.\n", qPrintable(parsed.error));
        return 2;
    }
    return qqc::cli::run(*parsed.options, stdout, stderr);
}
