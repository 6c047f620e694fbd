#include "ui/TextFit.h"
#include "ui/Theme.h"

#include <QFontInfo>
#include <QTest>

#include <functional>

using ColorFn = std::function<const QColor&()>;
Q_DECLARE_METATYPE(ColorFn)

class tst_Theme : public QObject
{
    Q_OBJECT

  private slots:
    void palette_data();
    void palette();
    void colorsAreCreatedOnce();
    void fonts_data();
    void fonts();
    void fitText_data();
    void fitText();
};

void tst_Theme::palette_data()
{
    QTest::addColumn<ColorFn>("color");
    QTest::addColumn<double>("r");
    QTest::addColumn<double>("g");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("a");

    QTest::newRow("bg") << ColorFn(Theme::bg) << 0.102 << 0.102 << 0.106 << 1.0;
    QTest::newRow("sidebar") << ColorFn(Theme::sidebar) << 0.086 << 0.086 << 0.090 << 1.0;
    QTest::newRow("card") << ColorFn(Theme::card) << 0.141 << 0.141 << 0.145 << 1.0;
    QTest::newRow("cardHover") << ColorFn(Theme::cardHover) << 0.173 << 0.173 << 0.180 << 1.0;
    QTest::newRow("field") << ColorFn(Theme::field) << 0.165 << 0.165 << 0.173 << 1.0;
    QTest::newRow("border") << ColorFn(Theme::border) << 1.0 << 1.0 << 1.0 << 0.08;
    QTest::newRow("borderStrong") << ColorFn(Theme::borderStrong) << 1.0 << 1.0 << 1.0 << 0.14;
    QTest::newRow("accent") << ColorFn(Theme::accent) << 0.039 << 0.518 << 1.0 << 1.0;
    QTest::newRow("accentSoft") << ColorFn(Theme::accentSoft) << 0.039 << 0.518 << 1.0 << 0.15;
    QTest::newRow("green") << ColorFn(Theme::green) << 0.188 << 0.820 << 0.345 << 1.0;
    QTest::newRow("red") << ColorFn(Theme::red) << 0.92 << 0.40 << 0.40 << 1.0;
    QTest::newRow("amber") << ColorFn(Theme::amber) << 0.95 << 0.72 << 0.33 << 1.0;
    QTest::newRow("textPrimary") << ColorFn(Theme::textPrimary) << 1.0 << 1.0 << 1.0 << 0.92;
    QTest::newRow("textSecondary") << ColorFn(Theme::textSecondary) << 1.0 << 1.0 << 1.0 << 0.56;
    QTest::newRow("textTertiary") << ColorFn(Theme::textTertiary) << 1.0 << 1.0 << 1.0 << 0.38;
}

void tst_Theme::palette()
{
    QFETCH(ColorFn, color);
    QFETCH(double, r);
    QFETCH(double, g);
    QFETCH(double, b);
    QFETCH(double, a);

    const QColor c = color();
    QCOMPARE(c.spec(), QColor::Rgb);
    // QColor keeps 16 bits a component: 1/65535 apart at worst.
    const double tolerance = 1e-4;
    QVERIFY2(qAbs(c.redF() - r) < tolerance, qPrintable(QString::number(c.redF())));
    QVERIFY2(qAbs(c.greenF() - g) < tolerance, qPrintable(QString::number(c.greenF())));
    QVERIFY2(qAbs(c.blueF() - b) < tolerance, qPrintable(QString::number(c.blueF())));
    QVERIFY2(qAbs(c.alphaF() - a) < tolerance, qPrintable(QString::number(c.alphaF())));
}

void tst_Theme::colorsAreCreatedOnce()
{
    QCOMPARE(&Theme::accent(), &Theme::accent());
    QCOMPARE(&Theme::textPrimary(), &Theme::textPrimary());
}

void tst_Theme::fonts_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<int>("weight");
    QTest::addColumn<bool>("mono");

    QTest::newRow("section title 22 semibold") << 22.0 << int(QFont::DemiBold) << false;
    QTest::newRow("subtitle 12.5") << 12.5 << int(QFont::Normal) << false;
    QTest::newRow("chip 11.5 medium mono") << 11.5 << int(QFont::Medium) << true;
    QTest::newRow("caption 10 semibold") << 10.0 << int(QFont::DemiBold) << false;
}

void tst_Theme::fonts()
{
    QFETCH(double, size);
    QFETCH(int, weight);
    QFETCH(bool, mono);

    const QFont font = Theme::systemFont(size, QFont::Weight(weight),
                                         mono ? Theme::FontDesign::Monospaced : Theme::FontDesign::Default);
    // Sizes are logical pixels, fractions included.
    QVERIFY(qAbs(Theme::fontSize(font) - size) < 1e-6);
    QCOMPARE(font.weight(), QFont::Weight(weight));
    if (mono) {
        // Whatever family the platform names, its glyphs must all advance alike.
        const QFontMetricsF metrics(font);
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")),
                 metrics.horizontalAdvance(QStringLiteral("MMMM")));
    } else {
        QCOMPARE(font.family(), QGuiApplication::font().family());
    }
}

void tst_Theme::fitText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("spare"); // pixels more (or less) than the text's natural width
    QTest::addColumn<bool>("whole");

    QTest::newRow("exactly its natural width") << QStringLiteral("Show welcome tour") << 0 << true;
    QTest::newRow("room to spare") << QStringLiteral(";shrug") << 20 << true;
    QTest::newRow("short by some") << QStringLiteral("Show welcome tour") << -20 << false;
    QTest::newRow("empty") << QString() << 0 << true;
}

void tst_Theme::fitText()
{
    QFETCH(QString, text);
    QFETCH(int, spare);
    QFETCH(bool, whole);

    // Odd sizes give fractional advances: the case where whole-pixel rounding cut letters off.
    for (const qreal size : {11.5, 12.0, 12.5}) {
        const QFont font = Theme::systemFont(size, QFont::Medium);
        const QString shown = ::fitText(font, text, naturalTextWidth(font, text) + spare);
        if (whole) {
            QCOMPARE(shown, text);
        } else {
            QVERIFY(shown.endsWith(QChar(0x2026)));
            QVERIFY(shown.size() < text.size());
        }
    }
}

QTEST_MAIN(tst_Theme)
#include "tst_Theme.moc"
