#include "library/SnippetsView.h"

#include "library/FileDialogChooser.h"
#include "library/GroupFilterChip.h"
#include "library/GroupsManagerSheet.h"
#include "library/LibraryLook.h"
#include "library/SnippetEditor.h"
#include "library/SnippetFilter.h"
#include "library/SnippetImportExport.h"
#include "library/SnippetListModel.h"
#include "library/SnippetListView.h"
#include "library/SnippetRowLogic.h"
#include "library/TransientStatus.h"
#include "model/AppState.h"
#include "ui/Card.h"
#include "ui/PillButton.h"
#include "ui/SectionHeader.h"
#include "ui/Theme.h"
#include "ui/ThemedTextField.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

SnippetsView::SnippetsView(AppState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    // The shell paints the background; the palette makes standard widgets (scroll bars) dark.
    setPalette(Theme::darkPalette(Theme::bg()));
    m_model = new SnippetListModel(state, this);
    m_status = new TransientStatus(5000, this);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(32, 32, 32, 32);
    page->setSpacing(18);

    // Header and actions.
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* title =
        new SectionHeader(QStringLiteral("Snippets"),
                          QStringLiteral("Abbreviations that expand into full text as you type. Snippets "
                                         "work everywhere, including terminals."),
                          this);
    header->addWidget(title, 1, Qt::AlignTop);
    m_groupsButton = new PillButton(QStringLiteral("Groups…"), QStringLiteral("folder"), false, this);
    m_importButton =
        new PillButton(QStringLiteral("Import"), QStringLiteral("square.and.arrow.down"), false, this);
    m_exportButton =
        new PillButton(QStringLiteral("Export"), QStringLiteral("square.and.arrow.up"), false, this);
    m_newButton = new PillButton(QStringLiteral("New snippet"), QStringLiteral("plus"), true, this);
    for (PillButton* b : {m_groupsButton, m_importButton, m_exportButton, m_newButton})
        header->addWidget(b, 0, Qt::AlignTop);
    page->addLayout(header);
    connect(m_groupsButton, &QAbstractButton::clicked, this, &SnippetsView::openGroups);
    connect(m_importButton, &QAbstractButton::clicked, this, &SnippetsView::importSnippets);
    connect(m_exportButton, &QAbstractButton::clicked, this, &SnippetsView::exportSnippets);
    connect(m_newButton, &QAbstractButton::clicked, this, &SnippetsView::openNewSnippet);

    // Search and status.
    // The field keeps its full width where the page allows and never less than a usable one;
    // the message takes what is left and wraps, so a long one never squeezes the field. The
    // field's far larger stretch fills it to its maximum before the message gets the rest.
    auto* searchRow = new QHBoxLayout;
    searchRow->setSpacing(12);
    m_search = new ThemedTextField(QStringLiteral("Search snippets…"), false, this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setAccessibleName(QStringLiteral("Search snippets…"));
    m_search->setMinimumWidth(searchMinimumWidth);
    m_search->setMaximumWidth(searchMaximumWidth);
    searchRow->addWidget(m_search, 100);
    m_statusLabel = LibraryLook::label({}, 11.5, Theme::textTertiary(), this);
    m_statusLabel->setObjectName(QStringLiteral("transferStatus"));
    m_statusLabel->setWordWrap(true);
    m_statusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_statusLabel->hide();
    searchRow->addWidget(m_statusLabel, 1);
    page->addLayout(searchRow);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model->setSearch(text);
        updateEmptyState();
    });
    connect(m_status, &TransientStatus::changed, this, &SnippetsView::updateStatus);

    // Group filter.
    m_chipScroll = new QScrollArea(this);
    m_chipScroll->setFrameShape(QFrame::NoFrame);
    m_chipScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_chipScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_chipScroll->setWidgetResizable(true);
    m_chipScroll->viewport()->setAutoFillBackground(false);
    auto* chipBox = new QWidget;
    chipBox->setAutoFillBackground(false);
    m_chipLayout = new QHBoxLayout(chipBox);
    m_chipLayout->setContentsMargins(0, 0, 0, 0);
    m_chipLayout->setSpacing(6);
    m_chipLayout->addStretch();
    m_chipScroll->setWidget(chipBox);
    page->addWidget(m_chipScroll);

    // The list, or its empty state.
    m_list = new SnippetListView(*m_model, this);
    page->addWidget(m_list, 1);
    m_empty = new Card(32, this);
    m_empty->contentLayout()->setSpacing(8);
    m_empty->contentLayout()->addWidget(
        new SymbolView(QStringLiteral("text.badge.plus"), 26, Theme::textTertiary(), m_empty), 0,
        Qt::AlignHCenter);
    m_emptyTitle = LibraryLook::label({}, 13, Theme::textSecondary(), m_empty, QFont::Medium);
    m_empty->contentLayout()->addWidget(m_emptyTitle, 0, Qt::AlignHCenter);
    m_emptyHint = LibraryLook::label(QStringLiteral("Create one — try “;sig” for your signature."), 12,
                                     Theme::textTertiary(), m_empty);
    m_empty->contentLayout()->addWidget(m_emptyHint, 0, Qt::AlignHCenter);
    page->addWidget(m_empty);
    page->addStretch(0);

    connect(m_list, &SnippetListView::editRequested, this, [this](const QUuid& id) { openEditor(id); });
    connect(m_list, &SnippetListView::enabledToggled, this,
            [this](const QUuid& id, bool on) { SnippetRowLogic::setEnabled(m_state, id, on); });
    connect(m_list, &SnippetListView::duplicateRequested, this, [this](const QUuid& id) {
        for (const Snippet& s : m_state.snippets()) {
            if (s.id == id) {
                SnippetRowLogic::duplicate(m_state, s);
                return;
            }
        }
    });
    connect(m_list, &SnippetListView::deleteRequested, this,
            [this](const QUuid& id) { SnippetRowLogic::remove(m_state, id); });

    connect(&m_state, &AppState::snippetsChanged, this, [this] {
        updateChips();
        updateEmptyState();
    });
    connect(&m_state, &AppState::groupsChanged, this, [this] {
        updateChips();
        updateEmptyState();
    });
    connect(&m_state, &AppState::editSnippetIDChanged, this, &SnippetsView::handleEditRequest);

    updateChips();
    updateEmptyState();
    updateStatus();
}

