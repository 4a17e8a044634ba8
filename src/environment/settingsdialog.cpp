#include "environment/settingsdialog.h"

#include "app/settings.h"
#include "catalog/externalrepositoriesdialog.h"
#include "catalog/repositoryvalidation.h"
#include "environment/discovery.h"
#include "environment/externalpaths.h"
#include "modio/modioclient.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {
// A tab shows "&" as the underline of a shortcut key; the texts mean the character itself.
QString tabTitle(const char *text)
{
    QString title = QCoreApplication::translate("MainWindow", text);
    return title.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QLabel *noteLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QPushButton *sideButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}
} // namespace

SettingsDialog::SettingsDialog(const MessagePrompts &prompts, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_values(currentSettingsValues())
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Einstellungen"));
    resize(860, 640);

    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(buildGeneralTab(), tabTitle(QT_TRANSLATE_NOOP("MainWindow", "Allgemein")));
    m_tabs->addTab(buildModIoTab(), tabTitle(QT_TRANSLATE_NOOP("MainWindow", "mod.io")));
    m_tabs->addTab(buildPathsTab(), tabTitle(QT_TRANSLATE_NOOP("MainWindow", "Pfade & Tools")));
    m_tabs->addTab(buildRepositoriesTab(), tabTitle(QT_TRANSLATE_NOOP("MainWindow", "Repositorys & Cache")));
    layout->addWidget(m_tabs, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(QCoreApplication::translate("MainWindow", "Abbrechen"), this);
    m_saveButton = new QPushButton(QCoreApplication::translate("MainWindow", "Speichern"), this);
    m_cancelButton->setAutoDefault(false);
    m_saveButton->setDefault(true);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_saveButton, &QPushButton::clicked, this, &SettingsDialog::save);
    for (const PathField *field :
         {&m_fields.game, &m_fields.userMods, &m_fields.modIoMods, &m_fields.extractor})
        connect(field->edit, &QLineEdit::textChanged, this, &SettingsDialog::refreshVerdicts);
    connect(m_fields.storageRoot.edit, &QLineEdit::textChanged, this, &SettingsDialog::storageRootEdited);
    refreshVerdicts();
}

QWidget *SettingsDialog::buildGeneralTab()
{
    auto *tab = new QWidget;
    auto *form = new QFormLayout(tab);

    m_fields.language = new QComboBox(tab);
    m_fields.language->addItem(QCoreApplication::translate("MainWindow", "Deutsch"), QStringLiteral("de"));
    m_fields.language->addItem(QCoreApplication::translate("MainWindow", "English"), QStringLiteral("en"));
    m_fields.language->setCurrentIndex(qMax(0, m_fields.language->findData(m_values.language)));
    auto *language = new QWidget(tab);
    auto *languageLayout = new QVBoxLayout(language);
    languageLayout->setContentsMargins(0, 0, 0, 0);
    languageLayout->addWidget(m_fields.language);
    languageLayout->addWidget(
        noteLabel(QCoreApplication::translate(
                      "MainWindow", "Sprachänderungen werden nach einem Neustart des ModManagers wirksam."),
                  language));
    form->addRow(QCoreApplication::translate("MainWindow", "Sprache:"), language);

    auto *performance = new QWidget(tab);
    auto *performanceLayout = new QVBoxLayout(performance);
    performanceLayout->setContentsMargins(0, 0, 0, 0);
    m_fields.autoCheck =
        new QCheckBox(QCoreApplication::translate(
                          "MainWindow", "Performance-Check vor Mod-Installationen automatisch durchführen"),
                      performance);
    m_fields.autoCheck->setChecked(m_values.autoCheck);
    m_fields.showCleanReports = new QCheckBox(
        QCoreApplication::translate("MainWindow", "Bericht auch bei unauffälligen Mods anzeigen"),
        performance);
    m_fields.showCleanReports->setChecked(m_values.showCleanReports);
    performanceLayout->addWidget(m_fields.autoCheck);
    performanceLayout->addWidget(m_fields.showCleanReports);
    performanceLayout->addWidget(noteLabel(
        QCoreApplication::translate(
            "MainWindow",
            "Der statische Check analysiert entpackte .mdl-, .msh-, .mtl- und Texturdateien vor der "
            "Installation. Auffällige Mods werden nicht automatisch blockiert."),
        performance));
    form->addRow(QCoreApplication::translate("MainWindow", "Performance:"), performance);

    const QString browse = QCoreApplication::translate("MainWindow", "Durchsuchen…");
    m_fields.game = makePathField(browse, tab);
    m_fields.game.edit->setText(m_values.gamePath);
    m_fields.userMods = makePathField(browse, tab);
    m_fields.userMods.edit->setText(m_values.userModsPath);
    form->addRow(QCoreApplication::translate("MainWindow", "Ferroline 3:"), m_fields.game.widget);
    form->addRow(QCoreApplication::translate("MainWindow", "Manuelle / Steam-Mods:"),
                 m_fields.userMods.widget);
    form->addRow(noteLabel(
        QCoreApplication::translate(
            "MainWindow", "Hinweis: Der Steam-Modpfad wird dynamisch unter Steam\\userdata gesucht. Es ist "
                          "keine Steam-Benutzer-ID im ModManager hinterlegt."),
        tab));
    connect(m_fields.game.browseButton, &QPushButton::clicked, this, [this] {
        pickFolderInto(m_fields.game.edit,
                       QCoreApplication::translate("MainWindow", "Ferroline-3-Spielordner auswählen"),
                       m_prompts);
    });
    connect(m_fields.userMods.browseButton, &QPushButton::clicked, this, [this] {
        pickFolderInto(m_fields.userMods.edit,
                       QCoreApplication::translate("MainWindow", "FX3-Modordner auswählen"), m_prompts);
    });
    return tab;
}

