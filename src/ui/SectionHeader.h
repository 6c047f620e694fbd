#pragma once

#include <QWidget>

#include <optional>

class QLabel;

// The large heading at the top of a page: a title and, when given, a smaller subtitle below.
class SectionHeader : public QWidget
{
    Q_OBJECT

  public:
    static constexpr qreal titleSize = 22;
    static constexpr qreal subtitleSize = 12.5;
    static constexpr int spacing = 4;

    explicit SectionHeader(const QString& title, const std::optional<QString>& subtitle = std::nullopt,
                           QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);
    std::optional<QString> subtitle() const { return m_subtitle; }
    // An empty subtitle counts as none: it would only add a blank line under the title.
    void setSubtitle(const std::optional<QString>& subtitle);

    QLabel* titleLabel() const { return m_title; }
    QLabel* subtitleLabel() const { return m_subtitleLabel; }

  private:
    QLabel* m_title = nullptr;
    QLabel* m_subtitleLabel = nullptr;
    std::optional<QString> m_subtitle;
};
