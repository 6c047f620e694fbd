#include "library/SnippetEditor.h"

#include "engine/ScriptRunner.h"
#include "library/LibraryLook.h"
#include "model/AppState.h"
#include "ui/AccentToggle.h"
#include "ui/PillButton.h"
#include "ui/RoundedPanel.h"
#include "ui/SettingRow.h"
#include "ui/Theme.h"
#include "ui/TextFit.h"
#include "ui/ThemedPicker.h"
#include "ui/ThemedTextField.h"

#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

using namespace SnippetEditorLogic;

namespace {

// The content editor's well: the field colour, a thin border, corner radius 7.
class EditorWell : public QWidget
{
  public:
    explicit EditorWell(QWidget* parent) : QWidget(parent) {}
    // Its height is fixed: the text editor inside must not make the sheet ask for more.
    bool hasHeightForWidth() const override { return false; }
    QSize sizeHint() const override { return {0, height}; }
    QSize minimumSizeHint() const override { return {0, height}; }
    static constexpr int height = 140;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        RoundedPanel{7, Theme::field(), Theme::border(), 1}.paint(painter, QRectF(rect()));
    }
};

QVBoxLayout* section(QVBoxLayout* parent, int spacing = 6)
{
    auto* layout = new QVBoxLayout;
    layout->setSpacing(spacing);
    layout->setContentsMargins(0, 0, 0, 0);
    parent->addLayout(layout);
    return layout;
}

QLabel* wrapped(QLabel* label)
{
    label->setWordWrap(true);
    return label;
}

} // namespace

