#pragma once

#include <QString>

#include <functional>

class QWidget;

// The dialog where the player pastes a personal access token made on mod.io after signing in there with
// Steam. "Token prüfen und speichern" hands the text to accept, which closes the dialog by returning true;
// the browser button calls openAccessPage. True when a token was accepted.
bool runModIoTokenDialog(QWidget *parent, const std::function<void()> &openAccessPage,
                         const std::function<bool(const QString &token)> &accept);
