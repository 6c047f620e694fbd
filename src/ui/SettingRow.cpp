#include "ui/SettingRow.h"

#include "ui/Theme.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

SettingRow::SettingRow(const QString& title, const std::optional<QString>& subtitle, QWidget* trailing,
                       QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    m_text = new QWidget(this);
    auto* textLayout = new QVBoxLayout(m_text);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(textSpacing);
    m_title =
        makeThemedLabel(title, Theme::systemFont(titleSize, QFont::Medium), Theme::textPrimary(), m_text);
    m_subtitleLabel =
        makeThemedLabel(QString(), Theme::systemFont(subtitleSize), Theme::textSecondary(), m_text);
    m_subtitleLabel->setWordWrap(true);
    textLayout->addWidget(m_title);
    textLayout->addWidget(m_subtitleLabel);
    // The text takes whatever the control leaves, so a subtitle wraps only where it must; it
    // stays at its natural height instead of stretching with the row.
    QSizePolicy textPolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    textPolicy.setHeightForWidth(true);
    m_text->setSizePolicy(textPolicy);

    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, verticalPadding, 0, verticalPadding);
    m_layout->setSpacing(spacing);
    m_layout->addWidget(m_text, 1, Qt::AlignVCenter);
    // The gap is spacing, at least 16, spacing. Qt counts the layout spacing once between the
    // text and the control and none around a spacer item, so the spacer carries the other one.
    m_layout->addSpacing(minimumGap + spacing);

    setSubtitle(subtitle);
    setTrailing(trailing);
}

QString SettingRow::title() const
{
    return m_title->text();
}

void SettingRow::setTitle(const QString& title)
{
    m_title->setText(title);
}

void SettingRow::setSubtitle(const std::optional<QString>& subtitle)
{
    m_subtitle = subtitle && !subtitle->isEmpty() ? subtitle : std::nullopt;
    m_subtitleLabel->setText(m_subtitle.value_or(QString()));
    m_subtitleLabel->setVisible(m_subtitle.has_value());
}

void SettingRow::setTrailing(QWidget* trailing)
{
    if (trailing == m_trailing)
        return;
    if (m_trailing) {
        m_layout->removeWidget(m_trailing);
        delete m_trailing;
    }
    m_trailing = trailing;
    if (m_trailing)
        m_layout->addWidget(m_trailing, 0, Qt::AlignVCenter);
}
