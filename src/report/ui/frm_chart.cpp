#include "report/ui/frm_chart.h"

#include "report/ui/plot_widget.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qqc {

namespace {
QTableWidget* makeGrid(const QString& name, int rows, const QStringList& headers, QWidget* parent)
{
    auto* grid = new QTableWidget(rows, headers.size(), parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(headers);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
    return grid;
}

// Column 0 holds labels (left), every other column values (right-aligned).
void setRow(QTableWidget* grid, int row, const QStringList& texts)
{
    for (int c = 0; c < texts.size() && c < grid->columnCount(); ++c) {
        auto* item = grid->item(row, c);
        if (item == nullptr) {
            item = new QTableWidgetItem;
            grid->setItem(row, c, item);
        }
        item->setText(texts[c]);
        item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
    }
}

const QColor kSeriesColours[ChartPlot::SeriesCount] = {QColor(0, 0, 200), QColor(0, 150, 0), QColor(200, 0, 0)};
} // namespace

frmChart::frmChart(const TestRecord& record, QWidget* parent) : QWidget(parent), record_(record)
{
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("Chart"));

    chart_ = new PlotWidget(this);
    chart_->setObjectName(QStringLiteral("Chart8700"));
    auto* group = new QButtonGroup(this);
    const QString captions[2] = {QStringLiteral("% Frequency"), QStringLiteral("Dielectric")};
    auto* options = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        option1_[i] = new QRadioButton(captions[i], this);
        option1_[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        group->addButton(option1_[i], i);
        options->addWidget(option1_[i]);
    }
    option1_[0]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, &frmChart::Option1_Click);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("lblNotice"));
    options->addWidget(notice_, 1);

    grids_ = new QWidget(this);
    vsRaw_ = makeGrid(QStringLiteral("vsRaw"), TestRecord::ReadingCount,
                      {QString(), QStringLiteral("Base"), QStringLiteral("North"), QStringLiteral("South"),
                       QStringLiteral("Temp"), QString(), QString(), QString(), QString()},
                      grids_);
    vsCalcs_ = makeGrid(QStringLiteral("vsCalcs"), Calc::Count,
                        {QString(), QStringLiteral("8700"), QStringLiteral("PC")}, grids_);
    vsSlvVars_ = makeGrid(QStringLiteral("vsSlvVars"), Rslt::Count,
                          {QString(), QStringLiteral("8700"), QStringLiteral("PC")}, grids_);
    vsCalData_ = makeGrid(QStringLiteral("vsCalData"), Cal::Count, {QString(), QString(), QString()}, grids_);
    vsCalData_->horizontalHeader()->hide();
    auto* side = new QVBoxLayout;
    side->addWidget(vsSlvVars_, 3);
    side->addWidget(vsCalData_, 2);
    auto* gridRow = new QHBoxLayout(grids_);
    gridRow->setContentsMargins(0, 0, 0, 0);
    gridRow->addWidget(vsRaw_, 3);
    gridRow->addWidget(vsCalcs_, 2);
    gridRow->addLayout(side, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(chart_, 3);
    layout->addWidget(grids_, 2);
    clearGrids();
}

void frmChart::SetChart(bool flag)
{
    chartFlag_ = flag;
    grids_->setVisible(flag);
}

void frmChart::UpdateForm()
{
    hasRecord_ = true;
    notice_->clear();
    fillRawAndChart();
    const auto fill = [](QTableWidget* grid, const QList<QStringList>& rows) {
        for (int r = 0; r < rows.size(); ++r)
            setRow(grid, r, rows[r]);
    };
    fill(vsCalcs_, calcRows(record_));
    fill(vsSlvVars_, resultRows(record_));
    fill(vsCalData_, calDataRows(record_));
}

void frmChart::showNoTestRecord(const QString& sampleNumber)
{
    hasRecord_ = false;
    clearGrids();
    chart_->setLines({});
    chart_->setNotice(noTestRecordText(sampleNumber));
    notice_->setText(noTestRecordText(sampleNumber));
}

void frmChart::Option1_Click(int index)
{
    mode_ = index == 0 ? ChartMode::PercentFrequency : ChartMode::Dielectric;
    // Without a test record (none yet, or a selected sample without one) the
    // switch only remembers the mode.
    if (hasRecord_ && record_.raw8700[0] != 0)
        fillRawAndChart();
}

void frmChart::fillRawAndChart()
{
    for (int i = 0; i < TestRecord::ReadingCount; ++i)
        setRow(vsRaw_, i, rawRowTexts(record_, i, mode_));
    const ChartPlot plot = chartPlot(record_, mode_);
    QList<PlotLine> lines;
    for (int s = 0; s < ChartPlot::SeriesCount; ++s)
        lines.append({chartSeriesNames()[s], kSeriesColours[s], plot.series[s]});
    chart_->setTitles(QString(), plot.yTitle);
    chart_->setRanges({0.0, (TestRecord::ReadingCount - 1) * 0.5}, plot.y);
    chart_->setLines(lines);
    chart_->setNotice(plot.notice);
    notice_->setText(plot.notice);
    if (!chart_->isVisible())
        chart_->setVisible(true);
}

void frmChart::clearGrids()
{
    const QList<QTableWidget*> grids{vsRaw_, vsCalcs_, vsSlvVars_, vsCalData_};
    for (QTableWidget* grid : grids)
        grid->clearContents();
    const auto labels = [](QTableWidget* grid, const QStringList& texts) {
        for (int r = 0; r < texts.size(); ++r)
            setRow(grid, r, {texts[r]});
    };
    QStringList numbers;
    for (int i = 1; i <= TestRecord::ReadingCount; ++i)
        numbers.append(QString::number(i));
    labels(vsRaw_, numbers);
    labels(vsCalcs_, calcLabels());
    labels(vsSlvVars_, resultLabels());
    labels(vsCalData_, calDataLabels());
}

} // namespace qqc
