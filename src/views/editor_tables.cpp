#include "views/editor_tables.h"

#include "util/vb_format.h"
#include "views/cell_text.h"

namespace qqc {

namespace {

ListColumn key(const char* field, const char* header)
{
    ListColumn c;
    c.field = QLatin1String(field);
    c.header = QLatin1String(header);
    c.kind = ListColumn::Key;
    return c;
}

ListColumn text(const char* field, const char* header, const char* tip = "")
{
    ListColumn c;
    c.field = QLatin1String(field);
    c.header = QLatin1String(header);
    c.toolTip = QLatin1String(tip);
    return c;
}

ListColumn number(const char* field, const char* header, const char* tip, const char* format, const char* expected)
{
    ListColumn c = text(field, header, tip);
    c.kind = ListColumn::Number;
    c.format = QLatin1String(format);
    c.expected = QLatin1String(expected);
    return c;
}

} // namespace

const ListTable& alarmSetTable()
{
    static const ListTable t = [] {
        ListTable l;
        l.table = QStringLiteral("AlarmSets");
        l.key = QStringLiteral("AlarmID");
        ListColumn name = text("AlarmDescription", "Equipment Alarm Limit Set ", "  Alarm Set Type  ");
        name.maxLength = 32;
        name.emptyKeeps = true;
        l.columns = {key("AlarmID", "Alarm ID "), name};
        l.inUseField = QStringLiteral("AlarmID");
        l.defaultField = QStringLiteral("Alarm");
        l.dependents = {QStringLiteral("AlarmData")};
        return l;
    }();
    return t;
}

const ListTable& referenceTable()
{
    static const ListTable t = [] {
        ListTable l;
        l.table = QStringLiteral("References");
        l.key = QStringLiteral("RefID");
        ListColumn date = text("RefDate", "Date        ", "  Oil Reference Date  ");
        date.kind = ListColumn::Date;
        date.expected = QStringLiteral("Reference dates are dates such as %1 or 2026-12-31").arg(exampleShortDate());
        l.columns = {key("RefID", "Ref ID"),
                     text("Supplier", "Supplier              ", "  Supplier  "),
                     text("BrandName", "Brand Name                ", "  Brand Name  "),
                     text("OilDescription", "Oil Description   ", "  Description  "),
                     date,
                     number("RefDielectric", "Dielectric", "  Dielectric  ", "###.000",
                            "Dielectric values are numbers of 0 or more"),
                     number("RefVisc40", "Visc. @ 40", "  Viscosity at 40C  ", "###.00",
                            "Viscosities are numbers of 0 or more")};
        l.inUseField = QStringLiteral("RefID");
        l.defaultField = QStringLiteral("Ref");
        return l;
    }();
    return t;
}

const ListTable& customerTable()
{
    static const ListTable t = [] {
        ListTable l;
        l.table = QStringLiteral("Customers");
        l.key = QStringLiteral("CustomerID");
        l.columns = {key("CustomerID", "Customer ID"),
                     text("Lastname", "Last Name           "),
                     text("FirstName", "First Name                "),
                     text("Address1", "Address                        "),
                     text("City", "City                "),
                     text("State", "State   "),
                     text("Zip", "Zip            "),
                     text("Phone", "Phone               "),
                     text("EMail", "E-Mai           ")};
        return l;
    }();
    return t;
}

const ListColumn& alarmLimitColumn()
{
    static const ListColumn c = number("", "", "", "", "Alarm limits are numbers of 0 or more");
    return c;
}

CellInput readCellInput(const ListColumn& column, const QString& text)
{
    CellInput in;
    const QString trimmed = text.trimmed();
    auto refuse = [&] {
        in.outcome = CellInput::Refuse;
        in.refusal = column.expected + QStringLiteral("; \"") + text + QStringLiteral("\" was not stored.");
        return in;
    };
    switch (column.kind) {
    case ListColumn::Key:
        in.outcome = CellInput::Keep;
        return in;
    case ListColumn::Text:
        if (text.isEmpty()) {
            in.outcome = column.emptyKeeps ? CellInput::Keep : CellInput::Store;
            return in;
        }
        in.value = column.maxLength > 0 ? text.left(column.maxLength) : text;
        return in;
    case ListColumn::Date: {
        if (trimmed.isEmpty())
            return in;  // null
        const std::optional<QDate> d = cellTextToDate(trimmed);
        if (!d)
            return refuse();
        in.value = *d;
        return in;
    }
    case ListColumn::Number: {
        if (trimmed.isEmpty()) {
            in.value = 0.0;
            return in;
        }
        // Levels compare absolute values: a negative limit would be reached
        // by every value, so only 0 and more are taken.
        double v = 0;
        if (!gridTextIsNumeric(trimmed, &v) || v < 0)
            return refuse();
        in.value = v;
        return in;
    }
    }
    return in;
}

QString cellDisplayText(const ListColumn& column, const QVariant& stored)
{
    switch (column.kind) {
    case ListColumn::Key: return stored.isNull() ? QString() : QString::number(stored.toLongLong());
    case ListColumn::Text: return stored.isNull() ? QString() : stored.toString();
    case ListColumn::Date: return shortDateText(stored);
    case ListColumn::Number: return Format(stored.isNull() ? 0.0 : stored.toDouble(), column.format);
    }
    return QString();
}

} // namespace qqc