QWidget *SettingsDialog::buildModIoTab()
{
    auto *tab = new QWidget;
    auto *form = new QFormLayout(tab);

    m_fields.storageRoot =
        makePathField(QCoreApplication::translate("MainWindow", "Speicherort ändern…"), tab);
    m_fields.storageRoot.edit->setPlaceholderText(
        QCoreApplication::translate("MainWindow", "z. B. D:/mod.io"));
    m_fields.storageRoot.edit->setText(m_values.storageRoot);
    form->addRow(QCoreApplication::translate("MainWindow", "mod.io Speicherort (ModHub):"),
                 m_fields.storageRoot.widget);
    form->addRow(noteLabel(
        QCoreApplication::translate(
            "MainWindow", "Dieser Speicherort wird beim Speichern auch in "
                          "%LOCALAPPDATA%/mod.io/globalsettings.json als RootLocalStoragePath eingetragen. "
                          "Dadurch verwenden der FX3 Mod-Manager und der interne ModHub denselben Ordner. "
                          "Ferroline 3 sollte beim Ändern beendet sein."),
        tab));
    connect(m_fields.storageRoot.browseButton, &QPushButton::clicked, this, [this] {
        pickFolderInto(m_fields.storageRoot.edit,
                       QCoreApplication::translate("MainWindow", "Neuen mod.io-Speicherort auswählen"),
                       m_prompts);
    });

    m_fields.modIoMods = makePathField(QCoreApplication::translate("MainWindow", "Ordner öffnen"), tab);
    m_fields.modIoMods.edit->setReadOnly(true);
    m_fields.modIoMods.edit->setText(m_values.modIoModsPath);
    form->addRow(QCoreApplication::translate("MainWindow", "mod.io Mods:"), m_fields.modIoMods.widget);
    connect(m_fields.modIoMods.browseButton, &QPushButton::clicked, this, [this] {
        const QString folder = cleanExternalPath(m_fields.modIoMods.edit->text());
        if (!folder.isEmpty())
            m_prompts.openUrl(QUrl::fromLocalFile(folder));
    });

    auto *keyRow = new QHBoxLayout;
    m_fields.apiKey = new QLineEdit(m_values.apiKey, tab);
    m_fields.apiKey->setPlaceholderText(
        QCoreApplication::translate("MainWindow", "Kostenlosen API-Key von mod.io eintragen"));
    m_fields.apiAccessButton =
        sideButton(QCoreApplication::translate("MainWindow", "API access öffnen"), tab);
    keyRow->addWidget(m_fields.apiKey, 1);
    keyRow->addWidget(m_fields.apiAccessButton);
    form->addRow(QCoreApplication::translate("MainWindow", "mod.io API-Key:"), keyRow);
    connect(m_fields.apiAccessButton, &QPushButton::clicked, this,
            [this] { m_prompts.openUrl(QUrl(modIoAccessPageUrl())); });

    m_fields.apiRoot = new QLineEdit(m_values.apiRoot, tab);
    m_fields.apiRoot->setPlaceholderText(gameModIoApiRoot());
    form->addRow(QCoreApplication::translate("MainWindow", "mod.io API-Pfad:"), m_fields.apiRoot);
    form->addRow(noteLabel(
        QCoreApplication::translate(
            "MainWindow", "Den persönlichen API-Pfad zeigt mod.io zusammen mit dem API-Key auf der Seite "
                          "„API access“. Leer gelassen wird der Pfad dieses Spiels verwendet."),
        tab));

    m_fields.communityEnabled = new QCheckBox(
        QCoreApplication::translate("MainWindow", "Community-Hinweise und Meldungen für mod.io aktivieren"),
        tab);
    m_fields.communityEnabled->setChecked(m_values.communityEnabled);
    form->addRow(QCoreApplication::translate("MainWindow", "Community:"), m_fields.communityEnabled);
    m_fields.communityUrl = new QLineEdit(m_values.communityUrl, tab);
    m_fields.communityUrl->setPlaceholderText(defaultCommunityApiUrl());
    form->addRow(QCoreApplication::translate("MainWindow", "Community-API:"), m_fields.communityUrl);
    form->addRow(noteLabel(
        QCoreApplication::translate(
            "MainWindow", "Gesendet werden nur die mod.io-Mod-ID, die Datei-ID, die gewählten Problemarten "
                          "und eine anonyme Kennung dieser Installation (ein SHA-256-Wert). Namen, Pfade "
                          "und Zugangsdaten verlassen den Rechner nicht."),
        tab));
    return tab;
}

