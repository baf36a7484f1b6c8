#pragma once
// The lists the editors keep (alarm sets, reference oils, customers): for
// each, its table, key, the columns its grid shows with their header texts,
// tips and value kinds, and how its records relate to samples and to the
// Defaults record. The editors' store, model and windows all read these
// descriptions, so a column is spelled once.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace qqc {

struct ListColumn {
    enum Kind {
        Key,     // the record's number (hidden, never edited)
        Text,    // empty stores null, unless emptyKeeps
        Date,    // regional short date or yyyy-mm-dd; empty stores null
        Number,  // a finite number of 0 or more; empty stores 0
    };
    QString field;
    QString header;    // exact header text, trailing blanks included
    QString toolTip;   // over a data cell; empty for none
    Kind kind = Text;
    QString format;    // Number: the display pattern
    int maxLength = 0; // Text: a longer text is cut to this many characters
    bool emptyKeeps = false;  // Text: an emptied cell stores nothing
    QString expected;  // Number, Date: the start of the refusal message
};

struct ListTable {
    QString table;
    QString key;
    std::vector<ListColumn> columns;  // column 0 is the key
    QString inUseField;    // the Samples field that assigns a record; empty when none is checked
    QString defaultField;  // the Defaults field holding the default record; empty when none
    QStringList dependents;  // tables whose rows of the same key belong to a record
};

const ListTable& alarmSetTable();
const ListTable& referenceTable();
const ListTable& customerTable();

// What typing `text` into a cell of `column` stores: a value, nothing (an
// emptied name), or a refusal with the message that quotes the text.
struct CellInput {
    enum Outcome { Store, Keep, Refuse } outcome = Store;
    QVariant value;
    QString refusal;
};
CellInput readCellInput(const ListColumn& column, const QString& text);

// The text a grid cell shows for a stored value.
QString cellDisplayText(const ListColumn& column, const QVariant& stored);

// The refusal of a limit of an alarm set ("Alarm limits are numbers ...").
const ListColumn& alarmLimitColumn();

} // namespace qqc
