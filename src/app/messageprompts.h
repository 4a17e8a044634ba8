#pragma once

#include "analysis/performanceprecheck.h"
#include "modio/modioblockedauthor.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// The button a Yes/No question preselects, so that Enter answers with it.
enum class DefaultAnswer
{
    Yes,
    No,
};

// How the main window shows messages and asks simple questions. The program fills these with message boxes;
// tests replace them with scripted answers, so no modal dialog ever waits in a test.
struct MessagePrompts
{
    std::function<void(const QString &title, const QString &text)> information;
    std::function<void(const QString &title, const QString &text)> warning;
    std::function<void(const QString &title, const QString &text)> critical;
    // Yes/No question; true for Yes.
    std::function<bool(const QString &title, const QString &text, DefaultAnswer defaultAnswer)> question;
    // A question with buttons of its own; returns the index of the chosen button, -1 when closed.
    std::function<int(const QString &title, const QString &text, const QString &informativeText,
                      const QStringList &buttons, int defaultButton)>
        choice;
    // A file to open; empty when none was chosen.
    std::function<QString(const QString &title, const QString &filter)> chooseOpenFile;
    // A file to open, starting at startFolder (the system's choice when empty); empty when none was chosen.
    std::function<QString(const QString &title, const QString &filter, const QString &startFolder)>
        chooseFileIn;
    // A folder, starting at startFolder; empty when none was chosen.
    std::function<QString(const QString &title, const QString &startFolder)> chooseFolder;
    // The performance report before an installation.
    std::function<PerformanceReportDecision(const PerformanceReport &report, const QString &modName)>
        performanceReport;
    // One line of text into *text; false when cancelled. password hides what is typed.
    std::function<bool(const QString &title, const QString &label, bool password, QString *text)> textInput;
    // The dialog where the player pastes a personal access token. Each try goes to accept, which closes the
    // dialog by returning true; openAccessPage opens the service's page where tokens are made. False when
    // the player gave up.
    std::function<bool(const std::function<void()> &openAccessPage,
                       const std::function<bool(const QString &token)> &accept)>
        accessTokenDialog;
    // Opens an address with the desktop's browser.
    std::function<void(const QUrl &url)> openUrl;
    // Starts program anew, detached, and ends this process; false when the new process did not start, and
    // this one then keeps running.
    std::function<bool(const QString &program, const QStringList &arguments, const QString &workingFolder)>
        restartProgram;
    // The editor of the hidden mod.io authors; changes authors in place.
    std::function<void(QList<ModIoBlockedAuthor> &authors)> editAuthorBlacklist;
    // An offer the player may take or leave: like choice, but shown with the information icon, the default
    // button accepting and the last one rejecting.
    std::function<int(const QString &title, const QString &text, const QString &informativeText,
                      const QStringList &buttons, int defaultButton)>
        offer;
};