QWidget *SettingsDialog::buildPathsTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    auto *form = new QFormLayout;
    m_fields.extractor = makePathField(QCoreApplication::translate("MainWindow", "Durchsuchen…"), tab);
    m_fields.extractor.edit->setPlaceholderText(
        QCoreApplication::translate("MainWindow", "Leer lassen: integriertes 7-Zip verwenden"));
    m_fields.extractor.edit->setText(m_values.extractor);
    m_fields.builtInExtractorButton =
        sideButton(QCoreApplication::translate("MainWindow", "Integriert"), m_fields.extractor.widget);
    m_fields.extractor.row->addWidget(m_fields.builtInExtractorButton);
    form->addRow(QCoreApplication::translate("MainWindow", "Alternativer Entpacker:"),
                 m_fields.extractor.widget);
    layout->addLayout(form);
    connect(m_fields.extractor.browseButton, &QPushButton::clicked, this,
            [this] { pickExtractorInto(m_fields.extractor.edit, m_prompts); });
    connect(m_fields.builtInExtractorButton, &QPushButton::clicked, m_fields.extractor.edit,
            &QLineEdit::clear);

    auto *heading =
        new QLabel(QCoreApplication::translate("MainWindow", "Individuelle Mod-Pfade (z. B. GOG):"), tab);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    m_fields.customPaths = new CustomPathsWidget(m_values.customPaths, m_prompts, tab);
    layout->addWidget(m_fields.customPaths);
    layout->addStretch(1);
    return tab;
}

