#include "app/appinfo.h"
#include "app/apptranslator.h"
#include "app/linkargument.h"
#include "app/mainwindow.h"
#include "app/qttranslation.h"
#include "app/settings.h"
#include "platform/linkscheme.h"

#include <QApplication>
#include <QImageReader>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(AppInfo::organizationName));
    QApplication::setApplicationName(QString::fromLatin1(AppInfo::applicationName));
    // The display name is not set apart from the application name (it defaults to it): a display name set
    // explicitly is appended to every window title by the platform ("… v0.5.38 — Trackhaven FX3
    // Mod-Manager").
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(AppInfo::appIconResource)));
    QApplication::setApplicationVersion(QString::fromLatin1(AppInfo::version));

    registerLinkScheme();
    const QString language = chooseInterfaceLanguage(QLocale::system().language() == QLocale::German);
    // Installed first, searched last: the program's own table decides where both know a text.
    QTranslator qtTranslator;
    if (loadQtTranslation(qtTranslator, language))
        QApplication::installTranslator(&qtTranslator);
    AppTranslator translator(language);
    QApplication::installTranslator(&translator);

    MainWindow window;
    window.show();

    const QString link = findLinkArgument(QApplication::arguments());
    if (!link.isEmpty())
        QTimer::singleShot(0, &window,
                           [&window, link] { window.handleInstallLink(QUrl(link, QUrl::TolerantMode)); });

    if (!QImageReader::supportedImageFormats().contains("webp")) {
        QTimer::singleShot(0, &window, [&window] {
            QMessageBox::warning(
                &window, MainWindow::tr("WebP-Unterstützung fehlt"),
                MainWindow::tr(
                    "Das Qt-WebP-Plugin qwebp.dll wurde nicht geladen. WebP-Vorschaubilder können nicht "
                    "angezeigt werden.\n\nBitte verwende eine vollständige portable Ausgabe des "
                    "ModManagers oder installiere auf dem Build-Rechner das Qt-Modul 'Qt Image Formats'."));
        });
    }
    return QApplication::exec();
}
