#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/PillButton.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"
#include "ui/TriggerChip.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QString longSubtitle = QStringLiteral(
    "Floats a small hint near the cursor when what you're typing is the start of a snippet trigger, so you "
    "remember the ones you've made. It never steals focus or changes what you type.");

// Lays `w` out at `width` as a parent layout would: at the height it asks for at that width.
void layOut(QWidget& w, int width)
{
    const int height = w.hasHeightForWidth() ? w.heightForWidth(width) : w.sizeHint().height();
    w.resize(width, height);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

bool textStyle(QLabel* label, qreal size, QFont::Weight weight, const QColor& color)
{
    return qAbs(Theme::fontSize(label->font()) - size) < 1e-6 && label->font().weight() == weight &&
           label->palette().color(QPalette::WindowText) == color && label->textFormat() == Qt::PlainText;
}

} // namespace

class tst_Containers : public QObject
{
    Q_OBJECT

  private slots:
    void sectionHeader_data();
    void sectionHeader();
    void settingRowWithoutSubtitle();
    void settingRowLongSubtitleWraps();
    void settingRowControlAtTrailingEdge();
    void settingRowReplacesTrailing();
    void cardTakesFullWidth();
    void cardPadding();
    void triggerChip_data();
    void triggerChip();
};

void tst_Containers::sectionHeader_data()
{
    QTest::addColumn<std::optional<QString>>("subtitle");
    QTest::addColumn<bool>("shown");

    QTest::newRow("with subtitle") << std::optional<QString>(
                                          QStringLiteral("Engine, sound, and app behavior."))
                                   << true;
    QTest::newRow("without subtitle") << std::optional<QString>() << false;
    QTest::newRow("empty subtitle is none") << std::optional<QString>(QString()) << false;
}

void tst_Containers::sectionHeader()
{
    QFETCH(std::optional<QString>, subtitle);
    QFETCH(bool, shown);

    SectionHeader header(QStringLiteral("General"), subtitle);
    QVERIFY(textStyle(header.titleLabel(), 22, QFont::DemiBold, Theme::textPrimary()));
    QVERIFY(textStyle(header.subtitleLabel(), 12.5, QFont::Normal, Theme::textSecondary()));
    QCOMPARE(header.subtitle().has_value(), shown);
    QCOMPARE(header.subtitleLabel()->isVisibleTo(&header), shown);

    layOut(header, 400);
    const int title = header.titleLabel()->sizeHint().height();
    if (shown) {
        QCOMPARE(header.subtitleLabel()->y(), header.titleLabel()->geometry().bottom() + 1 + 4);
        QVERIFY(header.height() > title + 4);
    } else {
        // No blank line where the subtitle would be.
        QCOMPARE(header.height(), title);
    }
    QCOMPARE(header.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);

    // Toggling the subtitle later gives the same result as constructing with it.
    header.setSubtitle(shown ? std::nullopt : std::optional<QString>(QStringLiteral("Added")));
    QCOMPARE(header.subtitleLabel()->isVisibleTo(&header), !shown);
}

void tst_Containers::settingRowWithoutSubtitle()
{
    SettingRow row(QStringLiteral("Sound"), std::nullopt, new AccentToggle);
    QVERIFY(textStyle(row.titleLabel(), 13, QFont::Medium, Theme::textPrimary()));
    QVERIFY(textStyle(row.subtitleLabel(), 11.5, QFont::Normal, Theme::textSecondary()));
    QVERIFY(!row.subtitleLabel()->isVisibleTo(&row));

    layOut(row, 500);
    // Title and 2 of padding above and below; the control is shorter than the title line.
    const int title = row.titleLabel()->sizeHint().height();
    QCOMPARE(row.height(), qMax(title, AccentToggle::trackHeight) + 2 * 2);
}

void tst_Containers::settingRowLongSubtitleWraps()
{
    SettingRow shortRow(QStringLiteral("Enable Quenvil"), QStringLiteral("Master switch."), new AccentToggle);
    SettingRow longRow(QStringLiteral("Suggest snippets as I type"), longSubtitle, new AccentToggle);

    const int wide = longRow.heightForWidth(2000);
    const int narrow = longRow.heightForWidth(320);
    QVERIFY2(narrow > wide, qPrintable(QStringLiteral("%1 vs %2").arg(narrow).arg(wide)));
    QVERIFY(narrow > shortRow.heightForWidth(320));

    layOut(longRow, 320);
    QLabel* title = longRow.titleLabel();
    QLabel* subtitle = longRow.subtitleLabel();
    const int line = QFontMetrics(subtitle->font()).lineSpacing();
    QVERIFY(subtitle->height() >= 3 * line);
    // The subtitle gets all the height its wrapped text needs, below the title with 3 between.
    QCOMPARE(subtitle->height(), subtitle->heightForWidth(subtitle->width()));
    QCOMPARE(subtitle->mapTo(&longRow, QPoint()).y(),
             title->mapTo(&longRow, QPoint()).y() + title->height() + 3);
    QVERIFY(subtitle->mapTo(&longRow, QPoint(0, subtitle->height())).y() <= longRow.height() - 2);

    // The control stays centred on the taller row.
    QWidget* toggle = longRow.trailing();
    QVERIFY(qAbs(toggle->geometry().center().y() - longRow.rect().center().y()) <= 1);
}

