#include "app/apptranslator.h"
#include "installfixtures.h"

#include <QCoreApplication>
#include <QRegularExpression>

// From the archive to the installed folder: volumes, mod root and name, archives that must install nothing.
class TestInstaller : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!realSevenZip().isEmpty(), "the tests need 7zz (Debian package 7zip) on the search path");
    }
    void init() { m_box = new InstallSandbox; }
    void cleanup()
    {
        // Nothing of an extraction survives the call, whatever its outcome.
        QCOMPARE(m_box->temporaryLeftovers(), QStringList());
        delete m_box;
        m_box = nullptr;
    }

    void modNames_data();
    void modNames();
    void firstVolume_data();
    void firstVolume();
    void modRootAndName_data();
    void modRootAndName();
    void multiVolumeArchive_data();
    void multiVolumeArchive();
    void archivesThatInstallNothing_data();
    void archivesThatInstallNothing();
    void traversalEntriesStayInside();
    void linkInsideArchiveIsCopiedAsFile();
    void untrustedTreeIsRefused_data();
    void untrustedTreeIsRefused();
    void modsFolderQuestion();
    void replaceTargetWithoutParent();
    void englishTexts();

private:
    InstallSandbox *m_box = nullptr;
};

void TestInstaller::modNames_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "C:/dl/Cool Mod.zip"
                           << "Cool Mod";
    QTest::newRow("dots in the name") << "My.Mod.v2.7z"
                                      << "My.Mod.v2";
    QTest::newRow("first rar part") << "Pack.part1.rar"
                                    << "Pack";
    QTest::newRow("first rar part, padded") << "Pack.PART001.rar"
                                            << "Pack";
    QTest::newRow("part1 of a zip") << "Pack.part1.zip"
                                    << "Pack";
    QTest::newRow("numbered 7z") << "Pack.7z.001"
                                 << "Pack";
    QTest::newRow("numbered zip") << "pack.zip.001"
                                  << "pack";
    QTest::newRow("only dots") << "...zip"
                               << "manual_mod";
    QTest::newRow("blank") << " .zip"
                           << "manual_mod";
    QTest::newRow("no suffix") << "mymod"
                               << "mymod";
}

void TestInstaller::modNames()
{
    QFETCH(QString, archive);
    QFETCH(QString, name);
    QCOMPARE(safeModFolderName(archiveModName(archive)), name);
    QCOMPARE(backupFolderName(QStringLiteral("Mod%2"), 1700000000123),
             QStringLiteral(".fx3mm_backup_Mod%2_1700000000123"));
}

void TestInstaller::firstVolume_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("expected");
    QTest::newRow("rar part 2") << QStringList{"pack.part1.rar", "pack.part2.rar"} << "pack.part2.rar"
                                << "pack.part1.rar";
    QTest::newRow("other letter case") << QStringList{"pack.part1.rar", "Pack.PART3.RAR"} << "Pack.PART3.RAR"
                                       << "pack.part1.rar";
    QTest::newRow("first part missing")
        << QStringList{"pack.part2.rar", "other.part1.rar"} << "pack.part2.rar"
        << "";
    QTest::newRow("old-style rar") << QStringList{"mod.rar", "mod.r00", "mod.r01"} << "mod.r01"
                                   << "mod.rar";
    QTest::newRow("numbered 7z") << QStringList{"pack.7z.001", "pack.7z.002"} << "pack.7z.002"
                                 << "pack.7z.001";
    QTest::newRow("first is chosen") << QStringList{"pack.7z.001"} << "pack.7z.001"
                                     << "pack.7z.001";
    QTest::newRow("plain archive") << QStringList{"mod.zip"} << "mod.zip"
                                   << "mod.zip";
    QTest::newRow("a folder is no volume")
        << QStringList{"pack.part1.rar/", "pack.part2.rar"} << "pack.part2.rar"
        << "";
}

void TestInstaller::firstVolume()
{
    QFETCH(QStringList, files);
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    const QString folder = m_box->env.makeDir(QStringLiteral("volumes"));
    for (const QString &file : files) {
        if (file.endsWith(QLatin1Char('/')))
            QDir().mkpath(folder + QLatin1Char('/') + file);
        else
            writeTestFile(folder + QLatin1Char('/') + file, "x");
    }
    QCOMPARE(firstArchiveVolume(folder + QLatin1Char('/') + chosen),
             expected.isEmpty() ? QString() : folder + QLatin1Char('/') + expected);
}

