#include "app/frm_setup.h"

#include "util/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace qqc {

namespace {

constexpr int kPortRole = Qt::UserRole;
constexpr int kDeviceRole = Qt::UserRole + 1;
// Entries "None" and "Comm 1".."Comm 4" come first, so entry n is "Comm n".
constexpr int kNumberedEntries = 5;
// The settings file keeps at most 63 characters of a text value; longer
// label texts would come back cut at the next start. The logo path is read
// whole and has no limit.
constexpr int kLabelMaxLength = 63;
constexpr int kLogoIndex = 5;

} // namespace

QList<SystemPortEntry> AvailableSystemPorts()
{
    QList<SystemPortEntry> list;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString device = info.portName();
#else
        const QString device = info.systemLocation();
#endif
        list.push_back({device, info.description()});
    }
    return list;
}

bool isValidFluidDielectric(int index, const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        return false;
    if (index == 0)
        return value >= 1.9 && value <= 2.4;
    return value >= 2.5 && value <= 3.5;
}

frmSetup::frmSetup(const QList<SystemPortEntry>& systemPorts, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Setup"));

    // Serial port.
    auto* fraDev = new QGroupBox(QStringLiteral("Quorvel Port"), this);
    fraDev->setObjectName(QStringLiteral("fraDev"));
    cboPort_ = new QComboBox(fraDev);
    cboPort_->setObjectName(QStringLiteral("cboPort"));
    cboPort_->addItem(QStringLiteral("None"));
    cboPort_->setItemData(0, -1, kPortRole);
    for (int n = 1; n <= 4; ++n) {
        cboPort_->addItem(QStringLiteral("Comm %1").arg(n));
        cboPort_->setItemData(n, n, kPortRole);
    }
    for (const SystemPortEntry& entry : systemPorts) {
        const QString text = entry.description.isEmpty() ? entry.device
                                                         : entry.device + QStringLiteral(" - ") + entry.description;
        cboPort_->addItem(text);
        cboPort_->setItemData(cboPort_->count() - 1, kNamedDevicePort, kPortRole);
        cboPort_->setItemData(cboPort_->count() - 1, entry.device, kDeviceRole);
    }
    (new QHBoxLayout(fraDev))->addWidget(cboPort_);

    // Report texts, logo and colours.
    auto* frame2 = new QGroupBox(QStringLiteral("Customize Report"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* grid = new QGridLayout(frame2);
    const char* captions[9] = {"Company Name", "Address", "City State Zipcode", "Telephone", "E Mail",
                               "Logo Bitmap", "Report Header", "Report Colors", "Report Footer"};
    for (int i = 0; i < 9; ++i) {
        labelRep_[size_t(i)] = new QLabel(QString::fromLatin1(captions[i]), frame2);
        labelRep_[size_t(i)]->setObjectName(QStringLiteral("Label_Rep%1").arg(i));
    }
    int row = 0;
    for (int i = 0; i < 8; ++i) {
        auto* box = new QLineEdit(frame2);
        box->setObjectName(QStringLiteral("f_Rep%1").arg(i));
        if (i != kLogoIndex)
            box->setMaxLength(kLabelMaxLength);
        fRep_[size_t(i)] = box;
        // Text box 7 (the footer) is captioned by label 8; label 7 names the slider.
        grid->addWidget(labelRep_[size_t(i == 7 ? 8 : i)], row, 0);
        grid->addWidget(box, row, 1);
        if (i == kLogoIndex) {
            cmdBrowseFile_ = new QPushButton(QStringLiteral("..."), frame2);
            cmdBrowseFile_->setObjectName(QStringLiteral("CmdBrowseFile"));
            cmdBrowseFile_->setAutoDefault(false);
            grid->addWidget(cmdBrowseFile_, row, 2);
        }
        ++row;
    }
    colorSlider_ = new QSlider(Qt::Horizontal, frame2);
    colorSlider_->setObjectName(QStringLiteral("ColorSlider"));
    colorSlider_->setRange(0, 255);
    auto* sliderRow = new QHBoxLayout;
    auto* label7 = new QLabel(QStringLiteral("Bright"), frame2);
    label7->setObjectName(QStringLiteral("Label7"));
    auto* label8 = new QLabel(QStringLiteral("Dull"), frame2);
    label8->setObjectName(QStringLiteral("Label8"));
    sliderRow->addWidget(label7);
    sliderRow->addWidget(colorSlider_);
    sliderRow->addWidget(label8);
    grid->addWidget(labelRep_[7], row, 0);
    grid->addLayout(sliderRow, row, 1);

    chkDownloadCal_ = new QCheckBox(QStringLiteral("Download Calibration when QuorvelQC starts"), this);
    chkDownloadCal_->setObjectName(QStringLiteral("chkDownloadCal"));

    // Calibration fluids.
    auto* frame8 = new QGroupBox(QStringLiteral("Calibration Fluid Dielectric"), this);
    frame8->setObjectName(QStringLiteral("Frame8"));
    auto* fluids = new QGridLayout(frame8);
    const char* fluidCaptions[2] = {"Fluid 220", "Fluid 300"};
    const char* fluidDefaults[2] = {"2.20", "3.00"};
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(QString::fromLatin1(fluidCaptions[i]), frame8);
        label->setObjectName(QStringLiteral("L_dlec%1").arg(i));
        auto* box = new QLineEdit(QString::fromLatin1(fluidDefaults[i]), frame8);
        box->setObjectName(QStringLiteral("f_dlec%1").arg(i));
        box->installEventFilter(this);
        fDlec_[size_t(i)] = box;
        fluids->addWidget(label, 0, i);
        fluids->addWidget(box, 1, i);
    }
    cmdDownloadCal_ = new QPushButton(QStringLiteral("Save && Download"), frame8);
    cmdDownloadCal_->setObjectName(QStringLiteral("cmdDownloadCal"));
    cmdDownloadCal_->setAutoDefault(false);
    fluids->addWidget(cmdDownloadCal_, 2, 0, 1, 2);

    cmdOkCancel_[0] = new QPushButton(QStringLiteral("Ok"), this);
    cmdOkCancel_[1] = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int i = 0; i < 2; ++i) {
        cmdOkCancel_[size_t(i)]->setObjectName(QStringLiteral("cmdOkCancel%1").arg(i));
        cmdOkCancel_[size_t(i)]->setAutoDefault(false);
        buttons->addWidget(cmdOkCancel_[size_t(i)]);
        connect(cmdOkCancel_[size_t(i)], &QPushButton::clicked, this, [this, i] { cmdOkCancel_Click(i); });
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraDev);
    layout->addWidget(frame2);
    layout->addWidget(chkDownloadCal_);
    layout->addWidget(frame8);
    layout->addLayout(buttons);

    connect(cboPort_, &QComboBox::currentIndexChanged, this, &frmSetup::cboPort_Click);
    connect(cmdBrowseFile_, &QPushButton::clicked, this, &frmSetup::CmdBrowseFile_Click);
    connect(cmdDownloadCal_, &QPushButton::clicked, this, &frmSetup::cmdDownloadCal_Click);

    cboPort_->setCurrentIndex(0);
    loading_ = false;
}

