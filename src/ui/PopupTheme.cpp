#include "ui/PopupTheme.h"

#include "ui/Theme.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolTip>
#include <QWidget>

namespace {

// The desktop's style, but a popup's surface and outline in the theme's colours: styles
// derive that outline from the surface (a darker or a text-coloured line), not from the
// palette's roles.
class PopupStyle : public QProxyStyle
{
  public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        // A plain frame is the outline of a list that is a popup itself (a completion list).
        const bool outline = element == PE_FrameMenu || (element == PE_Frame && widget && widget->isWindow());
        if (!outline && element != PE_PanelMenu && element != PE_PanelTipLabel) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        painter->save();
        if (!outline)
            painter->fillRect(option->rect, Theme::card());
        // Opaque, so a popup whose panel and frame both draw the line shows it once.
        const QColor& top = Theme::borderStrong();
        const QColor& below = Theme::card();
        const qreal a = top.alphaF();
        painter->setPen(QColor::fromRgbF(float(below.redF() * (1 - a) + top.redF() * a),
                                         float(below.greenF() * (1 - a) + top.greenF() * a),
                                         float(below.blueF() * (1 - a) + top.blueF() * a)));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5));
        painter->restore();
    }
};

QStyle* popupStyle()
{
    static QPointer<PopupStyle> style;
    if (!style) {
        // Over the style the application draws everything else in.
        style = new PopupStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

bool isPopup(const QWidget* w)
{
    return w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip;
}

} // namespace

void PopupTheme::install()
{
    static PopupTheme* filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new PopupTheme(qApp);
    qApp->installEventFilter(filter);
    QToolTip::setPalette(Theme::popupPalette());
}

bool PopupTheme::opensOverOurWindow(const QWidget* window)
{
    if (!window || !window->isWindow())
        return false;
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Popup && type != Qt::ToolTip && type != Qt::Dialog && type != Qt::Sheet)
        return false;
    // Through submenus and popups opened from popups to the window they all open over: the
    // tray icon's menu and its submenus have none. A completion list has no parent; it hands
    // its focus to the field it completes.
    const QWidget* owner = window->parentWidget() ? window->parentWidget() : window->focusProxy();
    while (owner && isPopup(owner->window()))
        owner = owner->window()->parentWidget();
    return owner != nullptr;
}

void PopupTheme::themePopup(QWidget* popup)
{
    if (popup->style() != popupStyle())
        popup->setStyle(popupStyle());
    popup->setPalette(Theme::popupPalette());
    // A combo box's list draws its entries as menu items, which take every colour their list
    // does not set itself from the application's menu palette: what the list only inherits
    // from the popup does not count.
    for (auto* list : popup->findChildren<QAbstractItemView*>(Qt::FindDirectChildrenOnly))
        list->setPalette(Theme::popupPalette());
}

bool PopupTheme::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!opensOverOurWindow(window))
        return false;
    const bool popup = isPopup(window);
    // A combo box's list gets the application's menu palette from its combo box again on every
    // palette change, and a tooltip label its own at creation, so these are themed on every
    // show; other popups and dialogs only when nobody chose a palette for them (our own sheets
    // and panels do).
    const bool reset = window->windowType() == Qt::ToolTip || window->inherits("QComboBoxPrivateContainer");
    if (!reset && window->testAttribute(Qt::WA_SetPalette))
        return false;
    if (popup)
        themePopup(window);
    else
        window->setPalette(Theme::darkPalette(Theme::sidebar()));
    return false;
}
