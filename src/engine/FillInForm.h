#pragma once

#include "engine/FillInController.h"

#include <QHash>
#include <QList>
#include <QString>
#include "ui/FloatingPanel.h"

class QComboBox;
class ThemedTextField;

// The fill-in form: one row per field (its label in small capitals above a text field, or
// a menu when the field has options), then Cancel and Insert, on a floating panel that
// takes the keyboard focus, so the user can type the values straight away. Return
// inserts, Escape cancels. It only reports; FillInController acts.
class FillInForm : public FloatingPanel
{
    Q_OBJECT

  public:
    static constexpr int formWidth = 400;
    static constexpr int padding = 22;
    static constexpr int spacing = 14;
    static constexpr int rowSpacing = 5;
    static constexpr int menuMaxWidth = 240;
    static constexpr qreal labelSize = 10;
    static constexpr qreal labelLetterSpacing = 0.8;

    explicit FillInForm(const QList<FillInController::Field>& fields, QWidget* parent = nullptr);

    // Label to value, one entry per row.
    QHash<QString, QString> values() const;

    // The row's input for a label: a ThemedTextField or a QComboBox.
    QWidget* editorFor(const QString& label) const { return m_editors.value(label); }

    void showCentered();

  signals:
    void insertRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QComboBox* makeMenu(const QStringList& options);

    QList<QString> m_labels;
    QHash<QString, QWidget*> m_editors;
    QWidget* m_firstEditor = nullptr;
};