QWidget *SettingsDialog::buildRepositoriesTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);

    auto *group = new QGroupBox(QCoreApplication::translate("MainWindow", "Externe Repositorys"), tab);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(
        noteLabel(QCoreApplication::translate(
                      "MainWindow",
                      "Zusätzliche Mod-Quellen können hier eingerichtet, aktiviert oder deaktiviert werden."),
                  group));
    m_repositorySummary = new QLabel(group);
    groupLayout->addWidget(m_repositorySummary);
    m_manageRepositoriesButton =
        sideButton(QCoreApplication::translate("MainWindow", "Externe Repositorys verwalten…"), group);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_manageRepositoriesButton);
    buttonRow->addStretch(1);
    groupLayout->addLayout(buttonRow);
    layout->addWidget(group);

    auto *cacheGroup = new QGroupBox(QCoreApplication::translate("MainWindow", "Vorschaubild-Cache"), tab);
    auto *cacheLayout = new QVBoxLayout(cacheGroup);
    m_fields.previewCacheInfo = noteLabel(QString(), cacheGroup);
    cacheLayout->addWidget(m_fields.previewCacheInfo);
    m_fields.clearPreviewCacheButton =
        sideButton(QCoreApplication::translate("MainWindow", "Vorschaubild-Cache leeren"), cacheGroup);
    m_fields.clearPreviewCacheButton->setEnabled(false);
    auto *cacheButtonRow = new QHBoxLayout;
    cacheButtonRow->addWidget(m_fields.clearPreviewCacheButton);
    cacheButtonRow->addStretch(1);
    cacheLayout->addLayout(cacheButtonRow);
    layout->addWidget(cacheGroup);
    layout->addStretch(1);

    connect(m_manageRepositoriesButton, &QPushButton::clicked, this,
            &SettingsDialog::manageExternalRepositories);
    connect(m_fields.clearPreviewCacheButton, &QPushButton::clicked, this,
            &SettingsDialog::clearPreviewCache);
    refreshRepositorySummary();
    return tab;
}

void SettingsDialog::setPreviewCacheHooks(const PreviewCacheHooks &hooks)
{
    m_previewCacheHooks = hooks;
    m_fields.clearPreviewCacheButton->setEnabled(bool(hooks.clear));
    refreshPreviewCacheInfo();
}

void SettingsDialog::refreshPreviewCacheInfo()
{
    m_fields.previewCacheInfo->setText(m_previewCacheHooks.infoText ? m_previewCacheHooks.infoText()
                                                                    : QString());
}

void SettingsDialog::clearPreviewCache()
{
    if (!m_previewCacheHooks.clear)
        return;
    if (!m_previewCacheHooks.clear()) {
        m_prompts.warning(
            QCoreApplication::translate("MainWindow", "Cache konnte nicht geleert werden"),
            QCoreApplication::translate("MainWindow",
                                        "Der Vorschaubild-Cache konnte nicht vollständig gelöscht werden."));
        return;
    }
    refreshPreviewCacheInfo();
    m_prompts.information(QCoreApplication::translate("MainWindow", "Cache geleert"),
                          QCoreApplication::translate(
                              "MainWindow", "Der Vorschaubild-Cache wurde geleert. Bilder werden bei Bedarf "
                                            "neu geladen."));
}

void SettingsDialog::storageRootEdited()
{
    // The mod.io mod folder always lies below the storage root; the field only shows where that is.
    m_fields.modIoMods.edit->setText(modsPathFromStorageRoot(m_fields.storageRoot.edit->text()));
    refreshVerdicts();
}

void SettingsDialog::refreshVerdicts()
{
    showVerdict(m_fields.game.verdict, gameFolderVerdict(m_fields.game.edit->text(), PathDialog::Settings));
    showVerdict(m_fields.userMods.verdict, userModsVerdict(m_fields.userMods.edit->text()));
    showVerdict(m_fields.storageRoot.verdict, storageRootVerdict(m_fields.storageRoot.edit->text()));
    showVerdict(m_fields.modIoMods.verdict,
                modIoModsVerdict(m_fields.modIoMods.edit->text(), PathDialog::Settings));
    showVerdict(m_fields.extractor.verdict, currentExtractorVerdict(m_fields.extractor.edit->text()));
}

