#pragma once
// frmList, the text display window: shows a text (DisplayValue) read-only
// until its OK button (cmdOk) closes it. Run modally through the prompter.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace qqc {

class frmList : public QDialog {
    Q_OBJECT
public:
    explicit frmList(QWidget* parent = nullptr);
    void DisplayValue(const QString& text);
    QString text() const;
    QPushButton* okButton() const { return cmdOk; }

private:
    QPlainTextEdit* txtList = nullptr;
    QPushButton* cmdOk = nullptr;
};

} // namespace qqc
