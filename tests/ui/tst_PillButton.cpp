#include "ui/PillButton.h"
#include "ui/SymbolImage.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "ui/TextFit.h"

class tst_PillButton : public QObject
{
    Q_OBJECT

  private slots:
    void look_data();
    void look();
    void hoverFollowsPointer();
    void hiddenButtonForgetsHover();
    void clickRunsAction();
    void disabledButtonIgnoresClicks();
    void sizeHint_data();
    void sizeHint();
    void font();
    void titleIsVerbatim();
    void symbolsDraw_data();
    void symbolsDraw();
};

namespace {

void enter(QWidget* w)
{
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(w, &event);
}

void leave(QWidget* w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

} // namespace

void tst_PillButton::look_data()
{
    QTest::addColumn<bool>("prominent");
    QTest::addColumn<bool>("hovering");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<QColor>("foreground");
    QTest::addColumn<QColor>("border");
    QTest::addColumn<double>("opacity");
    QTest::addColumn<QColor>("focusRing"); // invalid: none

    const QColor white(Qt::white);
    const QColor none(Qt::transparent);
    const QColor noRing;
    // clang-format off
    QTest::newRow("plain") << false << false << false << true << false
        << Theme::field() << Theme::textPrimary() << Theme::borderStrong() << 1.0 << noRing;
    QTest::newRow("plain hovered") << false << true << false << true << false
        << Theme::cardHover() << Theme::textPrimary() << Theme::borderStrong() << 1.0 << noRing;
    QTest::newRow("prominent") << true << false << false << true << false
        << Theme::accent() << white << none << 1.0 << noRing;
    QTest::newRow("prominent hovered stays accent") << true << true << false << true << false
        << Theme::accent() << white << none << 1.0 << noRing;
    QTest::newRow("plain pressed dims") << false << true << true << true << false
        << Theme::cardHover() << Theme::textPrimary() << Theme::borderStrong() << 0.7 << noRing;
    QTest::newRow("prominent pressed dims") << true << true << true << true << false
        << Theme::accent() << white << none << 0.7 << noRing;
    QTest::newRow("disabled ignores hover and press") << false << true << true << false << false
        << Theme::field() << Theme::textPrimary() << Theme::borderStrong() << 1.0 << noRing;
    QTest::newRow("disabled prominent keeps colours") << true << false << false << false << false
        << Theme::accent() << white << none << 1.0 << noRing;
    QTest::newRow("plain focused") << false << false << false << true << true
        << Theme::field() << Theme::textPrimary() << Theme::borderStrong() << 1.0 << Theme::accent();
    QTest::newRow("prominent focused rings in text colour") << true << false << false << true << true
        << Theme::accent() << white << none << 1.0 << Theme::textPrimary();
    QTest::newRow("disabled focused shows no ring") << false << false << false << false << true
        << Theme::field() << Theme::textPrimary() << Theme::borderStrong() << 1.0 << noRing;
    // clang-format on
}

void tst_PillButton::look()
{
    QFETCH(bool, prominent);
    QFETCH(bool, hovering);
    QFETCH(bool, pressed);
    QFETCH(bool, enabled);
    QFETCH(bool, focused);
    QFETCH(QColor, fill);
    QFETCH(QColor, foreground);
    QFETCH(QColor, border);
    QFETCH(double, opacity);
    QFETCH(QColor, focusRing);

    const PillButtonLook look = PillButtonLook::forState({prominent, hovering, pressed, enabled, focused});
    QCOMPARE(look.fill, fill);
    QCOMPARE(look.foreground, foreground);
    if (border.alpha() == 0)
        QCOMPARE(look.border.alpha(), 0);
    else
        QCOMPARE(look.border, border);
    QCOMPARE(look.contentOpacity, opacity);
    QCOMPARE(look.focusRing.has_value(), focusRing.isValid());
    if (focusRing.isValid())
        QCOMPARE(*look.focusRing, focusRing);
}

void tst_PillButton::hoverFollowsPointer()
{
    PillButton plain("Cancel");
    PillButton prominent("Save", {}, true);
    plain.show();
    prominent.show();
    QVERIFY(!plain.isHovering());
    QCOMPARE(plain.look().fill, Theme::field());

    enter(&plain);
    enter(&prominent);
    QVERIFY(plain.isHovering());
    QCOMPARE(plain.look().fill, Theme::cardHover());
    QCOMPARE(prominent.look().fill, Theme::accent());
    QCOMPARE(prominent.look().foreground, QColor(Qt::white));

    leave(&plain);
    QVERIFY(!plain.isHovering());
    QCOMPARE(plain.look().fill, Theme::field());
}

void tst_PillButton::hiddenButtonForgetsHover()
{
    PillButton button("Preview", "play.fill");
    button.show();
    enter(&button);
    QVERIFY(button.isHovering());
    button.hide();
    button.show();
    QVERIFY(!button.isHovering());
    QCOMPARE(button.look().fill, Theme::field());
}

void tst_PillButton::clickRunsAction()
{
    PillButton button("Insert", {}, true);
    button.show();
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
    QCOMPARE(clicked.count(), 1);

    // Keyboard users reach it with Tab and press it with Space.
    button.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&button, Qt::Key_Space);
    QCOMPARE(clicked.count(), 2);
}