void SettingsDialog::refreshRepositorySummary()
{
    m_repositorySummary->setText(externalRepositoriesSummary(m_values.repositories));
}

void SettingsDialog::manageExternalRepositories()
{
    ExternalRepositoriesDialog editor(m_values.repositories, m_repositoryHooks, this);
    connect(&editor, &ExternalRepositoriesDialog::repositoriesChanged, this, [this, &editor] {
        m_values.repositories = editor.repositories();
        refreshRepositorySummary();
    });
    m_repositoryHooks.run(editor);
}

SettingsValues SettingsDialog::enteredValues() const
{
    SettingsValues values;
    values.gamePath = cleanExternalPath(m_fields.game.edit->text());
    values.userModsPath = cleanExternalPath(m_fields.userMods.edit->text());
    values.storageRoot = cleanExternalPath(m_fields.storageRoot.edit->text());
    values.modIoModsPath = modsPathFromStorageRoot(values.storageRoot);
    values.apiKey = m_fields.apiKey->text().trimmed();
    values.apiRoot = apiRootFromInput(m_fields.apiRoot->text());
    values.communityEnabled = m_fields.communityEnabled->isChecked();
    values.communityUrl = m_fields.communityUrl->text().trimmed();
    if (values.communityUrl.isEmpty())
        values.communityUrl = defaultCommunityApiUrl();
    values.extractor = cleanExternalPath(m_fields.extractor.edit->text());
    values.language = m_fields.language->currentData().toString();
    values.autoCheck = m_fields.autoCheck->isChecked();
    values.showCleanReports = m_fields.showCleanReports->isChecked();
    values.customPaths = m_fields.customPaths->paths();
    values.repositories = m_values.repositories;
    return values;
}

bool SettingsDialog::acceptValues(SettingsValues &values)
{
    const Refusal refusals[] = {
        refuseGameFolder(values.gamePath, PathDialog::Settings),
        refuseUserMods(values.userModsPath, PathDialog::Settings),
        refuseExtractor(values.extractor),
        refuseCustomPaths(m_fields.customPaths->paths(), &values.customPaths),
        refuseModIoApiRoot(values.apiRoot),
        values.communityEnabled ? refuseCommunityUrl(values.communityUrl) : Refusal(),
        refuseStorageRoot(values.storageRoot),
    };
    for (const Refusal &refusal : refusals) {
        if (refusal.refused()) {
            m_prompts.warning(refusal.title, refusal.text);
            return false;
        }
    }
    // Only a root the player changed here moves the storage; the one shown at the start is already in use.
    const QString shownRoot = cleanExternalPath(m_values.storageRoot);
    if (values.storageRoot.isEmpty() || values.storageRoot.compare(shownRoot, Qt::CaseInsensitive) == 0)
        return true;
    const QString question =
        QCoreApplication::translate(
            "MainWindow",
            "Der Speicherort des internen Ferroline-3-ModHubs wird auf\n\n%1\n\ngeändert.\n\nFerroline 3 "
            "sollte "
            "dabei beendet sein. Bereits abonnierte Mods können beim nächsten Spielstart am neuen Ort erneut "
            "heruntergeladen werden. Vorhandene Dateien werden nicht automatisch verschoben.\n\nFortfahren?")
            .arg(QDir::toNativeSeparators(values.storageRoot));
    if (!m_prompts.question(QCoreApplication::translate("MainWindow", "mod.io-Speicherort ändern"), question,
                            DefaultAnswer::No))
        return false;
    QString error;
    if (!moveModIoStorage(values.storageRoot, &error)) {
        m_prompts.critical(
            QCoreApplication::translate("MainWindow", "mod.io-Speicherort konnte nicht geändert werden"),
            error);
        return false;
    }
    return true;
}

bool SettingsDialog::save()
{
    SettingsValues values = enteredValues();
    if (!acceptValues(values))
        return false;
    m_languageChanged = values.language.compare(m_values.language, Qt::CaseInsensitive) != 0;
    writeSettingsValues(values);
    accept();
    return true;
}
