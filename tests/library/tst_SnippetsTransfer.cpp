// The Snippets tab's Import and Export buttons: the dialogs' answers reach the store and
// every outcome reaches the tab's status line; a cancelled dialog shows nothing.
#include "library/SnippetImport.h"
#include "library/SnippetsView.h"

#include "model/AppState.h"
#include "ui/PillButton.h"

#include "FakeFileChooser.h"
#include "TestHome.h"

#include <QLabel>
#include <QTest>

#include <memory>

class tst_SnippetsTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void importAndExportButtons();
    void failuresShowInTheStatusLine();

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
};

void tst_SnippetsTransfer::init()
{
    m_home = std::make_unique<TestHome>();
    m_state = std::make_unique<AppState>(m_home->storeOptions());
    m_state->setSnippets({});
}

void tst_SnippetsTransfer::cleanup()
{
    m_state.reset();
    m_home.reset();
}

void tst_SnippetsTransfer::importAndExportButtons()
{
    SnippetsView view(*m_state);
    FakeFileChooser chooser;
    view.setFileChooser(&chooser);

    // Cancelled: no message.
    view.importButton()->click();
    view.exportButton()->click();
    QCOMPARE(chooser.openCalls, 1);
    QCOMPARE(chooser.saveCalls, 1);
    QCOMPARE(view.transferStatus(), std::nullopt);

    chooser.openAnswer = m_home->root() + QStringLiteral("/mine.csv");
    TestHome::writeFile(chooser.openAnswer, "sig,Best\nomw,On my way\n");
    view.importButton()->click();
    QCOMPARE(view.statusLabel()->text(), QStringLiteral("Imported 2 snippets."));
    QCOMPARE(m_state->snippets().size(), 2);

    chooser.saveAnswer = m_home->root() + QStringLiteral("/Quenvil Snippets.json");
    view.exportButton()->click();
    QCOMPARE(chooser.lastProposedName, QStringLiteral("Quenvil Snippets.json"));
    QCOMPARE(view.statusLabel()->text(), QStringLiteral("Exported 2 snippets."));

    chooser.openAnswer = chooser.saveAnswer;
    view.importButton()->click();
    QCOMPARE(view.statusLabel()->text(), QStringLiteral("Imported 0 snippets, skipped 2 duplicates."));
}

void tst_SnippetsTransfer::failuresShowInTheStatusLine()
{
    SnippetsView view(*m_state);
    FakeFileChooser chooser;
    view.setFileChooser(&chooser);

    chooser.openAnswer = m_home->root() + QStringLiteral("/broken.json");
    TestHome::writeFile(chooser.openAnswer, "[{\"trigger\":\"a\"}]");
    view.importButton()->click();
    QCOMPARE(view.transferStatus(),
             std::optional<QString>(SnippetImport::description(SnippetImport::ImportError::unrecognized)));

    chooser.openAnswer = m_home->root() + QStringLiteral("/missing.csv");
    view.importButton()->click();
    QCOMPARE(view.transferStatus(), std::optional<QString>(QStringLiteral("Couldn’t read that file.")));

    chooser.saveAnswer = m_home->root() + QStringLiteral("/no/folder/out.json");
    view.exportButton()->click();
    QVERIFY(view.transferStatus().value_or(QString()).startsWith(QStringLiteral("Export failed: ")));
    QVERIFY(m_state->snippets().isEmpty());
}

QTEST_MAIN(tst_SnippetsTransfer)
#include "tst_SnippetsTransfer.moc"
