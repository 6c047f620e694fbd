#include "ui/PopupTheme.h"

#include "ui/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QToolTip>
#include <QWidget>

namespace {

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
    window->setPalette(popup ? Theme::popupPalette() : Theme::darkPalette(Theme::sidebar()));
    return false;
}
