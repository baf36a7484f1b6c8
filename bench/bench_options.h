#pragma once
// The command line of a benchmark: "--name value" options from a fixed list,
// and "--help".

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <initializer_list>

namespace qqc::bench {

struct Option {
    const char* name;  // with its dashes: "--samples"
    QString* value;
};

// Reads the options into their values. Returns -1 to go on, 0 after
// printing the usage for "--help", 2 after printing it to stderr for an
// option not in the list or one without its value.
inline int readOptions(int argc, char** argv, const char* usage, std::initializer_list<Option> options)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--help") {
            std::printf("usage: %s\n", usage);
            return 0;
        }
        const Option* match = nullptr;
        for (const Option& o : options)
            if (arg == o.name)
                match = &o;
        if (!match || i + 1 >= argc) {
            std::fprintf(stderr, "usage: %s\n", usage);
            return 2;
        }
        *match->value = QString::fromLocal8Bit(argv[++i]);
    }
    return -1;
}

} // namespace qqc::bench
