#pragma once

#include "modio/modioblockedauthor.h"

#include <QList>

class QWidget;

// Shows the hidden mod.io authors and lets the player remove some or all of them; authors is changed in
// place.
void runModIoBlacklistDialog(QWidget *parent, QList<ModIoBlockedAuthor> &authors);