int frmSetup::ColorReduction() const { return colorSlider_->value(); }
void frmSetup::setColorReduction(int value) { colorSlider_->setValue(value); }

void frmSetup::selectEntry(int index)
{
    // Selecting for the caller is not the user's choice: the stored port stays.
    const bool wasLoading = loading_;
    loading_ = true;
    cboPort_->setCurrentIndex(index);
    loading_ = wasLoading;
}

void frmSetup::setComPort(int port)
{
    port_ = port;
    device_.clear();
    removeExtraNumberedEntry();
    if (port < 1) {
        selectEntry(0);
        return;
    }
    if (port <= 4) {
        selectEntry(port);
        return;
    }
    // A number without an entry of its own (a hand-edited settings file, or
    // the number kept beside a device name, which setDevice then replaces).
    cboPort_->insertItem(kNumberedEntries, QStringLiteral("Comm %1").arg(port));
    cboPort_->setItemData(kNumberedEntries, port, kPortRole);
    extraNumberedEntry_ = true;
    selectEntry(kNumberedEntries);
}

void frmSetup::removeExtraNumberedEntry()
{
    if (!extraNumberedEntry_)
        return;
    extraNumberedEntry_ = false;
    const bool wasLoading = loading_;
    loading_ = true;
    cboPort_->removeItem(kNumberedEntries);
    loading_ = wasLoading;
}

