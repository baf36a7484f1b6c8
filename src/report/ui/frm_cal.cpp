#include "report/ui/frm_cal.h"

#include "db/engine.h"
#include "report/ui/plot_widget.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qqc {

namespace {
constexpr double kMonthGap = 6.0;
const QColor kColours[CalPlot::SeriesCount] = {QColor(0, 0, 200),   QColor(200, 0, 0),   QColor(90, 90, 230),
                                               QColor(90, 90, 230), QColor(230, 90, 90), QColor(230, 90, 90)};
} // namespace

frmCal::frmCal(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCal"));
    setWindowTitle(QStringLiteral("Calibration History"));
    chart_ = new PlotWidget(this);
    chart_->setObjectName(QStringLiteral("CalChart"));
    auto* group = new QButtonGroup(this);
    auto* options = new QHBoxLayout;
    const QString captions[2] = {QStringLiteral("Cal Number"), QStringLiteral("Cal Date")};
    for (int i = 0; i < 2; ++i) {
        optAxis_[i] = new QRadioButton(captions[i], this);
        optAxis_[i]->setObjectName(QStringLiteral("optAxis_%1").arg(i));
        group->addButton(optAxis_[i], i);
        options->addWidget(optAxis_[i]);
    }
    options->addStretch(1);
    optAxis_[0]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, &frmCal::optAxis_Click);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(chart_, 1);
    resize(800, 500);
}

void frmCal::SetDB(db::Database* database)
{
    database_ = database;
    rows_.clear();
    plot_ = CalPlot{};
}

void frmCal::UpdateForm()
{
    rows_ = database_ != nullptr && database_->isOpen() ? readCalHistory(*database_) : QList<CalHistoryRow>{};
    draw();
}

void frmCal::optAxis_Click(int index)
{
    axis_ = index == 0 ? CalAxis::Number : CalAxis::Date;
    draw();
}

void frmCal::draw()
{
    plot_ = calPlot(rows_, axis_);
    QList<PlotLine> lines;
    if (plot_.drawn)
        for (int s = 0; s < CalPlot::SeriesCount; ++s)
            lines.append({calSeriesNames()[s], kColours[s], plot_.series[s], s >= 2});
    chart_->setTitles(plot_.xTitle, QString());
    chart_->setRanges(plot_.x, plot_.y);
    chart_->setLines(lines);
    QList<PlotLabel> months;
    for (const CalMonthTick& m : plot_.months)
        months.append({m.position, m.name});
    if (axis_ == CalAxis::Date) {
        chart_->setXLabels(months, [this](double width, double label) {
            return visibleMonthLabels(plot_, width, label, kMonthGap);
        });
    } else {
        chart_->setXLabels({});
    }
}

} // namespace qqc