SnippetEditor::SnippetEditor(AppState& state, const Snippet& snippet, bool isNew, QWidget* parent)
    : QDialog(parent), m_state(state), m_snippet(snippet), m_isNew(isNew)
{
    const QString title = isNew ? QStringLiteral("New snippet") : QStringLiteral("Edit snippet");
    QVBoxLayout* stack = LibraryLook::sheetStack(this, title, sheetWidth);
    QWidget* sheet = stack->parentWidget();

    stack->addWidget(LibraryLook::label(title, 16, Theme::textPrimary(), sheet, QFont::DemiBold));

    // Trigger.
    QVBoxLayout* trigger = section(stack);
    trigger->addWidget(LibraryLook::caption(QStringLiteral("Trigger"), sheet));
    m_trigger = new ThemedTextField(QStringLiteral(";abbrev"), true, sheet);
    m_trigger->setMaximumWidth(220);
    m_trigger->setAccessibleName(QStringLiteral("TRIGGER"));
    m_trigger->setText(m_snippet.trigger);
    trigger->addWidget(m_trigger);
    // One line, as the shadowing texts fit the sheet.
    m_triggerLine = LibraryLook::label({}, 11, Theme::textTertiary(), sheet);
    trigger->addWidget(m_triggerLine);
    // Every change counts, whatever made it: keys, a paste, or an assistive tool's edit
    // through the accessibility interface. The sheet itself only fills the field above.
    connect(m_trigger, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text == m_snippet.trigger)
            return;
        m_snippet.trigger = text;
        refresh();
    });

    // Kind.
    QVBoxLayout* kind = section(stack);
    kind->addWidget(LibraryLook::caption(QStringLiteral("Type"), sheet));
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    m_textKind = new PillButton(QStringLiteral("Text"), {}, false, sheet);
    m_shellKind = new PillButton(QStringLiteral("Shell script"), {}, false, sheet);
    for (PillButton* b : {m_textKind, m_shellKind}) {
        b->setFixedWidth(100);
        segments->addWidget(b);
    }
    segments->addStretch();
    kind->addLayout(segments);
    m_scriptNote = wrapped(LibraryLook::label({}, 11, Theme::textTertiary(), sheet));
    kind->addWidget(m_scriptNote);
    connect(m_textKind, &QAbstractButton::clicked, this, [this] { setKind(SnippetKind::text); });
    connect(m_shellKind, &QAbstractButton::clicked, this, [this] { setKind(SnippetKind::shell); });

    // Content.
    QVBoxLayout* content = section(stack);
    m_contentCaption = LibraryLook::caption({}, sheet);
    content->addWidget(m_contentCaption);
    auto* well = new EditorWell(sheet);
    well->setFixedHeight(EditorWell::height);
    well->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* wellLayout = new QVBoxLayout(well);
    wellLayout->setContentsMargins(8, 8, 8, 8);
    m_content = new QPlainTextEdit(well);
    m_content->setFrameShape(QFrame::NoFrame);
    m_content->setTabChangesFocus(true);
    m_content->viewport()->setAutoFillBackground(false);
    m_content->setAutoFillBackground(false);
    {
        QPalette p = m_content->palette();
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::Text, Theme::textPrimary());
        m_content->setPalette(p);
    }
    m_content->setPlainText(m_snippet.content);
    wellLayout->addWidget(m_content);
    content->addWidget(well);
    m_help = new QWidget(sheet);
    auto* helpLayout = new QVBoxLayout(m_help);
    helpLayout->setContentsMargins(0, 0, 0, 0);
    helpLayout->setSpacing(6);
    for (int i = 0; i < SnippetEditorLogic::placeholderHelp.size(); ++i) {
        QLabel* line = wrapped(
            LibraryLook::label(SnippetEditorLogic::placeholderHelp.at(i), 11, Theme::textTertiary(), m_help));
        if (i == 0)
            line->setFont(Theme::systemFont(11, QFont::Normal, Theme::FontDesign::Monospaced));
        helpLayout->addWidget(line);
    }
    content->addWidget(m_help);
    connect(m_content, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_content->toPlainText();
        if (text == m_snippet.content)
            return;
        m_snippet.content = text;
        refresh();
    });

    // Options.
    QVBoxLayout* options = section(stack);
    options->addWidget(LibraryLook::caption(QStringLiteral("Options"), sheet));
    auto* rows = new QVBoxLayout;
    rows->setSpacing(2);
    options->addLayout(rows);
    m_ignoreCase =
        optionRow(rows, QStringLiteral("Ignore case"),
                  QStringLiteral("Match the trigger no matter how it's capitalized."), m_snippet.ignoreCase);
    m_adaptCase = optionRow(
        rows, QStringLiteral("Adapt case"),
        QStringLiteral("Mirror the typed trigger's capitalization in the expansion (needs Ignore case)."),
        m_snippet.adaptCase, &m_adaptCaseRow);
    m_wholeWord =
        optionRow(rows, QStringLiteral("Whole word only"),
                  QStringLiteral("Only expand when the trigger starts a word — always on for triggers "
                                 "that start with a letter or number."),
                  m_snippet.wholeWord);
    m_keepDelimiter = optionRow(rows, QStringLiteral("Keep delimiter"),
                                QStringLiteral("Retype the space or punctuation that completed the trigger."),
                                m_snippet.keepDelimiter);
    m_adaptCaseRow->setGraphicsEffect(new QGraphicsOpacityEffect(m_adaptCaseRow));
    connect(m_ignoreCase, &QAbstractButton::clicked, this, [this](bool on) {
        m_snippet.ignoreCase = on;
        refresh();
    });
    connect(m_adaptCase, &QAbstractButton::clicked, this, [this](bool on) { m_snippet.adaptCase = on; });
    connect(m_wholeWord, &QAbstractButton::clicked, this, [this](bool on) { m_snippet.wholeWord = on; });
    connect(m_keepDelimiter, &QAbstractButton::clicked, this,
            [this](bool on) { m_snippet.keepDelimiter = on; });

    // Group.
    m_groupSection = new QWidget(sheet);
    auto* group = new QVBoxLayout(m_groupSection);
    group->setContentsMargins(0, 0, 0, 0);
    group->setSpacing(6);
    group->addWidget(LibraryLook::caption(QStringLiteral("Group"), m_groupSection));
    m_groupPicker = new ThemedPicker(m_groupSection);
    m_groupPicker->setMaximumWidth(220);
    m_groupPicker->setAccessibleName(QStringLiteral("GROUP"));
    group->addWidget(m_groupPicker, 0, Qt::AlignLeft);
    m_prefixLine = wrapped(LibraryLook::label({}, 11, Theme::textTertiary(), m_groupSection));
    group->addWidget(m_prefixLine);
    stack->addWidget(m_groupSection);
    // activated, not currentIndexChanged: only the user's choice writes the working copy.
    connect(m_groupPicker, &QComboBox::activated, this, [this](int index) {
        if (index <= 0)
            m_snippet.groupID.reset();
        else
            m_snippet.groupID = m_groupPicker->itemData(index).toUuid();
        showGroupTooltip();
        refresh();
    });

    // Buttons.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_cancel = new PillButton(QStringLiteral("Cancel"), {}, false, sheet);
    m_save = new PillButton(isNew ? QStringLiteral("Create") : QStringLiteral("Save"), {}, true, sheet);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    stack->addLayout(buttons);
    connect(m_cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(m_save, &QAbstractButton::clicked, this, &SnippetEditor::save);

    connect(&m_state, &AppState::snippetsChanged, this, &SnippetEditor::refresh);
    connect(&m_state, &AppState::groupsChanged, this, [this] {
        fillGroups();
        refresh();
    });
    connect(&m_state, &AppState::expansionModeChanged, this, &SnippetEditor::refresh);
    connect(&m_state, &AppState::scriptSnippetsEnabledChanged, this, &SnippetEditor::refresh);

    fillGroups();
    refresh();
    m_trigger->setFocus();
}