SnippetsView::~SnippetsView()
{
    // Sheets belong to the window, not the page: take them along.
    delete m_editor.data();
    delete m_groupsSheet.data();
}

SnippetEditor* SnippetsView::editor() const
{
    return m_editor;
}

GroupsManagerSheet* SnippetsView::groupsSheet() const
{
    return m_groupsSheet;
}

void SnippetsView::importSnippets()
{
    FileDialogChooser dialogs;
    SnippetImportExport transfer(m_state, m_fileChooser ? *m_fileChooser : dialogs);
    if (const std::optional<QString> status = transfer.importSnippets(window()))
        showStatus(*status);
}

void SnippetsView::exportSnippets()
{
    FileDialogChooser dialogs;
    SnippetImportExport transfer(m_state, m_fileChooser ? *m_fileChooser : dialogs);
    if (const std::optional<QString> status = transfer.exportSnippets(window()))
        showStatus(*status);
}

void SnippetsView::showStatus(const QString& text)
{
    m_status->show(text);
}

std::optional<QString> SnippetsView::transferStatus() const
{
    return m_status->text();
}

void SnippetsView::setStatusDuration(int ms)
{
    delete m_status;
    m_status = new TransientStatus(ms, this);
    connect(m_status, &TransientStatus::changed, this, &SnippetsView::updateStatus);
    updateStatus();
}

void SnippetsView::updateStatus()
{
    const auto text = m_status->text();
    m_statusLabel->setText(text.value_or(QString()));
    m_statusLabel->setVisible(text.has_value());
}

std::optional<QUuid> SnippetsView::filterGroupID() const
{
    return m_model->filterGroupID();
}

void SnippetsView::setFilterGroupID(const std::optional<QUuid>& id)
{
    m_model->setFilterGroupID(id);
    updateChips();
    updateEmptyState();
}

QString SnippetsView::search() const
{
    return m_model->search();
}

