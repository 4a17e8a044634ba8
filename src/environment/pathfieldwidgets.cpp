#include "environment/pathfieldwidgets.h"

#include "environment/externalpaths.h"
#include "install/extractor.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// Pickers start where the field points when that folder exists; otherwise the system chooses.
QString existingFolderOrEmpty(const QString &folder)
{
    return isFolder(folder) ? folder : QString();
}

QString extractorFilter()
{
#ifdef Q_OS_WIN
    return tr("Unterstützte Entpacker (7z.exe 7zz.exe 7za.exe WinRAR.exe RAR.exe UnRAR.exe);;Programme "
              "(*.exe);;Alle Dateien (*.*)");
#else
    // Here the tools carry no ".exe", and RAR's own Linux builds are named in lower case.
    return tr("Unterstützte Entpacker (7z 7zz 7za WinRAR RAR UnRAR rar unrar);;Alle Dateien (*)");
#endif
}
} // namespace

PathField makePathField(const QString &browseText, QWidget *parent)
{
    PathField field;
    field.widget = new QWidget(parent);
    auto *layout = new QVBoxLayout(field.widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    field.row = new QHBoxLayout;
    field.edit = new QLineEdit(field.widget);
    field.row->addWidget(field.edit, 1);
    if (!browseText.isEmpty()) {
        field.browseButton = new QPushButton(browseText, field.widget);
        field.browseButton->setAutoDefault(false);
        field.row->addWidget(field.browseButton);
    }
    layout->addLayout(field.row);
    field.verdict = new QLabel(field.widget);
    field.verdict->setWordWrap(true);
    layout->addWidget(field.verdict);
    return field;
}

void showVerdict(QLabel *label, const PathVerdict &verdict)
{
    label->setText(verdict.text);
    label->setStyleSheet(verdictStyleSheet(verdict.tone));
}

void pickFolderInto(QLineEdit *edit, const QString &title, const MessagePrompts &prompts)
{
    const QString chosen = cleanExternalPath(
        prompts.chooseFolder(title, existingFolderOrEmpty(cleanExternalPath(edit->text()))));
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

void pickExtractorInto(QLineEdit *edit, const MessagePrompts &prompts)
{
    const QString current = cleanExternalPath(edit->text());
    const QString startFolder = current.isEmpty() ? QString() : QFileInfo(current).path();
    const QString chosen = cleanExternalPath(prompts.chooseFileIn(
        tr("Entpacker auswählen"), extractorFilter(), existingFolderOrEmpty(startFolder)));
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

PathVerdict currentExtractorVerdict(const QString &field)
{
    return extractorVerdict(field, findBundledSevenZip(), [] {
        const QString sevenZip = findSevenZip();
        return sevenZip.isEmpty() ? findRarTool() : sevenZip;
    });
}

CustomPathsWidget::CustomPathsWidget(const QStringList &paths, const MessagePrompts &prompts, QWidget *parent)
    : QWidget(parent), m_prompts(prompts)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_list = new QListWidget(this);
    m_list->setMaximumHeight(105);
    m_list->addItems(paths);
    layout->addWidget(m_list);

    auto *buttons = new QHBoxLayout;
    m_addButton = new QPushButton(tr("Pfad hinzufügen…"), this);
    m_removeButton = new QPushButton(tr("Ausgewählten Pfad entfernen"), this);
    for (QPushButton *button : {m_addButton, m_removeButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);
    m_verdict = new QLabel(this);
    m_verdict->setWordWrap(true);
    layout->addWidget(m_verdict);

    connect(m_addButton, &QPushButton::clicked, this, &CustomPathsWidget::addPath);
    connect(m_removeButton, &QPushButton::clicked, this, &CustomPathsWidget::removeSelectedPath);
    connect(this, &CustomPathsWidget::pathsChanged, this, &CustomPathsWidget::refreshVerdict);
    refreshVerdict();
}

QStringList CustomPathsWidget::paths() const
{
    QStringList paths;
    for (int row = 0; row < m_list->count(); ++row)
        paths.append(m_list->item(row)->text());
    return paths;
}

void CustomPathsWidget::addPath()
{
    const QString chosen =
        cleanExternalPath(m_prompts.chooseFolder(tr("Individuellen Modordner auswählen"), {}));
    if (chosen.isEmpty() || paths().contains(chosen, Qt::CaseInsensitive))
        return;
    m_list->addItem(chosen);
    emit pathsChanged();
}

void CustomPathsWidget::removeSelectedPath()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    delete m_list->takeItem(row);
    emit pathsChanged();
}

void CustomPathsWidget::refreshVerdict()
{
    showVerdict(m_verdict, customPathsVerdict(paths()));
}
