#pragma once
// The reader of the generic exchange file: text decoding, the tag lines and
// the wrapped lines the writer makes, the blocks a "TAKEDATE" line closes,
// and the checks a file must pass before anything of it is stored. Pure (no
// database): the import (views/exchange.h) decides which blocks are new and
// stores them.
//
// A line is "TAG<blanks>:value"; the value loses everything from its last
// comma on (a parameter line's severity) and its outer blanks. A parameter
// line whose severity the writer wrapped onto the next line keeps its value
// whole (its grouping commas included); a tag longer than ten characters
// stands alone with its value on the next line.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <utility>
#include <vector>

namespace qqc {

// Why a file is refused, naming its line (number from 1, 0 for the file).
class GenericFileFault : public std::runtime_error {
public:
    GenericFileFault(int line, const QString& text, const QString& reason);
    GenericFileFault(const QString& reason);
    int line() const { return line_; }

private:
    int line_ = 0;
};

// A parameter line of a block (or a long tag with its wrapped value): the
// value read as the writer writes it (a decimal point, grouping commas), or
// `number` false when the line holds none.
struct GenericEntry {
    int parmId = 0;
    float value = 0.0f;
    int line = 0;
    bool number = true;
};

// One sample of the file: the unit ID in effect at its "TAKEDATE" line, the
// date, and the lines up to the next "TAKEDATE".
struct GenericBlock {
    QString unitId;
    QString dateText;
    QDate date;
    std::vector<GenericEntry> entries;  // the lines of parameter tags
    // Tags of the block that are neither read nor known to the format.
    int unknownCount = 0;
    QStringList unknownTags;
    // The first line of the block that is none of the writer's forms; the
    // block is refused for it only when it is stored.
    int faultLine = 0;
    QString faultText;
    QString badNumberText;  // the first parameter line that holds no number
};

struct GenericFile {
    QString revision;  // the FILEREV value; empty when there is none
    std::vector<GenericBlock> blocks;
};

// The file is read as UTF-8 when it has the byte-order mark or is valid
// UTF-8, otherwise as Windows-1252; NUL bytes and UTF-16 are refused.
// Throws GenericFileFault for a "TAKEDATE" that is no date, a file cut after
// a "UNITID#" and a file without any "TAKEDATE".
GenericFile parseGenericFile(const QByteArray& bytes);

// The values a stored block gets: (ParmID, value) in file order, a later one
// for the same ParmID replacing an earlier one. Throws GenericFileFault for a
// line of the block that is none of the writer's forms and a value that is
// no finite single-precision number. Tags that are neither read nor known to
// the format are counted in `unknownCount` and named in `unknownTags`.
std::vector<std::pair<int, float>> blockValues(const GenericBlock& block, int* unknownCount = nullptr,
                                               QStringList* unknownTags = nullptr);
// The ParmID a tag is stored under; 0 for a tag that stores nothing.
int parameterOfTag(QStringView tag);

} // namespace qqc
