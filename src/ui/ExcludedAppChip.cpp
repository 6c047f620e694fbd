#include "ui/ExcludedAppChip.h"

#include "ui/RoundedPanel.h"
#include "ui/SymbolImage.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QtMath>

namespace {

QFont chipFont()
{
    return Theme::systemFont(ExcludedAppChip::textSize, QFont::Normal, Theme::FontDesign::Monospaced);
}

// The cross: a bare symbol, coloured by the chip it belongs to.
class RemoveCross : public QAbstractButton
{
  public:
    explicit RemoveCross(ExcludedAppChip* chip) : QAbstractButton(chip), m_chip(chip)
    {
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    static int side() { return qCeil(ExcludedAppChip::symbolSize * 1.5); }
    QSize sizeHint() const override { return {side(), side()}; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal s = ExcludedAppChip::symbolSize;
        const QRectF box((width() - s) / 2.0, (height() - s) / 2.0, s, s);
        if (hasFocus())
            RoundedPanel{3, Qt::transparent, Theme::accent(), 1}.paint(painter, QRectF(rect()));
        SymbolImage::paint(painter, QStringLiteral("xmark"), box, m_chip->crossColor(), QFont::Bold);
    }

  private:
    ExcludedAppChip* m_chip;
};

} // namespace

ExcludedAppChip::ExcludedAppChip(const QString& bundleID, std::function<void()> onRemove, QWidget* parent)
    : QWidget(parent), m_bundleID(bundleID), m_onRemove(std::move(onRemove))
{
    setFont(chipFont());
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(bundleID);
    m_remove = new RemoveCross(this);
    const QString removeTitle = tr("Remove %1").arg(bundleID);
    m_remove->setToolTip(removeTitle);
    m_remove->setAccessibleName(removeTitle);
    connect(m_remove, &QAbstractButton::clicked, this, [this] {
        if (m_onRemove)
            m_onRemove();
    });
}

QColor ExcludedAppChip::crossColor() const
{
    return m_hovering ? Theme::red() : Theme::textTertiary();
}

QSize ExcludedAppChip::sizeHint() const
{
    const int textHeight = QFontMetrics(font()).height();
    const int height = qMax(textHeight, RemoveCross::side()) + 2 * verticalPadding;
    return {naturalTextWidth(font(), m_bundleID) + spacing + RemoveCross::side() + 2 * horizontalPadding,
            height};
}

QSize ExcludedAppChip::minimumSizeHint() const
{
    const int least =
        qMin(naturalTextWidth(font(), m_bundleID), naturalTextWidth(font(), QString(QChar(0x2026))));
    return {least + spacing + RemoveCross::side() + 2 * horizontalPadding, sizeHint().height()};
}

QRectF ExcludedAppChip::textRect() const
{
    const qreal left = horizontalPadding;
    const qreal right = width() - horizontalPadding - RemoveCross::side() - spacing;
    return QRectF(left, 0, qMax<qreal>(0, right - left), height());
}

QString ExcludedAppChip::shownText() const
{
    const qreal available = textRect().width();
    if (naturalTextWidth(font(), m_bundleID) <= available)
        return m_bundleID;
    return QFontMetrics(font()).elidedText(m_bundleID, Qt::ElideMiddle, qFloor(available));
}

void ExcludedAppChip::updateToolTip()
{
    setToolTip(shownText() == m_bundleID ? QString() : m_bundleID);
}

void ExcludedAppChip::resizeEvent(QResizeEvent* event)
{
    const int side = RemoveCross::side();
    m_remove->setGeometry(width() - horizontalPadding - side, (height() - side) / 2, side, side);
    updateToolTip();
    QWidget::resizeEvent(event);
}

void ExcludedAppChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect());
    RoundedPanel{capsule.height() / 2.0, Theme::field(), Theme::border(), 1}.paint(painter, capsule);
    painter.setFont(font());
    painter.setPen(Theme::textSecondary());
    // Identifiers are user data: drawn verbatim on one line.
    painter.drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

void ExcludedAppChip::setHovering(bool hovering)
{
    if (m_hovering == hovering)
        return;
    m_hovering = hovering;
    m_remove->update();
}

void ExcludedAppChip::enterEvent(QEnterEvent* event)
{
    setHovering(true);
    QWidget::enterEvent(event);
}

void ExcludedAppChip::leaveEvent(QEvent* event)
{
    setHovering(false);
    QWidget::leaveEvent(event);
}

void ExcludedAppChip::hideEvent(QHideEvent* event)
{
    setHovering(false);
    QWidget::hideEvent(event);
}
