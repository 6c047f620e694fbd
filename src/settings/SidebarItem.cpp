#include "settings/SidebarItem.h"

#include "ui/SymbolImage.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPainterPath>

namespace {

// Without this, Qt describes a checkable button as a check box whose action only presses it
// down for a moment, which tells a screen reader nothing of the pages.
class SidebarItemAccessible : public QAccessibleWidget
{
  public:
    explicit SidebarItemAccessible(SidebarItem* item) : QAccessibleWidget(item, QAccessible::PageTab) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = item()->isChecked();
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override
    {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        if (item()->isEnabled())
            item()->click();
    }

  private:
    SidebarItem* item() const { return static_cast<SidebarItem*>(widget()); }
};

QAccessibleInterface* sidebarItemAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("SidebarItem") && object && object->isWidgetType())
        return new SidebarItemAccessible(static_cast<SidebarItem*>(object));
    return nullptr;
}

} // namespace

SidebarItem::SidebarItem(SettingsTab tab, int width, QWidget* parent)
    : QAbstractButton(parent), m_tab(tab), m_width(width)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(sidebarItemAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setText(SettingsTabs::title(tab));
    setAccessibleName(SettingsTabs::title(tab));
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::toggled, this, [this] {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    });
}

void SidebarItem::setBadge(int badge)
{
    if (badge == m_badge)
        return;
    m_badge = badge;
    setAccessibleDescription(badge >= 1 ? QString::number(badge) : QString());
    update();
}

void SidebarItem::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool selected = isChecked();
    // Padded 8 horizontally and 1 vertically inside the sidebar row.
    const QRectF pill = QRectF(rect()).adjusted(8, 1, -8, -1);
    QColor fill = Qt::transparent;
    if (selected)
        fill = QColor(255, 255, 255, qRound(0.06 * 255));
    else if (underMouse())
        fill = QColor(255, 255, 255, qRound(0.03 * 255));
    if (fill.alpha() > 0) {
        QPainterPath path;
        path.addRoundedRect(pill, 7, 7);
        p.fillPath(path, fill);
    }
    if (hasFocus()) {
        p.setPen(QPen(Theme::accent(), 1.5));
        p.drawRoundedRect(pill.adjusted(0.75, 0.75, -0.75, -0.75), 7, 7);
    }
    const QColor color = selected ? Theme::textPrimary() : Theme::textSecondary();
    qreal x = pill.left() + 10;
    SymbolImage::paint(p, SettingsTabs::symbol(m_tab), QRectF(x, pill.center().y() - 8, 16, 16), color, 500);
    x += 16 + 9;
    p.setFont(Theme::systemFont(12.5, selected ? QFont::Medium : QFont::Normal));
    p.setPen(color);
    QRectF titleBox(x, pill.top(), pill.right() - 10 - x, pill.height());
    p.drawText(titleBox, Qt::AlignVCenter | Qt::AlignLeft, text());
    if (m_badge >= 1) {
        const QFont f = Theme::systemFont(9.5, QFont::DemiBold, Theme::FontDesign::Monospaced);
        const QString number = QString::number(m_badge);
        const QFontMetricsF fm(f);
        const QSizeF size(fm.horizontalAdvance(number) + 10, fm.height() + 3);
        const QRectF capsule(pill.right() - 10 - size.width(), pill.center().y() - size.height() / 2,
                             size.width(), size.height());
        QPainterPath path;
        path.addRoundedRect(capsule, size.height() / 2, size.height() / 2);
        p.fillPath(path, Theme::accentSoft());
        p.setFont(f);
        p.setPen(Theme::accent());
        p.drawText(capsule, Qt::AlignCenter, number);
    }
}
