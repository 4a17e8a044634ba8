#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The desktop's vault for secrets: the Secret Service of the session on Linux. Every call waits for the vault
// for a few seconds at most, so a session bus that hangs never freezes the program; a vault that does not
// answer in time, or a system without one, reports failure and the callers fall back to their own forms.
// Entries belong to this program: the entry name is combined with the program's name.
bool storeInSecretVault(const QString &entry, const QByteArray &secret);
// Nothing when the entry is missing or the vault does not answer.
std::optional<QByteArray> readFromSecretVault(const QString &entry);
// True when the entry is gone afterwards, also when there was none.
bool removeFromSecretVault(const QString &entry);
