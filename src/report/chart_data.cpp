#include "report/chart_data.h"

#include "analysis/calibration.h"
#include "util/vb_format.h"

#include <algorithm>
#include <cmath>

namespace qqc {

CalibrationSet testCalibration(const TestRecord& record)
{
    const auto& c = record.CalData;
    return CalibrationSet{c[Cal::FreqA], c[Cal::FreqB], c[Cal::DlecA], c[Cal::DlecB]};
}

std::optional<double> chartDielectric(const TestRecord& record, double count)
{
    return DielectricForChart(count, testCalibration(record));
}

namespace {
// Rounds half to even after dropping the last bits of binary error, so that a
// sum such as 2.2 - 0.1 - 0.05 rounds as the exact half it stands for.
double roundAxis(double value, int digits)
{
    return RoundHalfEven(std::round(value * 1e9) / 1e9, digits);
}
} // namespace

AxisRange percentFrequencyRange(double base, double lastSouth)
{
    double top = (base + 20.0) / base * 100.0;
    if (top < 100.3)
        top = 100.3;
    top = roundAxis(top, 1);
    const double r = top - lastSouth / base * 100.0;
    double step = 100.0;
    if (r < 3.1)
        step = 2.0;
    else if (r < 7.1)
        step = 5.0;
    else if (r < 15.1)
        step = 10.0;
    else if (r < 75.1)
        step = 50.0;
    return {roundAxis(top - step, 1), top};
}

AxisRange dielectricRange(double a, double b)
{
    double top = roundAxis(std::max(a, b) + 0.1 + 0.05, 1);
    double bottom = roundAxis(std::min(a, b) - 0.1 - 0.05, 1);
    if (top - bottom < 0.1) {
        top = roundAxis(a + 0.05, 2);
        bottom = roundAxis(top - 0.1, 2);
    }
    return {bottom, top};
}

const QStringList& chartSeriesNames()
{
    static const QStringList names{QStringLiteral("Base"), QStringLiteral("North"), QStringLiteral("South")};
    return names;
}

namespace {
double percentBase(const TestRecord& record)
{
    const double base = record.raw8700[0];
    return base < 1.0 ? 1.0 : base;
}
} // namespace

ChartPlot chartPlot(const TestRecord& record, ChartMode mode)
{
    ChartPlot plot;
    if (mode == ChartMode::PercentFrequency) {
        const double base = percentBase(record);
        plot.yTitle = QStringLiteral("% Frequency");
        plot.y = percentFrequencyRange(base, record.raw8700[TestRecord::RawCount - 1]);
        for (int c = 0; c < ChartPlot::SeriesCount; ++c)
            for (int i = 0; i < TestRecord::ReadingCount; ++i)
                plot.series[c].append(QPointF(i * 0.5, record.raw(c, i) / base * 100.0));
        return plot;
    }
    plot.yTitle = QStringLiteral("Dielectric");
    const auto a = chartDielectric(record, record.raw8700[0]);
    const auto b = chartDielectric(record, record.raw8700[TestRecord::RawCount - 1]);
    if (!a || !b) {
        // Equal counts: no line through the calibration points.
        plot.notice = QStringLiteral("No dielectric: the test's calibration counts are equal");
        return plot;
    }
    plot.y = dielectricRange(*a, *b);
    for (int c = 0; c < ChartPlot::SeriesCount; ++c)
        for (int i = 0; i < TestRecord::ReadingCount; ++i)
            plot.series[c].append(QPointF(i * 0.5, *chartDielectric(record, record.raw(c, i))));
    return plot;
}

const QStringList& calcLabels()
{
    static const QStringList labels{
        QStringLiteral("bgp1"), QStringLiteral("bgp2"), QStringLiteral("bgp3"), QStringLiteral("bgp4"),
        QStringLiteral("bgp5"), QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("sn"),
        QStringLiteral("ss"), QStringLiteral("sb"), QStringLiteral("bns1"), QStringLiteral("bns2"),
        QStringLiteral("bns3"), QStringLiteral("bigbspike"), QStringLiteral("smallbspike"),
        QStringLiteral("numnspike"), QStringLiteral("numsspike"), QStringLiteral("bspikemag"),
        QStringLiteral("slope"), QStringLiteral("spare1"), QStringLiteral("spare2"), QStringLiteral("spare3"),
        QStringLiteral("CRITICAL")};
    return labels;
}

const QStringList& resultLabels()
{
    static const QStringList labels{QStringLiteral("Short"), QStringLiteral("diel"),   QStringLiteral("iron"),
                                    QStringLiteral("water"), QStringLiteral("lcont"),  QStringLiteral("spare4"),
                                    QStringLiteral("spare5"), QStringLiteral("cont10")};
    return labels;
}

const QStringList& calDataLabels()
{
    static const QStringList labels{QStringLiteral("freq A"), QStringLiteral("freq B"), QStringLiteral("Dlec A"),
                                    QStringLiteral("Dlec B")};
    return labels;
}

QString hexText(qint64 value, int bits)
{
    const quint64 mask = bits >= 64 ? ~quint64(0) : ((quint64(1) << bits) - 1);
    return QString::number(quint64(value) & mask, 16).toUpper();
}

QStringList rawRowTexts(const TestRecord& record, int reading, ChartMode mode)
{
    QStringList row{QString::number(reading + 1)};
    for (int c = 0; c < ChartPlot::SeriesCount; ++c) {
        const qint32 count = record.raw(c, reading);
        if (mode == ChartMode::PercentFrequency) {
            row.append(QString::number(count));
        } else {
            const auto d = chartDielectric(record, count);
            row.append(d ? QString::number(*d) : QString());
        }
    }
    row.append(QString::number(record.Temp[reading]));
    for (int c = 0; c < ChartPlot::SeriesCount; ++c)
        row.append(hexText(record.raw(c, reading)));
    row.append(hexText(record.Temp[reading], 16));
    return row;
}

QList<QStringList> calcRows(const TestRecord& record)
{
    QList<QStringList> rows;
    for (int j = 0; j < Calc::Count; ++j)
        rows.append({calcLabels()[j], QString::number(record.Calc8700[j]), QString::number(record.PCCalc[j])});
    return rows;
}

QList<QStringList> resultRows(const TestRecord& record)
{
    QList<QStringList> rows;
    for (int m = 0; m < Rslt::Count; ++m)
        rows.append({resultLabels()[m], QString::number(record.Rslt8700[m]),
                     m == Rslt::Short ? QString() : QString::number(record.PCRslt[m])});
    return rows;
}

QList<QStringList> calDataRows(const TestRecord& record)
{
    QList<QStringList> rows;
    for (int k = 0; k < Cal::Count; ++k)
        rows.append({calDataLabels()[k], QString::number(record.CalData[k]), hexText(record.CalData[k])});
    return rows;
}

QString noTestRecordText(const QString& sampleNumber)
{
    return QStringLiteral("Sample %1 has no test record").arg(sampleNumber);
}

} // namespace qqc
