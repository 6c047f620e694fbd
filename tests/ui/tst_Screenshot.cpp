// Builds a sample panel from every shared control and checks its layout: no control overlaps
// another, none is cut off, every field keeps a usable width. The picture goes to the build
// folder for review.
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/PillButton.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/Theme.h"
#include "ui/ThemedSecureField.h"
#include "ui/ThemedTextField.h"
#include "ui/TriggerChip.h"

#include "LayoutCheck.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

namespace {

QWidget* divider()
{
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Theme::border());
    line->setPalette(palette);
    return line;
}

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text.toUpper());
    QFont font = Theme::systemFont(10, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::textTertiary());
    label->setPalette(palette);
    return label;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, int spacing = 8)
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    layout->addStretch();
    return layout;
}

} // namespace

class tst_Screenshot : public QObject
{
    Q_OBJECT

  private slots:
    void samplePanel();
};

void tst_Screenshot::samplePanel()
{
    QWidget panel;
    panel.setAutoFillBackground(true);
    QPalette palette = panel.palette();
    palette.setColor(QPalette::Window, Theme::bg());
    panel.setPalette(palette);
    panel.setFixedWidth(600);

    auto* page = new QVBoxLayout(&panel);
    page->setContentsMargins(24, 24, 24, 24);
    page->setSpacing(14);
    page->addWidget(new SectionHeader("General", QStringLiteral("Engine, sound, and app behavior.")));
    page->addWidget(new SectionHeader("Title without subtitle"));

    page->addWidget(caption("Engine"));
    auto* engine = new Card(18);
    engine->contentLayout()->setSpacing(14);
    engine->addContent(new SettingRow("Enable Quenvil",
                                      QStringLiteral("Master switch for expansion and spell-fixing."),
                                      new AccentToggle(true)));
    engine->addContent(divider());
    engine->addContent(new SettingRow(
        "Suggest snippets as I type",
        QStringLiteral(
            "Floats a small hint near the cursor when what you're typing is the start of a snippet "
            "trigger, so you remember the ones you've made. It never steals focus or changes what "
            "you type."),
        new AccentToggle(false)));
    engine->addContent(divider());
    auto* disabledToggle = new AccentToggle(true);
    disabledToggle->setEnabled(false);
    engine->addContent(new SettingRow("Disabled switch", std::nullopt, disabledToggle));
    engine->addContent(divider());
    engine->addContent(new SettingRow("Sound", std::nullopt, new PillButton("Preview", "play.fill")));
    page->addWidget(engine);

    page->addWidget(caption("Buttons"));
    auto* buttons = new Card(18);
    buttons->contentLayout()->setSpacing(12);
    auto* hovered = new PillButton("Hovered");
    auto* focused = new PillButton("Focused");
    auto* disabled = new PillButton("Rewrite", {}, true);
    disabled->setEnabled(false);
    disabled->setOpacity(0.4);
    buttons->addContent(
        row({new PillButton("Cancel"), hovered, focused, new PillButton("Save", {}, true), disabled}));
    buttons->addContent(
        row({new PillButton("Get started", "arrow.right", true), new PillButton("Create", "checkmark", true),
             new PillButton("Add", "plus"), new PillButton("Remove", "trash")}));
    buttons->addContent(row({new PillButton("Welcome tour", "sparkles"), new PillButton("Edit", "pencil"),
                             new PillButton("Export", "arrow.down.doc"), new PillButton("Open", "folder"),
                             new PillButton("Save key", "key.fill")}));
    page->addWidget(buttons);

    page->addWidget(caption("Triggers and fields"));
    auto* fields = new Card(14);
    fields->contentLayout()->setSpacing(10);
    fields->addContent(row({new TriggerChip(";sig"), new TriggerChip(";date"), new TriggerChip(";shrug"),
                            new TriggerChip("addr")},
                           6));
    auto* empty = new ThemedTextField(";trigger", true);
    auto* filled = new ThemedTextField("e.g. translate to Spanish");
    filled->setText("Best regards, Ada");
    auto* secure = new ThemedSecureField("sk-…");
    secure->setText("sk-secret-key");
    auto* fieldLayout = new QVBoxLayout;
    fieldLayout->setSpacing(8);
    fieldLayout->addWidget(empty);
    fieldLayout->addWidget(filled);
    fieldLayout->addWidget(secure);
    fields->addContent(fieldLayout);
    page->addWidget(fields);

    // A top-level window sizes itself from size hints alone; give it the height its wrapped
    // subtitles need at this width, as a scroll area or parent layout would.
    panel.resize(panel.width(), panel.heightForWidth(panel.width()));
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(hovered, &enter);
    focused->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();

    QUENVIL_VERIFY_LAYOUT(&panel, QStringLiteral("ui-controls"));
}

QTEST_MAIN(tst_Screenshot)
#include "tst_Screenshot.moc"