void TestInstaller::modRootAndName_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<Tree>("content");
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<Tree>("installed");

    const Tree mod = {{QStringLiteral("mod.lua"), "lua"}, {QStringLiteral("res/a.txt"), "a"}};
    QTest::newRow("single folder, any name")
        << "download-123.zip" << below(QStringLiteral("MyMod/"), mod) << "MyMod" << mod;
    QTest::newRow("single folder without mod files")
        << "x.7z" << Tree{{QStringLiteral("Outer/Inner/mod.lua"), "lua"}} << "Outer"
        << Tree{{QStringLiteral("Inner/mod.lua"), "lua"}};
    QTest::newRow("mod files at the top") << "Top Mod.7z" << mod << "Top Mod" << mod;
    QTest::newRow("readme beside the mod folder")
        << "bundle.zip"
        << merged(below(QStringLiteral("Cool_1/"), mod), Tree{{QStringLiteral("readme.txt"), "read me"}})
        << "Cool_1" << mod;
    QTest::newRow("first mod folder by name")
        << "two.zip" << merged(below(QStringLiteral("b_mod/"), mod), below(QStringLiteral("a_mod/"), mod))
        << "a_mod" << mod;
    QTest::newRow("no mod folder: everything, named after the archive")
        << "Pack.part1.zip" << Tree{{QStringLiteral("one/x.txt"), "x"}, {QStringLiteral("two/y.txt"), "y"}}
        << "Pack" << Tree{{QStringLiteral("one/x.txt"), "x"}, {QStringLiteral("two/y.txt"), "y"}};
    QTest::newRow("archive name of dots only") << "...zip" << mod << "manual_mod" << mod;
}

void TestInstaller::modRootAndName()
{
    QFETCH(QString, archiveName);
    QFETCH(Tree, content);
    QFETCH(QString, folderName);
    QFETCH(Tree, installed);

    const QString path = m_box->archive(archiveName, content);
    QVERIFY(!path.isEmpty());
    PlayerAnswers answers;
    InstallResult result;
    QString error;
    QVERIFY2(installFromArchive(path, {}, answers.prompts(), &result, &error), qPrintable(error));
    QCOMPARE(result.installedPath, m_box->mods + QLatin1Char('/') + folderName);
    QVERIFY(result.copied);
    QVERIFY(result.warning.isEmpty());
    QCOMPARE(treeOf(m_box->mods + QLatin1Char('/') + folderName), installed);
    QCOMPARE(QDir(m_box->mods).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{folderName});
    QVERIFY(answers.questions.isEmpty());
}

void TestInstaller::multiVolumeArchive_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("removeFirst");
    QTest::newRow("second volume chosen") << "pack.7z.002" << false;
    QTest::newRow("first volume chosen") << "pack.7z.001" << false;
    QTest::newRow("first volume missing") << "pack.7z.002" << true;
}

void TestInstaller::multiVolumeArchive()
{
    QFETCH(QString, chosen);
    QFETCH(bool, removeFirst);
    const Tree content = {{QStringLiteral("mod.lua"), "lua"}, {QStringLiteral("res/big.dds"), noise(300000)}};
    const QString first = m_box->archive(QStringLiteral("pack.7z"), content, {QStringLiteral("-v100k")});
    QVERIFY(!first.isEmpty());
    const QString downloads = m_box->env.root() + QStringLiteral("/downloads");
    QVERIFY(QFile::exists(downloads + QStringLiteral("/pack.7z.003")));
    if (removeFirst)
        QVERIFY(QFile::remove(downloads + QStringLiteral("/pack.7z.001")));

    PlayerAnswers answers;
    InstallResult result;
    QString error;
    const bool ok =
        installFromArchive(downloads + QLatin1Char('/') + chosen, {}, answers.prompts(), &result, &error);
    if (removeFirst) {
        QVERIFY(!ok);
        QCOMPARE(error,
                 QStringLiteral("Dies ist nicht der erste Teil eines mehrteiligen Archivs.\n\nBitte stelle "
                                "alle Archivteile im selben Ordner bereit und wähle den ersten Teil aus."));
        QVERIFY(treeOf(m_box->mods).isEmpty());
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(result.installedPath, m_box->mods + QStringLiteral("/pack"));
    QCOMPARE(treeOf(result.installedPath), content);
}

void TestInstaller::archivesThatInstallNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("errorStart");
    QTest::newRow("empty zip") << "empty"
                               << "Das Archiv ist leer.";
    QTest::newRow("corrupt 7z") << "corrupt"
                                << "Archiv konnte nicht entpackt werden.\nProgramm: ";
    QTest::newRow("missing file") << "missing"
                                  << "Archiv konnte nicht entpackt werden.\nProgramm: ";
    QTest::newRow("link leading out of the archive (7-Zip refuses it)")
        << "dangerous link"
        << "Archiv konnte nicht entpackt werden.";
    QTest::newRow("absolute link (7-Zip re-roots it into nothing)")
        << "absolute link"
        << "Das Archiv enthält unsichere Einträge";
}

