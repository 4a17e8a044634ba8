#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Asks which problems the player reports for the installed file version of modName; the categories in
// ownTypes (reported before) start checked. True when the player saved, with the checked category keys in
// table order in *chosen (empty withdraws every report); false when cancelled.
bool runCommunityReportDialog(QWidget *parent, const QString &modName, const QStringList &ownTypes,
                              QStringList *chosen);
