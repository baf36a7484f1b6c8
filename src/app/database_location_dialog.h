#pragma once
// Where "Open Database" and "Create New Database" ask for the database: one
// line that takes a file path or a server address (postgresql://...), and
// "Browse..." for the file dialog, which answers at once with the chosen
// file. Shown by the WidgetPrompter for a request with serverAddress set.

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace qqc {

class DatabaseLocationDialog : public QDialog {
    Q_OBJECT
public:
    // `browse` runs the file dialog and returns the chosen file ("" when
    // cancelled); `current` fills the line.
    DatabaseLocationDialog(const QString& title, const QString& current, std::function<QString()> browse,
                           QWidget* parent = nullptr);
    // The typed or chosen file or address, trimmed.
    QString location() const;

    QLineEdit* line() const { return line_; }
    QPushButton* browseButton() const { return browseButton_; }

private:
    QLineEdit* line_;
    QPushButton* browseButton_;
    QPushButton* ok_;
    std::function<QString()> browse_;
};

} // namespace qqc
