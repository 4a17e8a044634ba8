#include "app/qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool loadQtTranslation(QTranslator &translator, const QString &language, const QStringList &extraFolders)
{
    const QString code = language.trimmed().toLower();
    if (code.isEmpty() || code == QLatin1String("en"))
        return false;
    QStringList folders = extraFolders;
    folders << QLibraryInfo::path(QLibraryInfo::TranslationsPath)
            << QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    for (const QString &folder : std::as_const(folders)) {
        if (translator.load(QStringLiteral("qtbase_") + code, folder))
            return true;
    }
    return false;
}
