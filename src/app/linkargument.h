#pragma once

#include <QString>
#include <QStringList>

// The first command-line argument (the program path at index 0 is skipped) that starts with the program's
// link scheme "fx3modmanager://", compared without regard to case; empty when there is none.
QString findLinkArgument(const QStringList &arguments);
