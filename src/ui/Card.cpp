#include "ui/Card.h"

#include "ui/RoundedPanel.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QVBoxLayout>

Card::Card(int padding, QWidget* parent) : QFrame(parent), m_layout(new QVBoxLayout(this))
{
    setFrameShape(QFrame::NoFrame);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_layout->setSpacing(0);
    setPadding(padding);
}

void Card::setPadding(int padding)
{
    m_padding = qMax(0, padding);
    m_layout->setContentsMargins(m_padding, m_padding, m_padding, m_padding);
}

void Card::addContent(QWidget* widget)
{
    // Widgets that can grow fill the card's width (aligning them would pin them to their size
    // hint and lose height-for-width); ones of fixed size sit at the leading edge.
    const bool grows = widget->sizePolicy().horizontalPolicy() & QSizePolicy::GrowFlag;
    m_layout->addWidget(widget, 0, grows ? Qt::Alignment() : Qt::AlignLeft);
}

void Card::addContent(QLayout* layout)
{
    m_layout->addLayout(layout);
}

void Card::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedPanel{cornerRadius, Theme::card(), Theme::border(), borderWidth}.paint(painter, rect());
}