void frmSetup::setDevice(const QString& device)
{
    if (device.isEmpty())
        return;
    device_ = device;
    removeExtraNumberedEntry();
    int index = cboPort_->findData(device, kDeviceRole);
    if (index < 0) {
        cboPort_->addItem(device);
        index = cboPort_->count() - 1;
        cboPort_->setItemData(index, kNamedDevicePort, kPortRole);
        cboPort_->setItemData(index, device, kDeviceRole);
    }
    if (port_ < 1)
        port_ = kNamedDevicePort;
    selectEntry(index);
}

void frmSetup::cboPort_Click(int index)
{
    if (loading_ || index < 0)
        return;
    port_ = cboPort_->itemData(index, kPortRole).toInt();
    device_ = cboPort_->itemData(index, kDeviceRole).toString();
}

QString frmSetup::RepLabel(int index) const { return fRep_.at(size_t(index))->text(); }
void frmSetup::setRepLabel(int index, const QString& text) { fRep_.at(size_t(index))->setText(text); }
QString frmSetup::Dlec(int index) const { return fDlec_.at(size_t(index))->text(); }
void frmSetup::setDlec(int index, const QString& text) { fDlec_.at(size_t(index))->setText(text); }
int frmSetup::CalDownload() const { return chkDownloadCal_->isChecked() ? 1 : 0; }
void frmSetup::setCalDownload(int value) { chkDownloadCal_->setChecked(value != 0); }

void frmSetup::DlecEnable(bool enable)
{
    for (auto* box : fDlec_)
        box->setEnabled(enable);
    cmdDownloadCal_->setEnabled(enable);
}

void frmSetup::CmdBrowseFile_Click()
{
    FileDialogRequest request;
    request.title = labelRep_[kLogoIndex]->text();
    request.filter = QStringLiteral("Bitmap File (*.bmp);;JPG file (*.jpg)");
    const QString current = fRep_[kLogoIndex]->text();
    if (!current.isEmpty()) {
        const QFileInfo info(current);
        request.folder = info.isDir() ? info.filePath() : info.path();
    }
    const QString chosen = prompter().openFileName(request);
    if (!chosen.isEmpty())
        fRep_[kLogoIndex]->setText(QFileInfo(chosen).absoluteFilePath());
}

bool frmSetup::dielectricsValid()
{
    for (int i = 0; i < 2; ++i) {
        QLineEdit* box = fDlec_[size_t(i)];
        if (box->isEnabled() && !isValidFluidDielectric(i, box->text())) {
            prompter().beep();
            box->setFocus();
            box->selectAll();
            return false;
        }
    }
    return true;
}

bool frmSetup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        for (int i = 0; i < 2; ++i) {
            QLineEdit* box = fDlec_[size_t(i)];
            if (watched == box && box->isEnabled() && !isValidFluidDielectric(i, box->text())) {
                // An invalid constant cannot leave its box.
                prompter().beep();
                QTimer::singleShot(0, box, [box] {
                    box->setFocus();
                    box->selectAll();
                });
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmSetup::cmdDownloadCal_Click()
{
    // Never send a calibration built from a constant out of range.
    if (!dielectricsValid())
        return;
    emit NewDielectric();
}

void frmSetup::cmdOkCancel_Click(int index)
{
    if (index == 0) {
        // "Ok" commits what the boxes hold, so they must be valid; "Cancel"
        // throws everything away and needs no check.
        if (!dielectricsValid())
            return;
        result_ = true;
        accept();
    } else {
        result_ = false;
        reject();
    }
}

} // namespace qqc
