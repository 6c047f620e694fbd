#include "ui/AccentToggle.h"
#include "ui/Theme.h"

#include <QSignalSpy>
#include <QTest>

class tst_AccentToggle : public QObject
{
    Q_OBJECT

  private slots:
    void look_data();
    void look();
    void clickAndKeyboardToggle();
    void programmaticChangeReportsOnce();
    void disabledToggleStaysPut();
    void size();
};

void tst_AccentToggle::look_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<QColor>("track");
    QTest::addColumn<double>("knobPosition");
    QTest::addColumn<double>("opacity");
    QTest::addColumn<QColor>("focusRing"); // invalid: none

    const QColor noRing;
    QTest::newRow("off") << false << true << false << Theme::borderStrong() << 0.0 << 1.0 << noRing;
    QTest::newRow("on is accent") << true << true << false << Theme::accent() << 1.0 << 1.0 << noRing;
    QTest::newRow("disabled on recedes") << true << false << false << Theme::accent() << 1.0 << 0.5 << noRing;
    QTest::newRow("disabled off recedes")
        << false << false << false << Theme::borderStrong() << 0.0 << 0.5 << noRing;
    QTest::newRow("focused off") << false << true << true << Theme::borderStrong() << 0.0 << 1.0
                                 << Theme::accent();
    QTest::newRow("focused on rings in text colour")
        << true << true << true << Theme::accent() << 1.0 << 1.0 << Theme::textPrimary();
    QTest::newRow("disabled focused no ring")
        << true << false << true << Theme::accent() << 1.0 << 0.5 << noRing;
}

void tst_AccentToggle::look()
{
    QFETCH(bool, on);
    QFETCH(bool, enabled);
    QFETCH(bool, focused);
    QFETCH(QColor, track);
    QFETCH(double, knobPosition);
    QFETCH(double, opacity);
    QFETCH(QColor, focusRing);

    const AccentToggleLook look = AccentToggleLook::forState(on, enabled, focused);
    QCOMPARE(look.track, track);
    QCOMPARE(look.knob, QColor(Qt::white));
    QCOMPARE(look.knobPosition, knobPosition);
    QCOMPARE(look.opacity, opacity);
    QCOMPARE(look.focusRing.has_value(), focusRing.isValid());
    if (focusRing.isValid())
        QCOMPARE(*look.focusRing, focusRing);
}

void tst_AccentToggle::clickAndKeyboardToggle()
{
    AccentToggle toggle;
    toggle.show();
    QVERIFY(!toggle.isOn());
    QSignalSpy toggled(&toggle, &QAbstractButton::toggled);

    QTest::mouseClick(&toggle, Qt::LeftButton, {}, toggle.rect().center());
    QVERIFY(toggle.isOn());
    QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(1, 1));
    QVERIFY(!toggle.isOn());

    toggle.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&toggle, Qt::Key_Space);
    QVERIFY(toggle.isOn());

    QCOMPARE(toggled.count(), 3);
    QCOMPARE(toggled.at(0).at(0).toBool(), true);
    QCOMPARE(toggled.at(1).at(0).toBool(), false);
    QCOMPARE(toggled.at(2).at(0).toBool(), true);
}

void tst_AccentToggle::programmaticChangeReportsOnce()
{
    AccentToggle toggle(true);
    QVERIFY(toggle.isOn());
    QSignalSpy toggled(&toggle, &QAbstractButton::toggled);
    toggle.setOn(true);
    QCOMPARE(toggled.count(), 0);
    toggle.setOn(false);
    QCOMPARE(toggled.count(), 1);
    QCOMPARE(toggled.at(0).at(0).toBool(), false);
}

void tst_AccentToggle::disabledToggleStaysPut()
{
    AccentToggle toggle(true);
    toggle.setEnabled(false);
    toggle.show();
    QSignalSpy toggled(&toggle, &QAbstractButton::toggled);
    QTest::mouseClick(&toggle, Qt::LeftButton, {}, toggle.rect().center());
    QVERIFY(toggle.isOn());
    QCOMPARE(toggled.count(), 0);
}

void tst_AccentToggle::size()
{
    AccentToggle toggle;
    QCOMPARE(toggle.sizeHint(), QSize(32, 18));
    QCOMPARE(toggle.minimumSizeHint(), QSize(32, 18));
    QCOMPARE(toggle.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(toggle.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QVERIFY(toggle.text().isEmpty()); // the row around it carries the title
}

QTEST_MAIN(tst_AccentToggle)
#include "tst_AccentToggle.moc"