void tst_PillButton::disabledButtonIgnoresClicks()
{
    PillButton button("Rewrite", {}, true);
    button.setEnabled(false);
    button.setOpacity(0.4);
    button.show();
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(button.opacity(), 0.4);
    enter(&button);
    QCOMPARE(button.look().fill, Theme::accent());
}

void tst_PillButton::sizeHint_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<bool>("showsSymbol");

    QTest::newRow("no icon") << QString() << false;
    QTest::newRow("known symbol") << QStringLiteral("plus") << true;
    QTest::newRow("another known symbol") << QStringLiteral("arrow.right") << true;
    // A name we have no drawing for must not leave a gap before the title.
    QTest::newRow("unknown symbol") << QStringLiteral("no.such.symbol") << false;
}

void tst_PillButton::sizeHint()
{
    QFETCH(QString, symbol);
    QFETCH(bool, showsSymbol);

    PillButton button("Add", symbol);
    QCOMPARE(button.showsSymbol(), showsSymbol);

    const QFont font = Theme::systemFont(PillButton::titleSize, QFont::Medium);
    const int titleWidth = naturalTextWidth(font, "Add");
    const int titleHeight = QFontMetrics(font).height();
    const QSize hint = button.sizeHint();
    QVERIFY(hint.height() >= titleHeight + 2 * 6);
    if (!showsSymbol) {
        QCOMPARE(hint, QSize(titleWidth + 2 * 12, titleHeight + 2 * 6));
    } else {
        const QSize bare = PillButton("Add").sizeHint();
        // The symbol plus the 5 between it and the title, nothing else.
        const int symbolSide = hint.width() - bare.width() - 5;
        QVERIFY(symbolSide >= 10 && symbolSide <= 16);
        QCOMPARE(hint, PillButton::sizeFor({titleWidth, titleHeight}, symbolSide));
    }
    QCOMPARE(button.minimumSizeHint(), hint);
    QCOMPARE(button.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

void tst_PillButton::font()
{
    PillButton button("Cancel");
    QVERIFY(qAbs(Theme::fontSize(button.font()) - 12.0) < 1e-6);
    QCOMPARE(button.font().weight(), QFont::Medium);

    const int before = button.sizeHint().width();
    button.setTitle("Cancel and close");
    QVERIFY(button.sizeHint().width() > before);
}

void tst_PillButton::titleIsVerbatim()
{
    PillButton button(QStringLiteral("Create snippet & finish"), QStringLiteral("checkmark"), true);
    // An ampersand is text, not a mnemonic that would grab Alt+Space.
    QVERIFY(button.shortcut().isEmpty());
    QCOMPARE(button.accessibleName(), QStringLiteral("Create snippet & finish"));

    button.setShortcut(QKeySequence(Qt::Key_Return));
    button.setTitle(QStringLiteral("Save & close"));
    QCOMPARE(button.title(), QStringLiteral("Save & close"));
    QCOMPARE(button.shortcut(), QKeySequence(Qt::Key_Return));

    const QFont font = Theme::systemFont(PillButton::titleSize, QFont::Medium);
    const QSize bare = PillButton(QStringLiteral("Save & close")).sizeHint();
    QCOMPARE(bare.width(), naturalTextWidth(font, QStringLiteral("Save & close")) + 2 * 12);
}

void tst_PillButton::symbolsDraw_data()
{
    QTest::addColumn<QString>("name");
    // Every symbol the panels put on a button.
    for (const char* name : {"arrow.right", "checkmark", "plus", "play.fill", "trash", "sparkles", "pencil",
                             "folder", "arrow.down.doc", "key.fill"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_PillButton::symbolsDraw()
{
    QFETCH(QString, name);
    QVERIFY(SymbolImage::isKnown(name));
    QImage image(14, 14, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        SymbolImage::paint(painter, name, QRectF(0, 0, 14, 14), Qt::white);
    }
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 128;
    // Something legible, not a blot filling the box.
    QVERIFY2(inked >= 8 && inked < 14 * 14 * 3 / 4, qPrintable(QString::number(inked)));
}

QTEST_MAIN(tst_PillButton)
#include "tst_PillButton.moc"