void TestInstaller::archivesThatInstallNothing()
{
    QFETCH(QString, kind);
    QFETCH(QString, errorStart);
    // An installed version that must survive every one of these.
    writeTree(m_box->mods + QStringLiteral("/Mod"), oldVersion);
    const QString downloads = m_box->env.makeDir(QStringLiteral("downloads"));
    QString path = downloads + QStringLiteral("/Mod.7z");
    if (kind == QLatin1String("empty")) {
        // End-of-central-directory record only: a valid ZIP without entries.
        path = downloads + QStringLiteral("/Mod.zip");
        writeTestFile(path, QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    } else if (kind == QLatin1String("corrupt")) {
        writeTestFile(path, QByteArray("7z\xBC\xAF\x27\x1C", 6) + noise(2000));
    } else if (kind == QLatin1String("dangerous link") || kind == QLatin1String("absolute link")) {
        const QString source = m_box->env.makeDir(QStringLiteral("linksrc"));
        writeTestFile(source + QStringLiteral("/Mod/mod.lua"), "lua");
        const QString linkTarget = kind == QLatin1String("absolute link")
                                       ? m_box->env.writeFile(QStringLiteral("secret.txt"), "s")
                                       : QStringLiteral("../../../secret.txt");
        QVERIFY(QFile::link(linkTarget, source + QStringLiteral("/Mod/res")));
        QVERIFY(packFolder(source, path, {QStringLiteral("-snl")}));
    }

    Faults faults;
    PlayerAnswers answers;
    InstallOptions options;
    options.replaceTarget = m_box->mods + QStringLiteral("/Mod");
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()));
    QVERIFY2(error.startsWith(errorStart), qPrintable(error));
    QVERIFY(!result.copied);
    QVERIFY(result.installedPath.isEmpty());
    QCOMPARE(treeOf(m_box->mods + QStringLiteral("/Mod")), oldVersion);
    QCOMPARE(QDir(m_box->mods).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Mod"});
    QVERIFY(faults.copiedFiles.isEmpty());
}

void TestInstaller::traversalEntriesStayInside()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is needed to write ZIP entries with \"..\" in their names");
    const QString path = m_box->env.makeDir(QStringLiteral("downloads")) + QStringLiteral("/traversal.zip");
    QProcess process;
    process.start(python, {QStringLiteral("-c"),
                           QStringLiteral("import sys, zipfile\n"
                                          "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                          "    z.writestr('Mod/mod.lua', 'lua')\n"
                                          "    z.writestr('../evil.txt', 'evil')\n"
                                          "    z.writestr('../../../evil2.txt', 'evil')\n"
                                          "    z.writestr('Mod/../../evil3.txt', 'evil')\n"),
                           path});
    QVERIFY(process.waitForFinished(30000) && process.exitCode() == 0);

    PlayerAnswers answers;
    InstallResult result;
    QString error;
    // 7-Zip strips the ".." parts; whatever the tool does, nothing may appear outside the installed mod.
    const bool ok = installFromArchive(path, {}, answers.prompts(), &result, &error);
    QDirIterator it(m_box->env.root(), {QStringLiteral("evil*")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QStringList evil;
    while (it.hasNext()) {
        const QString file = it.next();
        if (!file.startsWith(m_box->mods + QStringLiteral("/Mod/")))
            evil.append(file);
    }
    QVERIFY2(evil.isEmpty(), qPrintable(evil.join(QLatin1Char(' '))));
    if (ok)
        QCOMPARE(result.installedPath, m_box->mods + QStringLiteral("/Mod"));
    else
        QVERIFY(treeOf(m_box->mods).isEmpty());
}

void TestInstaller::linkInsideArchiveIsCopiedAsFile()
{
    const QString source = m_box->env.makeDir(QStringLiteral("linksrc"));
    writeTestFile(source + QStringLiteral("/Mod/mod.lua"), "lua");
    QVERIFY(QFile::link(QStringLiteral("mod.lua"), source + QStringLiteral("/Mod/alias.lua")));
    const QString path = m_box->env.makeDir(QStringLiteral("downloads")) + QStringLiteral("/Mod.7z");
    QVERIFY(packFolder(source, path, {QStringLiteral("-snl")}));

    PlayerAnswers answers;
    InstallResult result;
    QString error;
    QVERIFY2(installFromArchive(path, {}, answers.prompts(), &result, &error), qPrintable(error));
    QCOMPARE(treeOf(m_box->mods),
             (Tree{{QStringLiteral("Mod/mod.lua"), "lua"}, {QStringLiteral("Mod/alias.lua"), "lua"}}));
    QVERIFY(!QFileInfo(m_box->mods + QStringLiteral("/Mod/alias.lua")).isSymbolicLink());
}

// Extractors other than 7-Zip may honour links and ".." entries; a stand-in tool plays such an extractor.
void TestInstaller::untrustedTreeIsRefused_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QString>("entry");
    QTest::newRow("link to a system folder")
        << QByteArray("/bin/ln -s /etc \"$dest/Mod/res/etc\"\n") << "Mod/res/etc";
    QTest::newRow("link to the mods folder")
        << QByteArray("/bin/ln -s \"$MODS\" \"$dest/Mod/res/mods\"\n") << "Mod/res/mods";
    QTest::newRow("entry written beside the folder")
        << QByteArray("echo evil > \"$dest/../escaped.txt\"\n") << "../escaped.txt";
}

