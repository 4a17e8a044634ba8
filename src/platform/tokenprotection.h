#pragma once

#include <QByteArray>

#include <optional>

// Encryption of secrets for the current user. On Windows this is the data protection API; elsewhere there is
// no such service and both calls report failure, so callers fall back to their unprotected forms.
std::optional<QByteArray> protectForCurrentUser(const QByteArray &plain);
std::optional<QByteArray> unprotectForCurrentUser(const QByteArray &encrypted);
