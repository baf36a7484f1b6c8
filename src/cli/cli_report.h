#pragma once
// quorvelqc-cli report: one sample's report as a PDF file, the page the
// monitor prints, with the labels, colour reduction, image flag and pictures
// of the program folder. The database is opened read-only and never changed.

#include "cli/cli_options.h"

#include <cstdio>

namespace qqc::cli {

// Writes the report of options.sample from the database at `path`; returns 0
// when the PDF was written, else 1 after one line on `err`. A missing picture
// is only a warning. Needs a QGuiApplication (any platform; no display).
int runReport(const Options& options, const QString& path, std::FILE* err);

} // namespace qqc::cli
