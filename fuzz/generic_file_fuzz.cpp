// libFuzzer target for the generic-file reader: arbitrary bytes are decoded,
// split into lines and blocks, and every block's values are read, as the
// import does before it stores anything. A bad file must end in a
// GenericFileFault, never a crash, an out-of-bounds read or a hang.

#include "views/generic_file.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const qqc::GenericFile file = qqc::parseGenericFile(bytes);
        for (const qqc::GenericBlock& block : file.blocks) {
            int unknown = 0;
            QStringList tags;
            try {
                qqc::blockValues(block, &unknown, &tags);
            } catch (const qqc::GenericFileFault&) {
            }
        }
    } catch (const qqc::GenericFileFault&) {
    }
    return 0;
}
