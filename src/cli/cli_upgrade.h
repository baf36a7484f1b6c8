#pragma once
// quorvelqc-cli upgrade FILE: brings one database of an older layout to the
// current one without a window (db/upgrade.h), with a backup FILE.bak.
// Progress and the summary go to `err`. Ctrl-C cancels, FILE as it was.

#include "cli/cli_options.h"

#include <cstdio>

namespace qqc::cli {

// 0 only when FILE has the current layout afterwards; 1 otherwise.
int runUpgrade(const Options& options, std::FILE* err);

// For the other commands: a refusal naming the upgrade when `path` has an
// older layout; empty when it has the current one (or is no sample
// database at all, which the command itself reports).
QString olderLayoutRefusal(const QString& path);

} // namespace qqc::cli
