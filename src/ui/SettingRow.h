#pragma once

#include <QWidget>

#include <optional>

class QHBoxLayout;
class QLabel;

// One settings line: title and optional subtitle stacked at the leading edge, the caller's
// control (a toggle, picker, button, ...) pushed to the trailing edge and centred vertically.
// A long subtitle wraps onto as many lines as it needs and makes the row taller.
class SettingRow : public QWidget
{
    Q_OBJECT

  public:
    static constexpr qreal titleSize = 13;
    static constexpr qreal subtitleSize = 11.5;
    static constexpr int spacing = 12;
    static constexpr int textSpacing = 3;
    static constexpr int minimumGap = 16; // least room between the text and the control
    static constexpr int verticalPadding = 2;

    explicit SettingRow(const QString& title, const std::optional<QString>& subtitle = std::nullopt,
                        QWidget* trailing = nullptr, QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);
    std::optional<QString> subtitle() const { return m_subtitle; }
    // An empty subtitle counts as none: it would only add a blank line under the title.
    void setSubtitle(const std::optional<QString>& subtitle);

    QWidget* trailing() const { return m_trailing; }
    // The row takes ownership; a previous trailing control is deleted.
    void setTrailing(QWidget* trailing);

    QLabel* titleLabel() const { return m_title; }
    QLabel* subtitleLabel() const { return m_subtitleLabel; }

  private:
    QHBoxLayout* m_layout = nullptr;
    QWidget* m_text = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_subtitleLabel = nullptr;
    QWidget* m_trailing = nullptr;
    std::optional<QString> m_subtitle;
};
