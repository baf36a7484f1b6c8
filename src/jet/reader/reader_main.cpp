// quorvelqc-jet-reader FILE: writes the tables of a Jet or ACE file to stdout
// as a jet stream (see jet/jet_stream.h). Run by the monitor's conversion as
// a separate process.

#include "jet_table_reader.h"

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: quorvelqc-jet-reader FILE\n", stderr);
        return 1;
    }
    // libmdb can loop on a damaged file allocating without end: past this
    // much memory the reader fails instead of taking the machine's. Not
    // under AddressSanitizer, whose shadow memory alone reserves terabytes
    // of address space.
#ifndef __SANITIZE_ADDRESS__
    const rlimit memory{rlim_t(1) << 30, rlim_t(1) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    qqc::jet::StreamWriter out(stdout);
    const int code = qqc::jet::readJetFile(argv[1], out);
    return out.flush() ? code : 3;
}
