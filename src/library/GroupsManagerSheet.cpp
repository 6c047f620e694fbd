#include "library/GroupsManagerSheet.h"

#include "library/GroupEdits.h"
#include "library/LibraryLook.h"
#include "model/AppState.h"
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/FlowLayout.h"
#include "ui/GroupAppChip.h"
#include "ui/PillButton.h"
#include "ui/Theme.h"
#include "ui/ThemedPicker.h"
#include "ui/ThemedTextField.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QVBoxLayout* captioned(const QString& caption, QWidget* field, QWidget* parent)
{
    auto* layout = new QVBoxLayout;
    layout->setSpacing(4);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(LibraryLook::caption(caption, parent));
    layout->addWidget(field);
    return layout;
}

void setTextKeepingCaret(ThemedTextField* field, const QString& text)
{
    if (field->text() == text)
        return;
    const QSignalBlocker blocker(field);
    field->setText(text);
}

} // namespace

GroupEditorRow::GroupEditorRow(AppState& state, const QUuid& groupID, QWidget* parent)
    : QWidget(parent), m_state(state), m_groupID(groupID)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new Card(18, this);
    outer->addWidget(card);
    QVBoxLayout* stack = card->contentLayout();
    stack->setSpacing(12);

    // Name, switch, member count, delete.
    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    m_name = new ThemedTextField(QStringLiteral("Group name"), false, card);
    m_name->setAccessibleName(QStringLiteral("Group name"));
    m_name->setMaximumWidth(200);
    m_enabled = new AccentToggle(false, card);
    m_enabled->setAccessibleName(QStringLiteral("Enabled"));
    m_count = LibraryLook::label({}, 11, Theme::textTertiary(), card);
    QColor trash = Theme::red();
    trash.setAlphaF(0.85f);
    m_delete = new SymbolButton(QStringLiteral("trash"), trash, GroupEdits::deleteTooltip, card);
    m_delete->setToolTip(GroupEdits::deleteTooltip);
    top->addWidget(m_name, 1);
    top->addWidget(m_enabled);
    top->addStretch();
    top->addWidget(m_count);
    top->addWidget(m_delete);
    stack->addLayout(top);

    // Prefix and scope.
    auto* middle = new QHBoxLayout;
    middle->setSpacing(10);
    m_prefix = new ThemedTextField(QStringLiteral("none"), true, card);
    m_prefix->setAccessibleName(QStringLiteral("TRIGGER PREFIX"));
    m_prefix->setFixedWidth(120);
    m_scope = new ThemedPicker(card);
    m_scope->setAccessibleName(QStringLiteral("APPS"));
    m_scope->setFixedWidth(170);
    for (AppScopeMode mode : allAppScopeModes())
        m_scope->addItem(GroupEdits::scopeTitle(mode), int(mode));
    middle->addLayout(captioned(QStringLiteral("Trigger prefix"), m_prefix, card));
    middle->addLayout(captioned(QStringLiteral("Apps"), m_scope, card));
    middle->addStretch();
    stack->addLayout(middle);

    m_prefixSentence = LibraryLook::label({}, 11, Theme::textTertiary(), card);
    m_prefixSentence->setWordWrap(true);
    stack->addWidget(m_prefixSentence);

    // The app list.
    m_appSection = new QWidget(card);
    auto* apps = new QVBoxLayout(m_appSection);
    apps->setContentsMargins(0, 0, 0, 0);
    apps->setSpacing(8);
    m_scopeSentence = LibraryLook::label({}, 11.5, Theme::textSecondary(), m_appSection);
    m_scopeSentence->setWordWrap(true);
    apps->addWidget(m_scopeSentence);
    m_chipBox = new QWidget(m_appSection);
    m_chipLayout = new FlowLayout(m_chipBox, 6);
    apps->addWidget(m_chipBox);
    auto* add = new QHBoxLayout;
    add->setSpacing(8);
    m_appField = new ThemedTextField(QStringLiteral("firefox"), true, m_appSection);
    m_appField->setAccessibleName(QStringLiteral("firefox"));
    m_appField->setFixedWidth(220);
    m_addApp = new PillButton(QStringLiteral("Add"), QStringLiteral("plus"), false, m_appSection);
    add->addWidget(m_appField);
    add->addWidget(m_addApp);
    add->addStretch();
    apps->addLayout(add);
    stack->addWidget(m_appSection);

    // Any change of the text is the user's (keys, paste, an assistive tool's edit): refresh()
    // fills the fields with their signals blocked.
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString& text) {
        GroupEdits::update(m_state, m_groupID, [&](SnippetGroup& g) { g.name = text; });
    });
    connect(m_enabled, &QAbstractButton::clicked, this, [this](bool on) {
        GroupEdits::update(m_state, m_groupID, [&](SnippetGroup& g) { g.enabled = on; });
    });
    connect(m_prefix, &QLineEdit::textChanged, this, [this](const QString& text) {
        GroupEdits::update(m_state, m_groupID, [&](SnippetGroup& g) { g.triggerPrefix = text; });
    });
    // activated: re-picking the shown scope writes nothing (update skips an unchanged group).
    connect(m_scope, &QComboBox::activated, this, [this](int index) {
        const auto mode = AppScopeMode(m_scope->itemData(index).toInt());
        // A scope the user picks replaces one written by a newer version that this one did
        // not understand (such a group fires nowhere until then).
        GroupEdits::update(m_state, m_groupID, [&](SnippetGroup& g) {
            g.appMode = mode;
            g.unrecognisedAppMode.reset();
        });
    });
    connect(m_delete, &QAbstractButton::clicked, this, [this] {
        // Deleting removes this row: let the click finish first.
        const QUuid id = m_groupID;
        AppState* state = &m_state;
        QTimer::singleShot(0, state, [state, id] { state->deleteGroup(id); });
    });
    connect(m_addApp, &QAbstractButton::clicked, this, &GroupEditorRow::addApp);

    refresh();
}