AccentToggle* SnippetEditor::optionRow(QLayout* into, const QString& title, const QString& help, bool on,
                                       SettingRow** rowOut)
{
    auto* toggle = new AccentToggle(on);
    toggle->setAccessibleName(title);
    auto* row = new SettingRow(title, help, toggle);
    into->addWidget(row);
    if (rowOut)
        *rowOut = row;
    return toggle;
}

void SnippetEditor::setKind(SnippetKind kind)
{
    if (m_snippet.kind == kind)
        return;
    m_snippet.kind = kind;
    refresh();
}

void SnippetEditor::fillGroups()
{
    // Filling writes nothing: a group id naming no stored group stays in the working copy
    // (shown as no choice) until the user picks one.
    const QSignalBlocker blocker(m_groupPicker);
    m_groupPicker->clear();
    m_groupPicker->addItem(QStringLiteral("None"));
    int current = m_snippet.groupID ? -1 : 0;
    const QList<SnippetGroup>& groups = m_state.groups();
    // The picker is at most 220 wide: a longer name is shortened with an ellipsis in the
    // field and its list, and shown whole in the tooltip.
    const int room = m_groupPicker->maximumWidth() - ThemedPicker::horizontalPadding - ThemedPicker::chevronWidth;
    for (const SnippetGroup& g : groups) {
        m_groupPicker->addItem(fitText(m_groupPicker->font(), g.name, room), g.id);
        m_groupPicker->setItemData(m_groupPicker->count() - 1, g.name, Qt::ToolTipRole);
        if (current < 0 && m_snippet.groupID == g.id)
            current = m_groupPicker->count() - 1;
    }
    m_groupPicker->setCurrentIndex(current);
    showGroupTooltip();
}

void SnippetEditor::showGroupTooltip()
{
    const QString name = m_groupPicker->currentData(Qt::ToolTipRole).toString();
    m_groupPicker->setToolTip(name != m_groupPicker->currentText() ? name : QString());
}

void SnippetEditor::refresh()
{
    const QList<Snippet>& snippets = m_state.snippets();
    const QList<SnippetGroup>& groups = m_state.groups();

    const TriggerLine line =
        SnippetEditorLogic::triggerLine(m_snippet, snippets, groups, m_state.expansionMode());
    m_lineKind = line.kind;
    m_triggerLine->setText(line.text);
    QPalette p = m_triggerLine->palette();
    p.setColor(QPalette::WindowText, line.kind == TriggerLineKind::conflict ? Theme::red()
                                     : line.kind == TriggerLineKind::shadow ? Theme::amber()
                                                                            : Theme::textTertiary());
    m_triggerLine->setPalette(p);

    const bool shell = m_snippet.kind == SnippetKind::shell;
    m_textKind->setProminent(!shell);
    m_shellKind->setProminent(shell);
    m_scriptNote->setVisible(shell);
    if (shell) {
        m_scriptNote->setText(
            SnippetEditorLogic::scriptNote(m_state.scriptSnippetsEnabled(), ScriptRunner::defaultShell()));
        QPalette np = m_scriptNote->palette();
        np.setColor(QPalette::WindowText,
                    m_state.scriptSnippetsEnabled() ? Theme::textTertiary() : Theme::amber());
        m_scriptNote->setPalette(np);
    }
    const QString caption = shell ? QStringLiteral("SCRIPT") : QStringLiteral("EXPANDS TO");
    m_contentCaption->setText(caption);
    m_content->setAccessibleName(caption);
    m_content->setFont(Theme::systemFont(12.5, QFont::Normal,
                                         shell ? Theme::FontDesign::Monospaced : Theme::FontDesign::Default));
    m_help->setVisible(!shell);

    // Adapt case keeps its value while it cannot be changed.
    m_adaptCaseRow->setEnabled(m_snippet.ignoreCase);
    static_cast<QGraphicsOpacityEffect*>(m_adaptCaseRow->graphicsEffect())
        ->setOpacity(m_snippet.ignoreCase ? 1.0 : 0.4);

    m_groupSection->setVisible(!groups.isEmpty());
    const auto prefix = SnippetEditorLogic::groupPrefixLine(m_snippet, groups);
    m_prefixLine->setVisible(prefix.has_value());
    m_prefixLine->setText(prefix.value_or(QString()));

    // Dimmed, never disabled: a click on an invalid snippet is simply ignored.
    m_save->setOpacity(isValid(m_snippet, snippets, groups) ? 1.0 : 0.4);
}

void SnippetEditor::save()
{
    if (SnippetEditorLogic::save(m_state, m_snippet, m_isNew) == SaveOutcome::invalid)
        return;
    accept();
}
