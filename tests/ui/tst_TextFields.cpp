#include "ui/Theme.h"
#include "ui/ThemedSecureField.h"
#include "ui/ThemedTextField.h"

#include <QApplication>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class tst_TextFields : public QObject
{
    Q_OBJECT

  private slots:
    void look_data();
    void look();
    void textIsTheBinding();
    void secureFieldMasks();
    void focusIsReported();
    void size_data();
    void size();
};

void tst_TextFields::look_data()
{
    QTest::addColumn<bool>("secure");
    QTest::addColumn<bool>("mono");
    QTest::addColumn<bool>("expectMono");

    QTest::newRow("text field") << false << false << false;
    QTest::newRow("mono text field") << false << true << true;
    QTest::newRow("secure field is always mono") << true << false << true;
}

void tst_TextFields::look()
{
    QFETCH(bool, secure);
    QFETCH(bool, mono);
    QFETCH(bool, expectMono);

    std::unique_ptr<ThemedTextField> field;
    if (secure)
        field = std::make_unique<ThemedSecureField>(QStringLiteral("sk-…"));
    else
        field = std::make_unique<ThemedTextField>(QStringLiteral(";trigger"), mono);

    QCOMPARE(field->placeholderText(), secure ? QStringLiteral("sk-…") : QStringLiteral(";trigger"));
    QVERIFY(!field->hasFrame());
    QVERIFY(qAbs(Theme::fontSize(field->font()) - 12.5) < 1e-6);
    QCOMPARE(field->font().weight(), QFont::Normal);
    QCOMPARE(field->isMono(), expectMono);
    const QFontMetricsF metrics(field->font());
    const bool fixedAdvance = metrics.horizontalAdvance("iiii") == metrics.horizontalAdvance("MMMM");
    QCOMPARE(fixedAdvance, expectMono);

    // Colours hold whether the window is active or not, and when the field is disabled.
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QPalette& palette = field->palette();
        QCOMPARE(palette.color(group, QPalette::Text), Theme::textPrimary());
        QCOMPARE(palette.color(group, QPalette::PlaceholderText), Theme::textTertiary());
        // The rounded fill is the field's own; the line edit must not paint a square over it.
        QCOMPARE(palette.color(group, QPalette::Base).alpha(), 0);
    }
    const ThemedFieldColors colors = ThemedFieldColors::standard();
    QCOMPARE(colors.fill, Theme::field());
    QCOMPARE(colors.border, Theme::border());
}

void tst_TextFields::textIsTheBinding()
{
    ThemedTextField field(QStringLiteral("e.g. translate to Spanish"));
    field.show();
    QSignalSpy changed(&field, &QLineEdit::textChanged);
    QSignalSpy edited(&field, &QLineEdit::textEdited);

    field.setText(QStringLiteral("from code"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(edited.count(), 0);

    field.clear();
    field.setFocus();
    QTest::keyClicks(&field, "typed");
    QCOMPARE(field.text(), QStringLiteral("typed"));
    QCOMPARE(edited.last().at(0).toString(), QStringLiteral("typed"));
    QCOMPARE(field.echoMode(), QLineEdit::Normal);

    field.setMono(true);
    QCOMPARE(field.text(), QStringLiteral("typed"));
    QCOMPARE(field.palette().color(QPalette::Text), Theme::textPrimary());
}

void tst_TextFields::secureFieldMasks()
{
    ThemedSecureField field(QStringLiteral("API key"));
    QCOMPARE(field.echoMode(), QLineEdit::Password);
    field.setText(QStringLiteral("sk-secret"));
    QCOMPARE(field.text(), QStringLiteral("sk-secret"));
    QVERIFY(!field.displayText().contains(QStringLiteral("secret")));
    QCOMPARE(field.displayText().size(), field.text().size());
}

void tst_TextFields::focusIsReported()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* plain = new ThemedTextField;
    auto* secure = new ThemedSecureField;
    layout->addWidget(plain);
    layout->addWidget(secure);
    QSignalSpy plainFocus(plain, &ThemedTextField::focusChanged);
    QSignalSpy secureFocus(secure, &ThemedTextField::focusChanged);
    plain->setFocus(Qt::OtherFocusReason);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QVERIFY(plain->hasFocus());
    QCOMPARE(plainFocus.count(), 1);
    QCOMPARE(plainFocus.last().at(0).toBool(), true);
    QCOMPARE(secureFocus.count(), 0);

    QTest::keyClick(plain, Qt::Key_Tab);
    QVERIFY(secure->hasFocus());
    QCOMPARE(plainFocus.last().at(0).toBool(), false);
    QCOMPARE(secureFocus.count(), 1);
    QCOMPARE(secureFocus.last().at(0).toBool(), true);

    // While another window is active, nothing is being typed into the secret: that counts as
    // losing focus, and coming back as regaining it.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(secureFocus.count(), 2);
    QCOMPARE(secureFocus.last().at(0).toBool(), false);

    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(secureFocus.count(), 3);
    QCOMPARE(secureFocus.last().at(0).toBool(), true);
    QCOMPARE(plainFocus.count(), 2);
}

void tst_TextFields::size_data()
{
    QTest::addColumn<bool>("mono");
    QTest::newRow("default design") << false;
    QTest::newRow("monospaced") << true;
}

void tst_TextFields::size()
{
    QFETCH(bool, mono);
    ThemedTextField field(QString(), mono);
    const int line = QFontMetrics(field.font()).height();
    QCOMPARE(field.sizeHint().height(), line + 2 * 7);
    QCOMPARE(field.minimumSizeHint().height(), line + 2 * 7);
    QCOMPARE(ThemedTextField::heightFor(line), line + 14);
    // The text starts 10 in from the edge and 7 down: QLineEdit's own 2 and 1 plus the margins.
    const QMargins margins = field.textMargins();
    QCOMPARE(margins.left() + 2, 10);
    QCOMPARE(margins.right() + 2, 10);
    QCOMPARE(margins.top() + 1, 7);
    QCOMPARE(margins.bottom() + 1, 7);
    QCOMPARE(field.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
}

QTEST_MAIN(tst_TextFields)
#include "tst_TextFields.moc"
