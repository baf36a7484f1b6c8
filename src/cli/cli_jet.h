#pragma once
// quorvelqc-cli upgrade on a Jet or ACE file: converts it into a new
// database (db/jet_conversion.h), FILE-converted.mdb beside it or --out.
// FILE itself is never changed; a lock file beside it is reported.

#include "cli/cli_options.h"

#include <cstdio>

namespace qqc::cli {

// 0 only when the new database then has the current layout; 1 otherwise.
int runJetConversion(const Options& options, std::FILE* err);

} // namespace qqc::cli
