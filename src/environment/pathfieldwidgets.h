#pragma once

#include "app/messageprompts.h"
#include "environment/pathverdicts.h"

#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The pieces the setup and the settings dialog share: path fields with a verdict under them, the pickers
// behind their buttons and the list of custom mod folders.

// A line edit with its buttons in one row and the verdict label under that row; widget holds all of it.
struct PathField
{
    QWidget *widget = nullptr;
    QLineEdit *edit = nullptr;
    QPushButton *browseButton = nullptr;
    QLabel *verdict = nullptr;
    QHBoxLayout *row = nullptr; // the edit and its buttons, for buttons of a field's own
};

PathField makePathField(const QString &browseText, QWidget *parent);
void showVerdict(QLabel *label, const PathVerdict &verdict);

// Asks for a folder, starting in the one the field names when it exists, and puts the cleaned choice into
// the field. Cancelling leaves the field as it was.
void pickFolderInto(QLineEdit *edit, const QString &title, const MessagePrompts &prompts);
// The same for the extractor, starting in the folder of the current entry.
void pickExtractorInto(QLineEdit *edit, const MessagePrompts &prompts);

// The extractor verdict with the 7-Zip shipped beside the program and the tools found on this system.
PathVerdict currentExtractorVerdict(const QString &field);

// Additional mod folders: a short list, "Pfad hinzufügen…", "Ausgewählten Pfad entfernen" and a verdict.
class CustomPathsWidget : public QWidget
{
    Q_OBJECT

public:
    CustomPathsWidget(const QStringList &paths, const MessagePrompts &prompts, QWidget *parent = nullptr);

    QStringList paths() const;

    QListWidget *list() const { return m_list; }
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *removeButton() const { return m_removeButton; }
    QLabel *verdictLabel() const { return m_verdict; }

Q_SIGNALS:
    void pathsChanged();

private:
    void addPath();
    void removeSelectedPath();
    void refreshVerdict();

    MessagePrompts m_prompts;
    QListWidget *m_list = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_removeButton = nullptr;
    QLabel *m_verdict = nullptr;
};