void TestInstaller::untrustedTreeIsRefused()
{
    QFETCH(QByteArray, action);
    QFETCH(QString, entry);
    const QString tool = m_box->env.makeDir(QStringLiteral("tools")) + QStringLiteral("/7zz");
    writeTestFile(tool, "#!/bin/sh\n"
                        "dest=\"${3#-o}\"\n"
                        "/bin/mkdir -p \"$dest/Mod/res\"\n"
                        "echo lua > \"$dest/Mod/mod.lua\"\n" +
                            action);
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSettings().setValue(QStringLiteral("tools/7zip"), tool);
    m_box->env.setEnv("MODS", m_box->mods.toLocal8Bit());
    writeTree(m_box->mods + QStringLiteral("/Mod"), oldVersion);
    const QString path = m_box->env.writeFile(QStringLiteral("downloads/Mod.7z"), "stand-in");

    Faults faults;
    PlayerAnswers answers;
    answers.overwrite = true;
    InstallOptions options;
    options.replaceTarget = m_box->mods + QStringLiteral("/Mod");
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()));
    QCOMPARE(error,
             QStringLiteral("Das Archiv enthält unsichere Einträge, die aus dem Mod-Ordner herausführen "
                            "(z. B. symbolische Links oder Pfade mit \"..\"). Aus Sicherheitsgründen wurde "
                            "nichts installiert.\n\nBetroffener Eintrag: %1")
                 .arg(QDir::toNativeSeparators(entry)));
    QCOMPARE(treeOf(m_box->mods), below(QStringLiteral("Mod/"), oldVersion));
    QVERIFY(faults.copiedFiles.isEmpty());
    QCOMPARE(answers.reports, 0);
}

void TestInstaller::modsFolderQuestion()
{
    QSettings().remove(QStringLiteral("paths/usermods"));
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), {{QStringLiteral("Mod/mod.lua"), "lua"}});

    PlayerAnswers declining;
    QString error;
    QVERIFY(!installFromArchive(path, {}, declining.prompts(), nullptr, &error));
    QCOMPARE(error, QStringLiteral("Kein Zielordner ausgewählt."));
    QCOMPARE(declining.questions, QStringList{QStringLiteral("Zielordner für Mods auswählen @ ")});

    // A stored folder that no longer exists is offered as the start of the choice.
    const QString gone = m_box->env.root() + QStringLiteral("/gone");
    QSettings().setValue(QStringLiteral("paths/usermods"), gone);
    PlayerAnswers choosing;
    const QString chosen = m_box->env.makeDir(QStringLiteral("chosen"));
    choosing.chosenFolder = QDir::toNativeSeparators(chosen + QStringLiteral("/sub/..")) + QLatin1Char(' ');
    InstallResult result;
    QVERIFY2(installFromArchive(path, {}, choosing.prompts(), &result, &error), qPrintable(error));
    QCOMPARE(choosing.questions, QStringList{QStringLiteral("Zielordner für Mods auswählen @ ") + gone});
    QCOMPARE(result.installedPath, chosen + QStringLiteral("/Mod"));
    QCOMPARE(QSettings().value(QStringLiteral("paths/usermods")).toString(), chosen);
}

