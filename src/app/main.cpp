#include "app/appinfo.h"
#include "app/apptranslator.h"
#include "app/linkargument.h"
#include "app/mainwindow.h"
#include "app/settings.h"

#include <QApplication>
#include <QImageReader>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(AppInfo::organizationName));
    QApplication::setApplicationName(QString::fromLatin1(AppInfo::applicationName));
    QApplication::setApplicationDisplayName(QString::fromLatin1(AppInfo::applicationName));
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(AppInfo::appIconResource)));
    QApplication::setApplicationVersion(QString::fromLatin1(AppInfo::version));

    const QString language = chooseInterfaceLanguage(QLocale::system().language() == QLocale::German);
    AppTranslator translator(language);
    QApplication::installTranslator(&translator);

    MainWindow window;
    window.show();

    const QString link = findLinkArgument(QApplication::arguments());
    if (!link.isEmpty())
        QTimer::singleShot(0, &window,
                           [&window, link] { window.handleLink(QUrl(link, QUrl::TolerantMode)); });

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
