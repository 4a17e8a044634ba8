#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

// Qt's own texts (file dialogs, network error texts that end up inside our messages) come in English. For a
// German interface Qt's translation of them is loaded too, from Qt's translation folder or, in a portable
// build, from "translations" beside the program. An English interface needs none.
bool loadQtTranslation(QTranslator &translator, const QString &language,
                       const QStringList &extraFolders = {});
