#pragma once

#include "model/Models.h"
#include "model/TriggerIndex.h"

#include <QString>
#include <QWidget>

#include <optional>

class PillButton;
class QLabel;
class QPlainTextEdit;
class ThemedTextField;

// The rules of the quick-capture form, apart from its widgets.
struct QuickCaptureRules
{
    // The trigger as it is saved: spaces and tabs trimmed at both ends (line breaks stay).
    static QString trimmedTrigger(const QString& trigger);
    // The trimmed trigger is not empty and already fires an active snippet (exact match,
    // case and all). Only reported: saving still adds the new snippet.
    static bool conflict(const QString& trigger, const TriggerMap& triggerIndex);
    // A trimmed trigger and a content that is not empty (the content is never trimmed:
    // spaces alone count).
    static bool canSave(const QString& trigger, const QString& content);
    // The snippet Save adds: enabled plain text, ungrouped, keeping the delimiter, case
    // options and whole word off; none when canSave() is false.
    static std::optional<Snippet> snippetFor(const QString& trigger, const QString& content);
};

// The "New snippet" panel: a trigger field with the conflict line, the content editor
// prefilled with the selection, Cancel and Save. Ctrl+Return saves while Save is enabled;
// Escape cancels; the title bar's close button only closes the window. It only reports;
// QuickCaptureController acts.
class QuickCapturePanel : public QWidget
{
    Q_OBJECT

  public:
    static constexpr int panelWidth = 420;
    static constexpr int padding = 22;
    static constexpr int spacing = 14;
    static constexpr int editorHeight = 120;
    static constexpr int focusDelayMs = 50;

    // `triggerIndex` is read on every edit of the trigger (the store's live index).
    QuickCapturePanel(const QString& initialContent, const TriggerMap& triggerIndex, QWidget* parent = nullptr);

    QString trigger() const;
    // The content as the user left it: the selection exactly as read while untouched.
    QString content() const;

    ThemedTextField* triggerField() const { return m_trigger; }
    QPlainTextEdit* contentEditor() const { return m_content; }
    QLabel* conflictLabel() const { return m_conflict; }
    PillButton* saveButton() const { return m_save; }
    PillButton* cancelButton() const { return m_cancel; }

    // Shows the panel centred in `area` (the primary screen's when empty), raised and
    // active; the trigger field takes the focus a moment later.
    void showCenteredIn(const QRect& area);

  signals:
    void saveRequested(const QString& trigger, const QString& content);
    void cancelRequested();
    // The window manager's close button (not a choice of the panel's own).
    void closedByUser();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool handleKey(QKeyEvent* event);
    void refresh();
    void trySave();

    const TriggerMap& m_index;
    QString m_initial;
    bool m_edited = false;
    ThemedTextField* m_trigger = nullptr;
    QLabel* m_conflict = nullptr;
    QPlainTextEdit* m_content = nullptr;
    PillButton* m_cancel = nullptr;
    PillButton* m_save = nullptr;
};
