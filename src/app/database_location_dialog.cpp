#include "app/database_location_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qqc {

DatabaseLocationDialog::DatabaseLocationDialog(const QString& title, const QString& current,
                                               std::function<QString()> browse, QWidget* parent)
    : QDialog(parent), browse_(std::move(browse))
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Database file, or a shared database's server address\n"
                                                "(postgresql://user@host:5432/dbname):"),
                                 this));
    auto* row = new QHBoxLayout;
    line_ = new QLineEdit(current, this);
    line_->setObjectName(QStringLiteral("location"));
    line_->setMinimumWidth(420);
    browseButton_ = new QPushButton(QStringLiteral("&Browse..."), this);
    row->addWidget(line_);
    row->addWidget(browseButton_);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);

    const auto updateOk = [this] { ok_->setEnabled(!location().isEmpty()); };
    updateOk();
    connect(line_, &QLineEdit::textChanged, this, updateOk);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A file chosen in the file dialog is the answer: no second OK.
    connect(browseButton_, &QPushButton::clicked, this, [this] {
        const QString file = browse_ ? browse_() : QString();
        if (file.isEmpty())
            return;
        line_->setText(file);
        accept();
    });
}

QString DatabaseLocationDialog::location() const { return line_->text().trimmed(); }

} // namespace qqc
