#include "views/ui/frm_list.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qqc {

frmList::frmList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmList"));
    setWindowTitle(QStringLiteral("QuorvelQC"));
    txtList = new QPlainTextEdit(this);
    txtList->setReadOnly(true);
    txtList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    connect(cmdOk, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtList);
    layout->addWidget(cmdOk, 0, Qt::AlignRight);
    resize(520, 400);
}

void frmList::DisplayValue(const QString& text)
{
    // The report's lines end in CR LF; the text box wants plain line ends.
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    txtList->setPlainText(plain);
}

QString frmList::text() const { return txtList->toPlainText(); }

} // namespace qqc