void SnippetsView::updateChips()
{
    const QList<SnippetGroup>& groups = m_state.groups();
    m_chipScroll->setVisible(!groups.isEmpty());
    const QList<GroupChipInfo> infos = groupFilterChips(m_state.snippets(), groups, m_model->filterGroupID());
    QList<std::optional<QUuid>> ids;
    for (const GroupChipInfo& info : infos)
        ids.append(info.groupID);
    if (ids != m_chipIds) {
        // Different groups: build the row again. Same groups: update the chips in place.
        for (GroupFilterChip* chip : std::as_const(m_chips)) {
            chip->hide();
            chip->deleteLater();
        }
        m_chips.clear();
        QWidget* box = m_chipScroll->widget();
        for (int i = 0; i < infos.size(); ++i) {
            auto* chip = new GroupFilterChip(infos.at(i).label, false, false, box);
            const std::optional<QUuid> id = infos.at(i).groupID;
            connect(chip, &QAbstractButton::clicked, this, [this, id] {
                // Clicking the selected chip keeps it selected and changes nothing.
                if (m_model->filterGroupID() != id)
                    setFilterGroupID(id);
            });
            m_chipLayout->insertWidget(i, chip);
            m_chips.append(chip);
        }
        m_chipIds = ids;
    }
    for (int i = 0; i < infos.size(); ++i) {
        m_chips.at(i)->setLabel(infos.at(i).label);
        m_chips.at(i)->setSelected(infos.at(i).selected);
        m_chips.at(i)->setDimmed(infos.at(i).dimmed);
    }
    m_chipScroll->setFixedHeight(m_chips.isEmpty() ? 0 : m_chips.first()->sizeHint().height());
}

void SnippetsView::updateEmptyState()
{
    const bool empty = m_model->rowCount() == 0;
    m_list->setVisible(!empty);
    m_empty->setVisible(empty);
    const bool searching = !m_model->search().isEmpty();
    // The title looks at the search alone: a list emptied by the group filter still invites a first snippet.
    m_emptyTitle->setText(searching ? QStringLiteral("No matches") : QStringLiteral("No snippets yet"));
    m_emptyHint->setVisible(!searching);
}

bool SnippetsView::openEditor(const QUuid& id)
{
    for (const Snippet& s : m_state.snippets()) {
        if (s.id == id) {
            openEditorFor(s, false);
            return true;
        }
    }
    return false;
}

void SnippetsView::openNewSnippet()
{
    openEditorFor(SnippetEditorLogic::blankSnippet(), true);
}

void SnippetsView::openEditorFor(const Snippet& snippet, bool isNew)
{
    if (m_editor || m_groupsSheet)
        return;
    m_editor = new SnippetEditor(m_state, snippet, isNew, window());
    m_editor->setWindowModality(Qt::WindowModal);
    connect(m_editor, &QDialog::finished, this, &SnippetsView::sheetClosed);
    m_editor->open();
}

void SnippetsView::openGroups()
{
    if (m_editor || m_groupsSheet)
        return;
    m_groupsSheet = new GroupsManagerSheet(m_state, window());
    m_groupsSheet->setWindowModality(Qt::WindowModal);
    connect(m_groupsSheet, &QDialog::finished, this, &SnippetsView::sheetClosed);
    m_groupsSheet->open();
}

void SnippetsView::sheetClosed()
{
    // Closed from its own button: delete it once that click is over.
    if (QObject* sheet = sender())
        sheet->deleteLater();
    m_editor = nullptr;
    m_groupsSheet = nullptr;
    // A request that came while the sheet was open is answered now.
    handleEditRequest();
}

void SnippetsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    handleEditRequest();
}

void SnippetsView::handleEditRequest()
{
    // Only while the tab is on screen, and never over an open sheet: a working copy is not
    // replaced, and the request stays until an editor really opens for it.
    if (!isVisible() || m_editor || m_groupsSheet)
        return;
    const std::optional<QUuid> id = m_state.editSnippetID();
    if (!id)
        return;
    if (!openEditor(*id))
        return;
    m_state.setEditSnippetID(std::nullopt);
}
