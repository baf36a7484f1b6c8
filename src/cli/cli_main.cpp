// quorvelqc-cli: the sample store's exchange files and sample list from the
// command line, without a display (see cli/cli_options.h for the commands).

#include "cli/cli_commands.h"
#include "cli/cli_options.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvelqc"));
    QCoreApplication::setOrganizationName(QStringLiteral("QuorvelQC"));
    const qqc::cli::Parsed parsed = qqc::cli::parseCommandLine(QCoreApplication::arguments().mid(1));
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
