#pragma once

#include "library/SnippetEditorLogic.h"
#include "model/Models.h"

#include <QDialog>

class AccentToggle;
class AppState;
class PillButton;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class SettingRow;
class ThemedTextField;

// The sheet that creates a snippet or changes a stored one. It works on a copy: nothing reaches
// the store until "Create" / "Save" succeeds, which adds the snippet at the end or replaces the
// stored one with the same id in one assignment. Its trigger line, group chooser and notes are
// worked out again against the current store on every change.
class SnippetEditor : public QDialog
{
    Q_OBJECT

  public:
    static constexpr int sheetWidth = 520;

    SnippetEditor(AppState& state, const Snippet& snippet, bool isNew, QWidget* parent = nullptr);

    const Snippet& workingCopy() const { return m_snippet; }
    bool isNew() const { return m_isNew; }
    SnippetEditorLogic::TriggerLineKind triggerLineKind() const { return m_lineKind; }

    ThemedTextField* triggerField() const { return m_trigger; }
    QLabel* triggerLine() const { return m_triggerLine; }
    PillButton* textKindButton() const { return m_textKind; }
    PillButton* shellKindButton() const { return m_shellKind; }
    QLabel* scriptNote() const { return m_scriptNote; }
    QLabel* contentCaption() const { return m_contentCaption; }
    QPlainTextEdit* contentEditor() const { return m_content; }
    QWidget* placeholderHelp() const { return m_help; }
    AccentToggle* ignoreCaseToggle() const { return m_ignoreCase; }
    AccentToggle* adaptCaseToggle() const { return m_adaptCase; }
    SettingRow* adaptCaseRow() const { return m_adaptCaseRow; }
    AccentToggle* wholeWordToggle() const { return m_wholeWord; }
    AccentToggle* keepDelimiterToggle() const { return m_keepDelimiter; }
    QWidget* groupSection() const { return m_groupSection; }
    QComboBox* groupPicker() const { return m_groupPicker; }
    QLabel* groupPrefixLine() const { return m_prefixLine; }
    PillButton* cancelButton() const { return m_cancel; }
    PillButton* saveButton() const { return m_save; }

  public slots:
    // Does nothing while the snippet is not valid; otherwise writes it and closes the sheet.
    void save();

  private:
    AccentToggle* optionRow(QLayout* into, const QString& title, const QString& help, bool on,
                            SettingRow** rowOut = nullptr);
    void setKind(SnippetKind kind);
    void fillGroups();
    void showGroupTooltip();
    void refresh();

    AppState& m_state;
    Snippet m_snippet;
    bool m_isNew;
    SnippetEditorLogic::TriggerLineKind m_lineKind = SnippetEditorLogic::TriggerLineKind::tip;

    ThemedTextField* m_trigger = nullptr;
    QLabel* m_triggerLine = nullptr;
    PillButton* m_textKind = nullptr;
    PillButton* m_shellKind = nullptr;
    QLabel* m_scriptNote = nullptr;
    QLabel* m_contentCaption = nullptr;
    QPlainTextEdit* m_content = nullptr;
    QWidget* m_help = nullptr;
    AccentToggle* m_ignoreCase = nullptr;
    AccentToggle* m_adaptCase = nullptr;
    SettingRow* m_adaptCaseRow = nullptr;
    AccentToggle* m_wholeWord = nullptr;
    AccentToggle* m_keepDelimiter = nullptr;
    QWidget* m_groupSection = nullptr;
    QComboBox* m_groupPicker = nullptr;
    QLabel* m_prefixLine = nullptr;
    PillButton* m_cancel = nullptr;
    PillButton* m_save = nullptr;
};
