#pragma once

#include "catalog/repomod.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

// How the repository dialogs show warnings and run their child dialogs. Empty members fall back to a
// message box and a modal exec(); tests drive the dialogs' widgets instead, so nothing waits for a user.
struct RepositoryEditorHooks
{
    std::function<void(QWidget *parent, const QString &title, const QString &text)> warning;
    // Runs a dialog to its end and returns its result code.
    std::function<int(QDialog &dialog)> runDialog;

    void showWarning(QWidget *parent, const QString &title, const QString &text) const;
    int run(QDialog &dialog) const;
};

// Adds or edits one external repository. "Speichern" closes the dialog only when the entries are usable;
// otherwise it warns and keeps everything as typed.
class RepositoryDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Mode
    {
        Add,
        Edit
    };

    RepositoryDialog(Mode mode, const RepositoryConfig &repository, const RepositoryEditorHooks &hooks,
                     QWidget *parent = nullptr);

    // The entered repository, texts trimmed. Fields the dialog does not show keep their initial values.
    RepositoryConfig repository() const;

    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *jsonUrlEdit() const { return m_jsonUrl; }
    QLineEdit *baseUrlEdit() const { return m_baseUrl; }
    QLineEdit *websiteUrlEdit() const { return m_websiteUrl; }
    QCheckBox *enabledCheckBox() const { return m_enabled; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

public Q_SLOTS:
    // Validates and accepts; returns false when a warning was shown instead.
    bool save();

private:
    RepositoryConfig m_initial;
    RepositoryEditorHooks m_hooks;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_jsonUrl = nullptr;
    QLineEdit *m_baseUrl = nullptr;
    QLineEdit *m_websiteUrl = nullptr;
    QCheckBox *m_enabled = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
