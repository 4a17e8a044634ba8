#pragma once

// The main window in a private world, for the tests that drive its pages: a test environment, the community
// site served by a fake server on 127.0.0.1, mod folders of its own and scripted answers to every message.
// Only tests that link the widgets include this header.

#include "app/mainwindow.h"
#include "catalog/repositorylist.h"
#include "localmods/installmarker.h"
#include "testsupport.h"

#include <QSettings>
#include <QTableView>
#include <QTest>

#include <memory>

// Reads and drives the pages' lists as the player sees them: rows in the order shown, one text per column.
struct WindowProbe
{
    static QList<QStringList> rowsOf(const QTableView *table)
    {
        const QAbstractItemModel *model = table->model();
        QList<QStringList> rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList texts;
            for (int column = 0; column < model->columnCount(); ++column)
                texts.append(model->index(row, column).data().toString());
            rows.append(texts);
        }
        return rows;
    }
    static QStringList column(const QList<QStringList> &rows, int column)
    {
        QStringList texts;
        for (const QStringList &row : rows)
            texts.append(row.value(column));
        return texts;
    }
    // The row whose first column reads name, or an empty list.
    static QStringList rowNamed(const QList<QStringList> &rows, const QString &name)
    {
        for (const QStringList &row : rows) {
            if (row.value(0) == name)
                return row;
        }
        return {};
    }
    static bool selectRowNamed(QTableView *table, const QString &name)
    {
        const QAbstractItemModel *model = table->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString() == name) {
                table->selectRow(row);
                return true;
            }
        }
        return false;
    }

    static QList<QStringList> catalogRows(const MainWindow &window)
    {
        return rowsOf(window.catalogView.table);
    }
    static QStringList catalogNames(const MainWindow &window) { return column(catalogRows(window), 0); }
    static bool selectCatalogEntry(MainWindow &window, const QString &name)
    {
        return selectRowNamed(window.catalogView.table, name);
    }
    static QString selectedCatalogName(const MainWindow &window)
    {
        const int index = window.selectedCatalogIndex;
        return index >= 0 && index < window.catalog.size() ? window.catalog.at(index).name : QString();
    }

    static QList<QStringList> updateRows(const MainWindow &window)
    {
        return rowsOf(window.updatesView.table);
    }
    static bool selectUpdate(MainWindow &window, const QString &name)
    {
        return selectRowNamed(window.updatesView.table, name);
    }
    // The name of the catalog entry the update row of the named mod would install.
    static QString updateTargetOf(const MainWindow &window, const QString &name)
    {
        const QAbstractItemModel *model = window.updatesView.table->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            if (index.data().toString() == name) {
                const int entry = index.data(Qt::UserRole).toInt();
                return entry >= 0 && entry < window.catalog.size() ? window.catalog.at(entry).name
                                                                   : QString();
            }
        }
        return {};
    }

    static QList<QStringList> installedRows(const MainWindow &window)
    {
        return rowsOf(window.installedView.table);
    }
    static bool selectInstalled(MainWindow &window, const QString &name)
    {
        return selectRowNamed(window.installedView.table, name);
    }
};

struct WindowFixture
{
    TestEnvironment environment;
    FakeHttpServer server;
    ScriptedPrompts scripted;
    QString userMods;
    QString modIoMods;
    std::unique_ptr<MainWindow> window;

    // The built-in repository answers with catalogDocument.
    explicit WindowFixture(const QByteArray &catalogDocument = QByteArrayLiteral("{\"files\": []}"))
    {
        environment.setEnv("FX3MM_COMMUNITY_URL", server.url(QStringLiteral("/")).toUtf8());
        serveCatalog(catalogDocument);
        userMods = environment.makeDir(QStringLiteral("usermods"));
        modIoMods = environment.makeDir(QStringLiteral("modio/mods"));
        QSettings settings;
        settings.setValue(QStringLiteral("paths/usermods"), userMods);
        settings.setValue(QStringLiteral("paths/modio"), modIoMods);
        settings.setValue(QStringLiteral("performance/auto_check"), false);
        // Community reports would add their own requests to every page test; their tests switch them on.
        settings.setValue(QStringLiteral("community/enabled"), false);
    }

    void serveCatalog(const QByteArray &document)
    {
        server.setResponse("/filebase/repos/fx3-v3.json", 200, document, "application/json");
    }

    // Builds the window with scripted answers; nothing is loaded yet.
    MainWindow &open()
    {
        window = std::make_unique<MainWindow>();
        window->prompts = scripted.prompts();
        return *window;
    }

    // Loads the catalog and scans the mod folders, then forgets the messages that caused.
    bool openLoaded()
    {
        open();
        if (!reload())
            return false;
        window->rescanLocalMods();
        scripted.messages.clear();
        scripted.questionDefaults.clear();
        return true;
    }

    bool reload()
    {
        window->reloadCatalog();
        return QTest::qWaitFor([this] { return window->catalogLoaded && !window->catalogLoading; }, 10000);
    }

    // A mod.lua naming the mod; more adds further fields of its info table.
    static void writeModLua(const QString &folder, const QString &name, const QByteArray &more = {})
    {
        writeTestFile(folder + QStringLiteral("/mod.lua"), "function data() return { info = { name = _(\"" +
                                                               name.toUtf8() + "\")" + more + " } } end");
    }

    // A mod folder installed from the built-in repository: a mod.lua naming it and an install marker.
    void installFromCatalog(const QString &folder, const QString &id, const QString &name,
                            const QString &version) const
    {
        writeModLua(userMods + QLatin1Char('/') + folder, name);
        RepoMod mod;
        mod.id = id;
        mod.name = name;
        mod.version = version;
        mod.repositoryName = QStringLiteral("Trackhaven");
        mod.repositoryJsonUrl = builtInRepository().jsonUrl;
        writeInstallMarker(userMods + QLatin1Char('/') + folder, repositoryInstallMarker(mod, QString()));
    }
};