void GroupEditorRow::addApp()
{
    if (GroupEdits::addApp(m_state, m_groupID, m_appField->text()))
        m_appField->clear();
}

QList<GroupAppChip*> GroupEditorRow::chips() const
{
    QList<GroupAppChip*> list;
    for (int i = 0; i < m_chipLayout->count(); ++i) {
        if (auto* chip = qobject_cast<GroupAppChip*>(m_chipLayout->itemAt(i)->widget()))
            list.append(chip);
    }
    return list;
}

void GroupEditorRow::syncChips(const QStringList& apps)
{
    if (apps == m_chipTexts)
        return;
    m_chipTexts = apps;
    while (QLayoutItem* item = m_chipLayout->takeAt(0)) {
        // A chip may be the one whose cross was just clicked.
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    for (const QString& app : apps) {
        auto* chip = new GroupAppChip(
            app, [this, app] { GroupEdits::removeApp(m_state, m_groupID, app); }, m_chipBox);
        m_chipLayout->addWidget(chip);
        chip->show();
    }
    m_chipBox->setVisible(!apps.isEmpty());
}

void GroupEditorRow::refresh()
{
    const auto group = GroupEdits::find(m_state, m_groupID);
    setVisible(group.has_value());
    if (!group)
        return;
    setTextKeepingCaret(m_name, group->name);
    if (m_enabled->isChecked() != group->enabled)
        m_enabled->setChecked(group->enabled);
    m_count->setText(
        QStringLiteral("%1 snippets").arg(GroupEdits::memberCount(m_state.snippets(), m_groupID)));
    setTextKeepingCaret(m_prefix, group->triggerPrefix);
    {
        const QSignalBlocker blocker(m_scope);
        // A scope this version does not understand is shown as no choice, never as "all".
        m_scope->setCurrentIndex(group->scopeUnderstood() ? m_scope->findData(int(group->appMode)) : -1);
    }
    const auto prefix = GroupEdits::prefixSentence(group->triggerPrefix);
    m_prefixSentence->setVisible(prefix.has_value());
    m_prefixSentence->setText(prefix.value_or(QString()));
    const auto scope = GroupEdits::scopeSentence(group->appMode);
    // The list stays stored while hidden under "Everywhere".
    m_appSection->setVisible(scope.has_value());
    m_scopeSentence->setText(scope.value_or(QString()));
    syncChips(group->appList);
}

GroupsManagerSheet::GroupsManagerSheet(AppState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    const QString title = QStringLiteral("Snippet groups");
    QVBoxLayout* stack = LibraryLook::sheetStack(this, title, sheetWidth);
    QWidget* sheet = stack->parentWidget();

    auto* header = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(LibraryLook::label(title, 16, Theme::textPrimary(), sheet, QFont::DemiBold));
    QLabel* subtitle =
        LibraryLook::label(QStringLiteral("Per-group settings: enable/disable, a trigger prefix, "
                                          "and app scoping. Deleting a group keeps its snippets."),
                           11.5, Theme::textSecondary(), sheet);
    subtitle->setWordWrap(true);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    m_addGroup = new PillButton(QStringLiteral("Add group"), QStringLiteral("plus"), true, sheet);
    header->addWidget(m_addGroup, 0, Qt::AlignTop);
    stack->addLayout(header);

    auto* emptyCard = new Card(28, sheet);
    emptyCard->contentLayout()->setSpacing(6);
    auto* symbol = new SymbolView(QStringLiteral("folder.badge.plus"), 22, Theme::textTertiary(), emptyCard);
    emptyCard->contentLayout()->addWidget(symbol, 0, Qt::AlignHCenter);
    emptyCard->contentLayout()->addWidget(LibraryLook::label(QStringLiteral("No groups yet"), 13,
                                                             Theme::textSecondary(), emptyCard,
                                                             QFont::Medium),
                                          0, Qt::AlignHCenter);
    emptyCard->contentLayout()->addWidget(
        LibraryLook::label(
            QStringLiteral("Groups let you scope snippets to apps and share a trigger prefix."), 11.5,
            Theme::textTertiary(), emptyCard),
        0, Qt::AlignHCenter);
    m_empty = emptyCard;
    stack->addWidget(m_empty);

    m_scroll = new QScrollArea(sheet);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_rowsBox = new QWidget;
    m_rowsBox->setAutoFillBackground(false);
    m_rowsLayout = new QVBoxLayout(m_rowsBox);
    m_rowsLayout->setContentsMargins(0, 0, 0, 4);
    m_rowsLayout->setSpacing(10);
    m_rowsLayout->addStretch();
    m_scroll->setWidget(m_rowsBox);
    stack->addWidget(m_scroll);

    auto* footer = new QHBoxLayout;
    footer->addStretch();
    m_done = new PillButton(QStringLiteral("Done"), {}, true, sheet);
    footer->addWidget(m_done);
    stack->addLayout(footer);

    connect(m_addGroup, &QAbstractButton::clicked, this, [this] { GroupEdits::addGroup(m_state); });
    connect(m_done, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(&m_state, &AppState::groupsChanged, this, &GroupsManagerSheet::syncRows);
    connect(&m_state, &AppState::snippetsChanged, this, [this] {
        for (GroupEditorRow* row : std::as_const(m_rows))
            row->refresh();
    });
    syncRows();
}

QList<GroupEditorRow*> GroupsManagerSheet::rows() const
{
    QList<GroupEditorRow*> list;
    for (int i = 0; i < m_rowsLayout->count(); ++i) {
        if (auto* row = qobject_cast<GroupEditorRow*>(m_rowsLayout->itemAt(i)->widget()))
            list.append(row);
    }
    return list;
}

void GroupsManagerSheet::syncRows()
{
    const QList<SnippetGroup>& groups = m_state.groups();
    QHash<QUuid, GroupEditorRow*> keep;
    QList<GroupEditorRow*> ordered;
    for (const SnippetGroup& g : groups) {
        if (keep.contains(g.id))
            continue; // one row per id, as the first group with it is the one edited
        GroupEditorRow* row = m_rows.take(g.id);
        if (!row)
            row = new GroupEditorRow(m_state, g.id, m_rowsBox);
        else
            row->refresh();
        keep.insert(g.id, row);
        ordered.append(row);
    }
    for (GroupEditorRow* gone : std::as_const(m_rows)) {
        gone->hide();
        gone->deleteLater();
    }
    m_rows = keep;
    // Re-seat in store order; moving a widget within its layout keeps its focus.
    while (m_rowsLayout->count() > 0)
        delete m_rowsLayout->takeAt(0);
    for (GroupEditorRow* row : ordered)
        m_rowsLayout->addWidget(row);
    m_rowsLayout->addStretch();

    m_empty->setVisible(groups.isEmpty());
    m_scroll->setVisible(!groups.isEmpty());
    updateListHeight();
}

void GroupsManagerSheet::updateListHeight()
{
    const int width = m_scroll->viewport()->width() > 0 ? m_scroll->viewport()->width() : sheetWidth - 48;
    m_rowsBox->layout()->activate();
    const int content =
        m_rowsBox->hasHeightForWidth() ? m_rowsBox->heightForWidth(width) : m_rowsBox->sizeHint().height();
    m_scroll->setFixedHeight(qMin(maxListHeight, qMax(0, content)));
}

void GroupsManagerSheet::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    updateListHeight();
}
