#include "ui/Theme.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

namespace Theme {

namespace {

QColor rgb(qreal r, qreal g, qreal b, qreal a = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

QColor white(qreal a)
{
    return rgb(1.0, 1.0, 1.0, a);
}

qreal logicalDpi()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const qreal dpi = screen->logicalDotsPerInchY();
        if (dpi > 0)
            return dpi;
    }
    return 96.0;
}

QString monospacedFamily()
{
    // Some platform themes (offscreen among them) report no fixed font and hand back the
    // proportional default; fontconfig's "monospace" alias is the dependable fallback.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (fixed.family() != QGuiApplication::font().family())
        return fixed.family();
    return QStringLiteral("monospace");
}

} // namespace

const QColor& bg()
{
    static const QColor c = rgb(0.102, 0.102, 0.106);
    return c;
}

const QColor& sidebar()
{
    static const QColor c = rgb(0.086, 0.086, 0.090);
    return c;
}

const QColor& card()
{
    static const QColor c = rgb(0.141, 0.141, 0.145);
    return c;
}

const QColor& cardHover()
{
    static const QColor c = rgb(0.173, 0.173, 0.180);
    return c;
}

const QColor& field()
{
    static const QColor c = rgb(0.165, 0.165, 0.173);
    return c;
}

const QColor& border()
{
    static const QColor c = white(0.08);
    return c;
}

const QColor& borderStrong()
{
    static const QColor c = white(0.14);
    return c;
}

const QColor& accent()
{
    static const QColor c = rgb(0.039, 0.518, 1.0);
    return c;
}

const QColor& accentSoft()
{
    static const QColor c = [] {
        QColor soft = accent();
        soft.setAlphaF(0.15f);
        return soft;
    }();
    return c;
}

const QColor& green()
{
    static const QColor c = rgb(0.188, 0.820, 0.345);
    return c;
}

const QColor& red()
{
    static const QColor c = rgb(0.92, 0.40, 0.40);
    return c;
}

const QColor& amber()
{
    static const QColor c = rgb(0.95, 0.72, 0.33);
    return c;
}

const QColor& textPrimary()
{
    static const QColor c = white(0.92);
    return c;
}

const QColor& textSecondary()
{
    static const QColor c = white(0.56);
    return c;
}

const QColor& textTertiary()
{
    static const QColor c = white(0.38);
    return c;
}

QFont systemFont(qreal size, QFont::Weight weight, FontDesign design)
{
    QFont font = QGuiApplication::font();
    if (design == FontDesign::Monospaced) {
        font.setFamily(monospacedFamily());
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
    }
    font.setPointSizeF(size * 72.0 / logicalDpi());
    font.setWeight(weight);
    font.setItalic(false);
    return font;
}

qreal fontSize(const QFont& font)
{
    if (font.pixelSize() > 0)
        return font.pixelSize();
    return font.pointSizeF() * logicalDpi() / 72.0;
}

QPalette darkPalette(const QColor& window)
{
    // Over an opaque colour, so the bevel roles that styles derive lines and grooves from
    // stay opaque.
    const auto over = [](const QColor& base, const QColor& top) {
        const qreal a = top.alphaF();
        return QColor::fromRgbF(float(base.redF() * (1 - a) + top.redF() * a),
                                float(base.greenF() * (1 - a) + top.greenF() * a),
                                float(base.blueF() * (1 - a) + top.blueF() * a));
    };
    QPalette dark;
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, textPrimary());
    dark.setColor(QPalette::Text, textPrimary());
    dark.setColor(QPalette::PlaceholderText, textTertiary());
    dark.setColor(QPalette::Base, field());
    dark.setColor(QPalette::AlternateBase, card());
    dark.setColor(QPalette::Button, field());
    dark.setColor(QPalette::ButtonText, textPrimary());
    dark.setColor(QPalette::BrightText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, card());
    dark.setColor(QPalette::ToolTipText, textPrimary());
    dark.setColor(QPalette::Highlight, accent());
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, accent());
    dark.setColor(QPalette::LinkVisited, accent());
    dark.setColor(QPalette::Light, over(field(), borderStrong()));
    dark.setColor(QPalette::Midlight, cardHover());
    dark.setColor(QPalette::Mid, over(window, borderStrong()));
    dark.setColor(QPalette::Dark, over(window, border()));
    dark.setColor(QPalette::Shadow, QColor(0, 0, 0));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, textTertiary());
    return dark;
}

QPalette popupPalette()
{
    QPalette popup = darkPalette(card());
    popup.setColor(QPalette::Base, card());
    return popup;
}

} // namespace Theme
