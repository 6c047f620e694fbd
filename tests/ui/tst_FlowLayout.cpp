// The wrapping rule of the chip layout as a table, the layout placing real chips, and the chip
// itself: eliding a long identifier and removing through its cross.
#include "ui/ExcludedAppChip.h"
#include "ui/FlowLayout.h"
#include "ui/GroupAppChip.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>
#include <QTest>

Q_DECLARE_METATYPE(QList<FlowItem>)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

FlowItem fixed(int w, int h = 20)
{
    return {QSize(w, h), w};
}

} // namespace

class tst_FlowLayout : public QObject
{
    Q_OBJECT

  private slots:
    void geometry_data();
    void geometry();
    void layoutPlacesChildrenAndGrowsWithWrapping();
    void longIdentifierIsElidedInsideItsRow();
    void crossTurnsRedAndRemoves();
};

void tst_FlowLayout::geometry_data()
{
    QTest::addColumn<QList<FlowItem>>("items");
    QTest::addColumn<std::optional<int>>("limit");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QRect>>("frames");

    QTest::newRow("no children, width")
        << QList<FlowItem>{} << std::optional<int>(200) << QSize(200, 0) << QList<QRect>{};
    QTest::newRow("no children, no width")
        << QList<FlowItem>{} << std::optional<int>() << QSize(0, 0) << QList<QRect>{};
    QTest::newRow("exact fit stays in the row")
        << QList<FlowItem>{fixed(50), fixed(50), fixed(50)} << std::optional<int>(106) << QSize(106, 46)
        << QList<QRect>{{0, 0, 50, 20}, {56, 0, 50, 20}, {0, 26, 50, 20}};
    QTest::newRow("one over wraps") << QList<FlowItem>{fixed(50), fixed(51)} << std::optional<int>(106)
                                    << QSize(106, 46) << QList<QRect>{{0, 0, 50, 20}, {0, 26, 51, 20}};
    QTest::newRow("no width: one row, spacing after each")
        << QList<FlowItem>{fixed(50), fixed(30, 24), fixed(10)} << std::optional<int>() << QSize(108, 24)
        << QList<QRect>{{0, 0, 50, 20}, {56, 0, 30, 24}, {92, 0, 10, 20}};
    QTest::newRow("width 0: one child per row")
        << QList<FlowItem>{fixed(40), fixed(30), fixed(20)} << std::optional<int>(0) << QSize(0, 72)
        << QList<QRect>{{0, 0, 40, 20}, {0, 26, 30, 20}, {0, 52, 20, 20}};
    QTest::newRow("rows top-aligned, row height is the tallest")
        << QList<FlowItem>{fixed(40, 30), fixed(40, 10), fixed(40, 12)} << std::optional<int>(90)
        << QSize(90, 48) << QList<QRect>{{0, 0, 40, 30}, {46, 0, 40, 10}, {0, 36, 40, 12}};
    QTest::newRow("rigid wide child keeps its width at a row start")
        << QList<FlowItem>{fixed(30), fixed(150)} << std::optional<int>(100) << QSize(100, 46)
        << QList<QRect>{{0, 0, 30, 20}, {0, 26, 150, 20}};
    QTest::newRow("shrinkable wide child is capped at the row width")
        << QList<FlowItem>{{QSize(150, 20), 40}, fixed(30)} << std::optional<int>(100) << QSize(100, 46)
        << QList<QRect>{{0, 0, 100, 20}, {0, 26, 30, 20}};
    QTest::newRow("capped no further than its minimum")
        << QList<FlowItem>{{QSize(150, 20), 60}} << std::optional<int>(40) << QSize(40, 20)
        << QList<QRect>{{0, 0, 60, 20}};
}

void tst_FlowLayout::geometry()
{
    QFETCH(QList<FlowItem>, items);
    QFETCH(std::optional<int>, limit);
    QFETCH(QSize, size);
    QFETCH(QList<QRect>, frames);
    const FlowResult r = flowLayout(items, 6, limit);
    QCOMPARE(r.size, size);
    QCOMPARE(r.frames, frames);
}

void tst_FlowLayout::layoutPlacesChildrenAndGrowsWithWrapping()
{
    QWidget host;
    auto* flow = new FlowLayout(&host, 6);
    QList<ExcludedAppChip*> chips;
    for (const char* id : {"firefox", "Gnome-terminal", "code", "org.gnome.TextEditor"}) {
        chips.append(new ExcludedAppChip(QString::fromLatin1(id)));
        flow->addWidget(chips.last());
    }
    QVERIFY(flow->hasHeightForWidth());
    const int oneRow = chips.first()->sizeHint().height();
    QCOMPARE(flow->heightForWidth(10000), oneRow);
    const int narrow = chips.last()->sizeHint().width() + 10;
    QVERIFY(flow->heightForWidth(narrow) > 2 * oneRow);

    host.resize(narrow, flow->heightForWidth(narrow));
    host.show();
    flow->activate();
    flow->setGeometry(host.rect());
    for (ExcludedAppChip* chip : chips) {
        QVERIFY(host.rect().contains(chip->geometry()));
        QCOMPARE(chip->size(), chip->sizeHint());
    }
    QCOMPARE(chips.at(0)->pos(), QPoint(0, 0));
}

void tst_FlowLayout::longIdentifierIsElidedInsideItsRow()
{
    const QString id = QStringLiteral("org.example.a-very-long-application-identifier.with.parts");
    QWidget host;
    auto* flow = new FlowLayout(&host, 6);
    auto* chip = new GroupAppChip(id);
    flow->addWidget(chip);
    const int width = chip->sizeHint().width() / 2;
    host.resize(width, flow->heightForWidth(width));
    host.show();
    flow->setGeometry(host.rect());

    QCOMPARE(chip->width(), width);
    QVERIFY(chip->shownText() != id);
    QVERIFY(chip->shownText().contains(QChar(0x2026)));
    QVERIFY(chip->shownText().startsWith(QStringLiteral("org.")));
    QCOMPARE(chip->toolTip(), id);
    QVERIFY(chip->rect().contains(chip->removeButton()->geometry()));

    // Given its full width the identifier shows whole, with no tooltip repeating it.
    chip->resize(chip->sizeHint());
    QCOMPARE(chip->shownText(), id);
    QVERIFY(chip->toolTip().isEmpty());
}

void tst_FlowLayout::crossTurnsRedAndRemoves()
{
    int removed = 0;
    ExcludedAppChip chip(QStringLiteral("firefox"), [&] { ++removed; });
    chip.resize(chip.sizeHint());
    chip.show();
    QCOMPARE(chip.accessibleName(), QStringLiteral("firefox"));
    QCOMPARE(chip.crossColor(), Theme::textTertiary());
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&chip, &enter);
    QCOMPARE(chip.crossColor(), Theme::red());
    QCOMPARE(removed, 0);
    QTest::mouseClick(&chip, Qt::LeftButton, {}, QPoint(4, chip.height() / 2)); // the capsule, not the cross
    QCOMPARE(removed, 0);
    QTest::mouseClick(chip.removeButton(), Qt::LeftButton);
    QCOMPARE(removed, 1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&chip, &leave);
    QCOMPARE(chip.crossColor(), Theme::textTertiary());
}

QTEST_MAIN(tst_FlowLayout)
#include "tst_FlowLayout.moc"