void tst_Containers::settingRowControlAtTrailingEdge()
{
    auto* button = new PillButton(QStringLiteral("Preview"), QStringLiteral("play.fill"));
    SettingRow row(QStringLiteral("Sound"), std::nullopt, button);
    layOut(row, 600);
    QCOMPARE(button->geometry().right(), row.width() - 1);
    QCOMPARE(button->size(), button->sizeHint());

    // However long the text, at least 16 stands between it and the control, plus the 12 of
    // spacing on either side of that gap.
    SettingRow crowded(QStringLiteral("Suggest snippets as I type"), longSubtitle, new AccentToggle);
    layOut(crowded, 320);
    const QWidget* text = crowded.titleLabel()->parentWidget();
    QCOMPARE(crowded.trailing()->x() - (text->geometry().right() + 1), 12 + 16 + 12);
    QCOMPARE(crowded.trailing()->geometry().right(), crowded.width() - 1);
}

void tst_Containers::settingRowReplacesTrailing()
{
    SettingRow row(QStringLiteral("Launch at login"), std::nullopt, new AccentToggle);
    QPointer<QWidget> old = row.trailing();
    auto* button = new PillButton(QStringLiteral("Open"));
    row.setTrailing(button);
    QVERIFY(old.isNull());
    QCOMPARE(row.trailing(), button);
    QCOMPARE(button->parentWidget(), &row);
    layOut(row, 400);
    QCOMPARE(button->geometry().right(), row.width() - 1);
}

void tst_Containers::cardTakesFullWidth()
{
    QWidget page;
    auto* layout = new QVBoxLayout(&page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* card = new Card(18);
    auto* narrow = new PillButton(QStringLiteral("Add"), QStringLiteral("plus"));
    auto* label = new QLabel(QStringLiteral("short"));
    card->addContent(narrow);
    card->addContent(label);
    layout->addWidget(card);
    layOut(page, 480);

    QCOMPARE(card->width(), 480);
    // Narrow content sits at the leading edge, inside the padding.
    QCOMPARE(narrow->pos(), QPoint(18, 18));
    QCOMPARE(narrow->size(), narrow->sizeHint());
    // Content that can grow takes the card's inner width.
    QCOMPARE(label->width(), 480 - 2 * 18);
}

void tst_Containers::cardPadding()
{
    Card card(14);
    QCOMPARE(card.padding(), 14);
    QCOMPARE(card.contentLayout()->contentsMargins(), QMargins(14, 14, 14, 14));
    card.setPadding(18);
    QCOMPARE(card.contentLayout()->contentsMargins(), QMargins(18, 18, 18, 18));

    auto* content = new QWidget;
    content->setFixedSize(100, 40);
    card.addContent(content);
    QCOMPARE(card.sizeHint().height(), 40 + 2 * 18);
}

void tst_Containers::triggerChip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("short") << QStringLiteral(";sig");
    QTest::newRow("longer") << QStringLiteral(";shrug");
    QTest::newRow("non-ASCII") << QStringLiteral(";café→");
}

void tst_Containers::triggerChip()
{
    QFETCH(QString, text);
    TriggerChip chip(text);
    QCOMPARE(chip.text(), text);
    QVERIFY(qAbs(Theme::fontSize(chip.font()) - 11.5) < 1e-6);
    QCOMPARE(chip.font().weight(), QFont::Medium);
    const QFontMetricsF metrics(chip.font());
    QCOMPARE(metrics.horizontalAdvance("iiii"), metrics.horizontalAdvance("MMMM"));

    const QSize hint = chip.sizeHint();
    QCOMPARE(hint,
             QSize(naturalTextWidth(chip.font(), text) + 2 * 7, QFontMetrics(chip.font()).height() + 2 * 3));
    QVERIFY(hint.width() >= metrics.horizontalAdvance(text) + 14);
    // A squeezed row may shorten the chip, never below the padding around an ellipsis.
    QVERIFY(chip.minimumSizeHint().width() <= hint.width());
    QVERIFY(chip.minimumSizeHint().width() >= 14);
    QCOMPARE(chip.minimumSizeHint().height(), hint.height());
}

QTEST_MAIN(tst_Containers)
#include "tst_Containers.moc"
