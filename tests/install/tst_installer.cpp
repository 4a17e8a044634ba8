#include "app/apptranslator.h"
#include "installfixtures.h"

#include <QCoreApplication>

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
    void modRootAndName_data();
    void modRootAndName();
    void multiVolumeArchive_data();
    void multiVolumeArchive();
    void archivesThatInstallNothing_data();
    void archivesThatInstallNothing();
    void traversalEntriesStayInside();
    void untrustedTreeIsRefused_data();
    void untrustedTreeIsRefused();
    void replaceTargetWithoutParent();
    void englishTexts();

private:
    InstallSandbox *m_box = nullptr;
};

void TestInstaller::modNames_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("name");
    QTest::newRow("dots in the name") << "My.Mod.v2.7z"
                                      << "My.Mod.v2";
    QTest::newRow("first rar part, padded") << "Pack.PART001.rar"
                                            << "Pack";
    QTest::newRow("numbered zip") << "pack.zip.001"
                                  << "pack";
    QTest::newRow("blank") << " .zip"
                           << "manual_mod";
}

void TestInstaller::modNames()
{
    QFETCH(QString, archive);
    QFETCH(QString, name);
    QCOMPARE(safeModFolderName(archiveModName(archive)), name);
    QCOMPARE(backupFolderName(QStringLiteral("Mod%2"), 1700000000123),
             QStringLiteral(".fx3mm_backup_Mod%2_1700000000123"));
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
    QTest::newRow("corrupt 7z") << "corrupt"
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
    const QString path = downloads + QStringLiteral("/Mod.7z");
    if (kind == QLatin1String("corrupt")) {
        writeTestFile(path, QByteArray("7z\xBC\xAF\x27\x1C", 6) + noise(2000));
    } else {
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

// Extractors other than 7-Zip may honour links and ".." entries; a stand-in tool plays such an extractor.
void TestInstaller::untrustedTreeIsRefused_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QString>("entry");
    QTest::newRow("link to a system folder")
        << QByteArray("/bin/ln -s /etc \"$dest/Mod/res/etc\"\n") << "Mod/res/etc";
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

// The cancel must still be recognised as one when its text is shown in English.
void TestInstaller::englishTexts()
{
    AppTranslator english(QStringLiteral("en"));
    QCoreApplication::installTranslator(&english);
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), {{QStringLiteral("Mod/mod.lua"), "lua"}});
    writeTestFile(m_box->mods + QStringLiteral("/Mod/mod.lua"), "old");
    PlayerAnswers answers;
    QString cancelled;
    const bool ok = installFromArchive(path, {}, answers.prompts(), nullptr, &cancelled);
    const bool recognised = isInstallCancelled(cancelled);
    QCoreApplication::removeTranslator(&english);

    QVERIFY(!ok);
    QCOMPARE(cancelled, QStringLiteral("Installation cancelled."));
    QVERIFY(recognised);
    QVERIFY(isInstallCancelled(cancelText));
    QVERIFY(!isInstallCancelled(QStringLiteral("Update abgebrochen.")));
}

QTEST_GUILESS_MAIN(TestInstaller)
#include "tst_installer.moc"
