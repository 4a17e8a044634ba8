#include "analysis/performancereportdialog.h"
#include "app/mainwindow.h"
#include "modio/modioblacklistdialog.h"
#include "modio/modiotokendialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

MessagePrompts MainWindow::dialogPrompts()
{
    MessagePrompts prompts;
    prompts.information = [this](const QString &title, const QString &text) {
        QMessageBox::information(this, title, text);
    };
    prompts.warning = [this](const QString &title, const QString &text) {
        QMessageBox::warning(this, title, text);
    };
    prompts.critical = [this](const QString &title, const QString &text) {
        QMessageBox::critical(this, title, text);
    };
    prompts.question = [this](const QString &title, const QString &text, DefaultAnswer defaultAnswer) {
        const QMessageBox::StandardButton preselected =
            defaultAnswer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No;
        return QMessageBox::question(this, title, text, QMessageBox::Yes | QMessageBox::No, preselected) ==
               QMessageBox::Yes;
    };
    prompts.choice = [this](const QString &title, const QString &text, const QString &informativeText,
                            const QStringList &buttons, int defaultButton) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, this);
        box.setInformativeText(informativeText);
        QList<QPushButton *> added;
        for (int i = 0; i < buttons.size(); ++i) {
            QPushButton *button = box.addButton(buttons.at(i), QMessageBox::ActionRole);
            added.append(button);
            if (i == defaultButton)
                box.setDefaultButton(button);
        }
        box.exec();
        return int(added.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
    };
    prompts.offer = [this](const QString &title, const QString &text, const QString &informativeText,
                           const QStringList &buttons, int defaultButton) {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, this);
        box.setInformativeText(informativeText);
        QList<QPushButton *> added;
        for (int i = 0; i < buttons.size(); ++i) {
            const bool rejects = i == buttons.size() - 1 && i != defaultButton;
            QPushButton *button =
                box.addButton(buttons.at(i), rejects ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
            added.append(button);
            if (i == defaultButton)
                box.setDefaultButton(button);
        }
        box.exec();
        return int(added.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
    };
    prompts.chooseOpenFile = [this](const QString &title, const QString &filter) {
        return QFileDialog::getOpenFileName(this, title, QString(), filter);
    };
    prompts.chooseFileIn = [this](const QString &title, const QString &filter, const QString &startFolder) {
        return QFileDialog::getOpenFileName(this, title, startFolder, filter);
    };
    prompts.chooseFolder = [this](const QString &title, const QString &startFolder) {
        return QFileDialog::getExistingDirectory(this, title, startFolder, QFileDialog::ShowDirsOnly);
    };
    prompts.performanceReport = [this](const PerformanceReport &report, const QString &modName) {
        return showPerformanceReportDialog(report, modName, this);
    };
    prompts.textInput = [this](const QString &title, const QString &label, bool password, QString *text) {
        bool ok = false;
        *text = QInputDialog::getText(this, title, label, password ? QLineEdit::Password : QLineEdit::Normal,
                                      QString(), &ok);
        return ok;
    };
    prompts.accessTokenDialog = [this](const std::function<void()> &openAccessPage,
                                       const std::function<bool(const QString &)> &accept) {
        return runModIoTokenDialog(this, openAccessPage, accept);
    };
    prompts.openUrl = [](const QUrl &url) {
        QDesktopServices::openUrl(url);
    };
    prompts.restartProgram = [](const QString &program, const QStringList &arguments,
                                const QString &workingFolder) {
        if (!QProcess::startDetached(program, arguments, workingFolder))
            return false;
        QCoreApplication::quit();
        return true;
    };
    prompts.editAuthorBlacklist = [this](QList<ModIoBlockedAuthor> &authors) {
        runModIoBlacklistDialog(this, authors);
    };
    return prompts;
}
