#include "ui/SectionHeader.h"

#include "ui/Theme.h"
#include "ui/ThemedLabel.h"

#include <QLabel>
#include <QVBoxLayout>

SectionHeader::SectionHeader(const QString& title, const std::optional<QString>& subtitle, QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);

    m_title =
        makeThemedLabel(title, Theme::systemFont(titleSize, QFont::DemiBold), Theme::textPrimary(), this);
    m_subtitleLabel =
        makeThemedLabel(QString(), Theme::systemFont(subtitleSize), Theme::textSecondary(), this);
    m_subtitleLabel->setWordWrap(true);
    layout->addWidget(m_title);
    layout->addWidget(m_subtitleLabel);
    setSubtitle(subtitle);
}

QString SectionHeader::title() const
{
    return m_title->text();
}

void SectionHeader::setTitle(const QString& title)
{
    m_title->setText(title);
}

void SectionHeader::setSubtitle(const std::optional<QString>& subtitle)
{
    m_subtitle = subtitle && !subtitle->isEmpty() ? subtitle : std::nullopt;
    m_subtitleLabel->setText(m_subtitle.value_or(QString()));
    // Hidden, the label takes neither its line nor the stack's spacing.
    m_subtitleLabel->setVisible(m_subtitle.has_value());
}
