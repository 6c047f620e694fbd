#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "ui/FloatingPanel.h"

class PillButton;
class QAbstractButton;
class QLabel;
class ThemedTextField;

// The rewrite panel: the start of the selection, one button per ready-made instruction,
// a field for the user's own instruction with Rewrite, and Cancel, on a floating panel
// that takes the keyboard focus (the custom field gets it a moment after the panel shows). Return in the field rewrites once it holds more than
// spaces; Escape cancels. It only reports; AIRewriteController acts.
class AIRewritePanel : public FloatingPanel
{
    Q_OBJECT

  public:
    static constexpr int panelWidth = 420;
    static constexpr int padding = 22;
    static constexpr int spacing = 14;
    static constexpr int blockSpacing = 5;
    static constexpr int presetSpacing = 6;
    static constexpr int previewLength = 160;
    static constexpr int focusDelayMs = 50;

    AIRewritePanel(const QString& selection, const QStringList& presets, QWidget* parent = nullptr);

    // The selection with its line breaks as spaces, trimmed, and cut to its first 160
    // characters followed by "…" when longer.
    static QString previewText(const QString& selection);

    QString selection() const { return m_selection; }
    QString previewShown() const;
    QList<QAbstractButton*> presetButtons() const { return m_presets; }
    ThemedTextField* customField() const { return m_custom; }
    PillButton* rewriteButton() const { return m_rewrite; }
    PillButton* cancelButton() const { return m_cancel; }

    void showCentered();

  signals:
    // A preset's text, or the custom instruction exactly as typed.
    void chosen(const QString& instruction);

  private:
    void updateRewriteButton();
    void chooseCustom();

    QString m_selection;
    QLabel* m_preview = nullptr;
    QList<QAbstractButton*> m_presets;
    ThemedTextField* m_custom = nullptr;
    PillButton* m_rewrite = nullptr;
    PillButton* m_cancel = nullptr;
};