void TestInstaller::replaceTargetWithoutParent()
{
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), {{QStringLiteral("Mod/mod.lua"), "lua"}});
    PlayerAnswers answers;
    answers.chosenFolder = m_box->env.makeDir(QStringLiteral("other"));
    InstallOptions options;
    options.replaceTarget = m_box->env.root() + QStringLiteral("/unplugged/mods/Mod");
    options.replaceSilently = true;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), nullptr, &error));
    QCOMPARE(error,
             QStringLiteral("Der Ordner der zu ersetzenden Mod existiert nicht mehr:\n%1")
                 .arg(QDir::toNativeSeparators(m_box->env.root() + QStringLiteral("/unplugged/mods"))));
    QVERIFY(answers.questions.isEmpty());
    QCOMPARE(QSettings().value(QStringLiteral("paths/usermods")).toString(), m_box->mods);
    QVERIFY(!QFileInfo::exists(m_box->env.root() + QStringLiteral("/unplugged")));
}

void TestInstaller::englishTexts()
{
    AppTranslator english(QStringLiteral("en"));
    QCoreApplication::installTranslator(&english);
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), {{QStringLiteral("Mod/mod.lua"), "lua"}});
    writeTestFile(m_box->mods + QStringLiteral("/Mod/mod.lua"), "old");
    PlayerAnswers answers;
    QString cancelled;
    const bool ok = installFromArchive(path, {}, answers.prompts(), nullptr, &cancelled);
    QSettings().remove(QStringLiteral("paths/usermods"));
    QString noFolder;
    installFromArchive(path, {}, answers.prompts(), nullptr, &noFolder);
    const bool recognised = isInstallCancelled(cancelled);
    QCoreApplication::removeTranslator(&english);

    QVERIFY(!ok);
    QCOMPARE(cancelled, QStringLiteral("Installation cancelled."));
    QVERIFY(recognised);
    QVERIFY(isInstallCancelled(cancelText));
    QVERIFY(!isInstallCancelled(QStringLiteral("Update abgebrochen.")));
    QCOMPARE(
        answers.questions,
        (QStringList{QStringLiteral("Mod already installed: The mod 'Mod' is already installed.\n\nUpdate/"
                                    "overwrite the existing files?"),
                     QStringLiteral("Select destination folder for mods @ ")}));
    QCOMPARE(noFolder, QStringLiteral("No destination folder selected."));

    // Every message of the pipeline that has an English text must find it in the table.
    const QStringList germanTexts = {
        QStringLiteral("Temporärer Entpackordner konnte nicht erstellt werden."),
        QStringLiteral("Das Archiv ist leer."),
        QStringLiteral(
            "Der vorhandene Mod-Ordner konnte für das saubere Update nicht gesichert werden:\n%1\n\n%2"
            "\n\nDie bestehende Installation wurde nicht verändert."),
        QStringLiteral("\n\nDie vorherige Mod-Version wurde wiederhergestellt."),
        QStringLiteral("Quellordner existiert nicht: %1"),
        QStringLiteral("Zielordner konnte nicht erstellt werden: %1"),
        QStringLiteral("Ordner konnte nicht erstellt werden: %1"),
        QStringLiteral(
            "Datei konnte nach mehreren Versuchen nicht ersetzt werden:\n%1\n\nWindows meldet: %2\n\n"
            "Bitte prüfe Schreibrechte bzw. Schreibschutz und ob Virenscanner, "
            "Synchronisationssoftware oder ein anderer Prozess auf die Datei zugreift."),
        QStringLiteral("Unbekannter Dateifehler"),
        QStringLiteral(
            "Datei konnte nach mehreren Versuchen nicht kopiert werden:\n%1\n\nWindows meldet: %2"),
        QStringLiteral("Der Modordner konnte nicht gelöscht werden."),
        QStringLiteral(
            "Das Archiv enthält unsichere Einträge, die aus dem Mod-Ordner herausführen (z. B. "
            "symbolische Links oder Pfade mit \"..\"). Aus Sicherheitsgründen wurde nichts installiert."
            "\n\nBetroffener Eintrag: %1"),
        QStringLiteral("Symbolischer Link zeigt aus dem Quellordner heraus: %1"),
        QStringLiteral("Der Ordner der zu ersetzenden Mod existiert nicht mehr:\n%1"),
        QStringLiteral(
            "Das Update wurde installiert, aber die Sicherung der alten Version konnte nicht "
            "vollständig entfernt werden. Bitte lösche den verbliebenen Sicherungsordner von Hand, "
            "damit die Mod nicht doppelt geladen wird:\n%1\n\n%2"),
    };
    QHash<QString, QString> table;
    for (const auto &row : englishTableRows())
        table.insert(row.first, row.second);
    for (const QString &german : germanTexts)
        QVERIFY2(!table.value(german).isEmpty() && table.value(german) != german, qPrintable(german));
}

QTEST_GUILESS_MAIN(TestInstaller)
#include "tst_installer.moc"
