#pragma once

#include "model/Models.h"

#include <QWidget>

#include <optional>

class AccentToggle;
class PillButton;
class QLabel;
class SymbolButton;
class SymbolView;
class TriggerChip;

// What one row shows, worked out from the store by the list's model.
struct SnippetRowData
{
    Snippet snippet;
    QString effectiveTrigger;
    std::optional<QString> shadowTooltip;
    std::optional<QString> useCount;
    QString preview;
};

// One line of the snippet list: the effective trigger chip, the shadowing and learned marks, a
// one-line preview, the use count, and (while pointed at or holding the keyboard focus) edit,
// duplicate and delete, then the on/off switch. The row only asks; the list does the writing.
class SnippetRow : public QWidget
{
    Q_OBJECT

  public:
    static constexpr int horizontalPadding = 14;
    static constexpr int verticalPadding = 10;
    static constexpr int spacing = 12;
    static constexpr qreal cornerRadius = 10;
    static constexpr qreal previewSize = 12.5;

    explicit SnippetRow(QWidget* parent = nullptr);

    void setData(const SnippetRowData& data);
    const SnippetRowData& data() const { return m_data; }
    bool isHovering() const { return m_hovering; }
    void setHovering(bool hovering);
    bool actionsShown() const;

    // Every row is this high, actions shown or not.
    static int rowHeight();

    TriggerChip* chip() const { return m_chip; }
    SymbolView* shadowMark() const { return m_shadow; }
    SymbolView* learnedMark() const { return m_learned; }
    QWidget* preview() const { return m_preview; }
    QString previewText() const;
    QColor previewColor() const;
    QLabel* useCountLabel() const { return m_count; }
    PillButton* editButton() const { return m_edit; }
    SymbolButton* duplicateButton() const { return m_duplicate; }
    SymbolButton* deleteButton() const { return m_delete; }
    AccentToggle* toggle() const { return m_toggle; }

  signals:
    void editRequested();
    void duplicateRequested();
    void deleteRequested();
    void enabledToggled(bool enabled);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void updateActions();

    SnippetRowData m_data;
    bool m_hovering = false;
    bool m_focusWithin = false;
    TriggerChip* m_chip = nullptr;
    SymbolView* m_shadow = nullptr;
    SymbolView* m_learned = nullptr;
    QWidget* m_preview = nullptr;
    QLabel* m_count = nullptr;
    PillButton* m_edit = nullptr;
    SymbolButton* m_duplicate = nullptr;
    SymbolButton* m_delete = nullptr;
    AccentToggle* m_toggle = nullptr;
};
