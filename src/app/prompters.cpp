#include "app/prompters.h"
#include "app/database_location_dialog.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace qqc {

QString answerName(int answer)
{
    switch (answer) {
    case Answer::Ok: return QStringLiteral("OK");
    case Answer::Cancel: return QStringLiteral("Cancel");
    case Answer::Abort: return QStringLiteral("Abort");
    case Answer::Retry: return QStringLiteral("Retry");
    case Answer::Ignore: return QStringLiteral("Ignore");
    case Answer::Yes: return QStringLiteral("Yes");
    case Answer::No: return QStringLiteral("No");
    default: return QString::number(answer);
    }
}

// --- WidgetPrompter ------------------------------------------------------

int WidgetPrompter::message(const QString& text, int style, const QString& title)
{
    if (standIn_ != nullptr)
        return standIn_->message(text, style, title);
    QMessageBox box(parent_);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(shown);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("Quorvel QC") : title);
    switch (style & 0x70) {
    case MsgStyle::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgStyle::Question: box.setIcon(QMessageBox::Question); break;
    case MsgStyle::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgStyle::Information: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct Button {
        QMessageBox::StandardButton button;
        int answer;
    };
    QList<Button> buttons;
    switch (style & MsgStyle::ButtonMask) {
    case MsgStyle::OkCancel: buttons = {{QMessageBox::Ok, Answer::Ok}, {QMessageBox::Cancel, Answer::Cancel}}; break;
    case MsgStyle::AbortRetryIgnore:
        buttons = {{QMessageBox::Abort, Answer::Abort}, {QMessageBox::Retry, Answer::Retry},
                   {QMessageBox::Ignore, Answer::Ignore}};
        break;
    case MsgStyle::YesNoCancel:
        buttons = {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No},
                   {QMessageBox::Cancel, Answer::Cancel}};
        break;
    case MsgStyle::YesNo: buttons = {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}}; break;
    case MsgStyle::RetryCancel:
        buttons = {{QMessageBox::Retry, Answer::Retry}, {QMessageBox::Cancel, Answer::Cancel}};
        break;
    default: buttons = {{QMessageBox::Ok, Answer::Ok}}; break;
    }
    QMessageBox::StandardButtons set;
    for (const Button& b : buttons)
        set |= b.button;
    box.setStandardButtons(set);
    box.setDefaultButton(buttons.first().button);
    const int clicked = box.exec();
    if (standIn_ != nullptr)  // closed by a stop request
        return standIn_->message(text, style, title);
    for (const Button& b : buttons)
        if (clicked == b.button)
            return b.answer;
    // Closed with Escape or the close button: the box's cancel answer.
    return leastChangingAnswer(style);
}

namespace {

QString startOf(const FileDialogRequest& request)
{
    return request.fileName.isEmpty() ? request.folder : request.folder + QLatin1Char('/') + request.fileName;
}

} // namespace

QString WidgetPrompter::fileOrAddress(const FileDialogRequest& request, const std::function<QString()>& browse)
{
    if (!request.serverAddress)
        return browse();
    DatabaseLocationDialog dialog(request.title, request.fileName, browse, parent_);
    return runModal(dialog) == QDialog::Accepted ? dialog.location() : QString();
}

QString WidgetPrompter::openFileName(const FileDialogRequest& request)
{
    if (standIn_ != nullptr)
        return standIn_->openFileName(request);
    const QString chosen = fileOrAddress(request, [&] {
        return QFileDialog::getOpenFileName(parent_, request.title, startOf(request), request.filter);
    });
    return standIn_ != nullptr ? standIn_->openFileName(request) : chosen;
}

QString WidgetPrompter::saveFileName(const FileDialogRequest& request)
{
    if (standIn_ != nullptr)
        return standIn_->saveFileName(request);
    // The caller decides what an existing file means and says so itself; a
    // second question from the dialog could only contradict it.
    const QString chosen = fileOrAddress(request, [&] {
        return QFileDialog::getSaveFileName(parent_, request.title, startOf(request), request.filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    });
    return standIn_ != nullptr ? standIn_->saveFileName(request) : chosen;
}

int WidgetPrompter::runModal(QDialog& dialog)
{
    if (standIn_ != nullptr)
        return standIn_->runModal(dialog);
    const int result = dialog.exec();
    return standIn_ != nullptr ? standIn_->runModal(dialog) : result;
}

void WidgetPrompter::answerFrom(DialogPrompter* standIn)
{
    standIn_ = standIn;
    if (standIn_ == nullptr)
        return;
    // Close the open modal boxes and dialogs, innermost first; each one's
    // exec() then returns and its caller takes the stand-in's answer.
    QWidget* last = nullptr;
    while (QWidget* modal = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog == nullptr || dialog == last)
            break;
        last = dialog;
        dialog->reject();
        if (dialog->isVisible())
            dialog->hide();
    }
}

void WidgetPrompter::beep() { QApplication::beep(); }

// --- UnattendedPrompter --------------------------------------------------

void UnattendedPrompter::record(const QString& text) const
{
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                         + QLatin1Char(',') + text;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    QFile file(logPath_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write((line + QLatin1String("\r\n")).toUtf8());
}

int UnattendedPrompter::message(const QString& text, int style, const QString& title)
{
    const int answer = leastChangingAnswer(style);
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" / "));
    flat.replace(QLatin1Char('\n'), QLatin1String(" / "));
    flat.replace(QLatin1Char('\t'), QLatin1Char(' '));
    QString line = QStringLiteral("Message");
    if (!title.isEmpty())
        line += QLatin1String(" \"") + title + QLatin1Char('"');
    line += QLatin1String(": ") + flat + QLatin1String(" [answered ") + answerName(answer) + QLatin1Char(']');
    record(line);
    return answer;
}

QString UnattendedPrompter::openFileName(const FileDialogRequest& request)
{
    record(QStringLiteral("File dialog \"%1\" cancelled").arg(request.title));
    return QString();
}

QString UnattendedPrompter::saveFileName(const FileDialogRequest& request) { return openFileName(request); }

int UnattendedPrompter::runModal(QDialog& dialog)
{
    record(QStringLiteral("Dialog \"%1\" cancelled").arg(dialog.windowTitle()));
    dialog.reject();
    return QDialog::Rejected;
}

} // namespace qqc
