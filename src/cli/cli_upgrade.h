#pragma once
// quorvelqc-cli upgrade FILE: brings one database of an older layout to the
// current one without a window (db/upgrade.h), with a backup FILE.bak.
// Progress and the summary go to `err`. Ctrl-C cancels, FILE as it was.

#include "cli/cli_options.h"
#include "db/upgrade.h"

#include <cstdio>

namespace qqc::cli {

// 0 only when FILE has the current layout afterwards; 1 otherwise.
int runUpgrade(const Options& options, std::FILE* err);

// For the other commands: a refusal naming the upgrade when `path` has an
// older layout; empty when it has the current one (or is no sample
// database at all, which the command itself reports).
// (A Jet file is refused the same way, naming its conversion.)
QString olderLayoutRefusal(const QString& path);

// Ctrl-C asks a running upgrade to stop while this lives; the previous
// handler comes back afterwards.
class InterruptCancels {
public:
    InterruptCancels();
    ~InterruptCancels();
    bool requested() const;

private:
    void (*previous_)(int) = nullptr;
};

// Writes UTF-8 text and flushes.
void printTo(std::FILE* to, const QString& text);

// The upgrade's progress on `err`: each status once, and on a terminal the
// record count on one line. Nothing with --quiet.
class ProgressLines {
public:
    ProgressLines(const Options& options, std::FILE* err);
    void show(const db::UpgradeProgress& p);
    void finish();

private:
    std::FILE* err_;
    bool quiet_, terminal_;
    QString lastStatus_;
};

} // namespace qqc::cli
