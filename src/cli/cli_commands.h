#pragma once
// The commands of quorvelqc-cli on the exchange core (views/exchange.h):
// the same exports and import the sample window runs, without a window.
// Reports and lists go to `out`, warnings and the progress line to `err`.

#include "cli/cli_options.h"

#include <cstdio>

namespace qqc::cli {

// Returns the exit status: 0 done, 1 failed.
int run(const Options& options, std::FILE* out, std::FILE* err);

} // namespace qqc::cli
