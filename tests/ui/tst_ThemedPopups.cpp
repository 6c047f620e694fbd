// The lists, menus and tooltips our windows open take the theme's colours, whatever colour
// scheme the desktop has and after it changes it. Each popup is opened as a user would, drawn
// offscreen and its pixels compared with the theme's.
#include "engine/FillInForm.h"
#include "library/GroupsManagerSheet.h"
#include "library/SnippetEditor.h"
#include "model/AppState.h"
#include "ui/PopupTheme.h"
#include "ui/Theme.h"
#include "ui/ThemedPicker.h"
#include "ui/ThemedTextField.h"

#include "TestHome.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

#include <memory>

namespace {

// The desktop's colour schemes the windows must not take: the style's own light one, and a
// dark one whose every colour differs from the theme's.
QPalette desktopScheme(const QString& name)
{
    if (name == QLatin1String("light"))
        return QApplication::style()->standardPalette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(60, 40, 80));
    dark.setColor(QPalette::WindowText, QColor(255, 255, 160));
    dark.setColor(QPalette::Base, QColor(70, 30, 50));
    dark.setColor(QPalette::AlternateBase, QColor(80, 35, 60));
    dark.setColor(QPalette::Text, QColor(255, 255, 160));
    dark.setColor(QPalette::Button, QColor(60, 60, 20));
    dark.setColor(QPalette::ButtonText, QColor(255, 255, 160));
    dark.setColor(QPalette::ToolTipBase, QColor(90, 20, 20));
    dark.setColor(QPalette::ToolTipText, QColor(255, 255, 160));
    dark.setColor(QPalette::Highlight, QColor(220, 120, 0));
    dark.setColor(QPalette::HighlightedText, QColor(0, 0, 0));
    return dark;
}

QColor over(const QColor& below, const QColor& top)
{
    const qreal a = top.alphaF();
    return QColor::fromRgbF(float(below.redF() * (1 - a) + top.redF() * a),
                            float(below.greenF() * (1 - a) + top.greenF() * a),
                            float(below.blueF() * (1 - a) + top.blueF() * a));
}

int distance(const QColor& a, const QColor& b)
{
    return qMax(qAbs(a.red() - b.red()), qMax(qAbs(a.green() - b.green()), qAbs(a.blue() - b.blue())));
}

// The colour most pixels of `area` have: a surface's fill, whatever text lies on it.
QColor dominant(const QImage& image, const QRect& area, const QRect& except = {})
{
    QHash<QRgb, int> counts;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (!except.contains(x, y))
                ++counts[image.pixel(x, y) | 0xff000000u];
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    return QColor(best);
}

// The ink of the text in `area`: of its pixels, the one farthest from the surface.
QColor ink(const QImage& image, const QRect& area, const QColor& surface)
{
    QColor farthest = surface;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c(image.pixel(x, y));
            if (distance(c, surface) > distance(farthest, surface))
                farthest = c;
        }
    return farthest;
}

QString describe(const QColor& c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// Styles shade surfaces a little (a menu's panel a few percent lighter than its base, an item
// view's selection as a soft gradient); text is anti-aliased. All of it stays far closer than
// any colour of the desktop schemes.
constexpr int surfaceTolerance = 12;
constexpr int selectionTolerance = 30;
constexpr int inkTolerance = 40;

#define COMPARE_COLOUR(actual, expected, tolerance)                                                          \
    QVERIFY2(distance(actual, expected) <= (tolerance),                                                      \
             qPrintable(QStringLiteral("%1 is %2, the theme's is %3")                                        \
                            .arg(QStringLiteral(#actual), describe(actual), describe(expected))))

// A popup's surface, text and selection against the popup colours. `selected` and `plain`
// are rectangles in the popup's coordinates: a highlighted entry and an enabled other one.
void checkPopup(QWidget* popup, const QRect& selected, const QRect& plain)
{
    const QImage image = popup->grab().toImage();
    const QColor surface = dominant(image, image.rect(), selected);
    COMPARE_COLOUR(surface, Theme::card(), surfaceTolerance);
    COMPARE_COLOUR(ink(image, plain, surface), over(surface, Theme::textPrimary()), inkTolerance);
    const QColor selection = dominant(image, selected);
    COMPARE_COLOUR(selection, Theme::accent(), selectionTolerance);
    COMPARE_COLOUR(ink(image, selected, selection), QColor(Qt::white), inkTolerance);
    // The hairline around it.
    const QColor edge(image.pixel(0, image.height() / 2));
    COMPARE_COLOUR(edge, over(Theme::card(), Theme::borderStrong()), surfaceTolerance);
}

// An open list: the current entry is the highlighted one.
void checkOpenList(QComboBox* picker)
{
    QVERIFY(picker->count() >= 2);
    picker->showPopup();
    QAbstractItemView* list = picker->view();
    QWidget* popup = list->window();
    QTRY_VERIFY(popup->isVisible());
    QVERIFY(popup != picker->window());
    const auto rowRect = [&](int row) {
        const QRect r = list->visualRect(list->model()->index(row, 0));
        return QRect(list->viewport()->mapTo(popup, r.topLeft()), r.size());
    };
    const int current = picker->currentIndex();
    checkPopup(popup, rowRect(current), rowRect(current == 0 ? 1 : 0));
    picker->hidePopup();
}

// The closed picker: its text on the field colour.
void checkField(QComboBox* picker)
{
    const QImage image = picker->grab().toImage();
    const QRect inside = image.rect().adjusted(3, 3, -3, -3);
    const QColor fill = dominant(image, inside);
    COMPARE_COLOUR(fill, Theme::field(), 2);
    COMPARE_COLOUR(ink(image, inside, fill), over(fill, Theme::textPrimary()), inkTolerance);
}

QMenu* openPopupMenu()
{
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

void checkMenu(QMenu* menu)
{
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QList<QAction*> enabled;
    for (QAction* action : menu->actions())
        if (action->isEnabled() && !action->isSeparator())
            enabled.append(action);
    QVERIFY(enabled.size() >= 2);
    menu->setActiveAction(enabled.first());
    checkPopup(menu, menu->actionGeometry(enabled.first()), menu->actionGeometry(enabled.at(1)));
}

void openContextMenu(QWidget* field)
{
    QWidget* target = field;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(field))
        target = area->viewport();
    const QPoint at(10, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
}

struct Scheme
{
    const char* label;
    QString scheme;    // the desktop's when the window is built
    QString changedTo; // the desktop's when the popup opens
};

const QList<Scheme>& schemes()
{
    static const QList<Scheme> all = {
        {"light desktop", QStringLiteral("light"), QStringLiteral("light")},
        {"dark desktop", QStringLiteral("dark"), QStringLiteral("dark")},
        {"light turned dark", QStringLiteral("light"), QStringLiteral("dark")},
        {"dark turned light", QStringLiteral("dark"), QStringLiteral("light")},
    };
    return all;
}

QByteArray rowName(const QString& what, const Scheme& scheme)
{
    return (what + QLatin1String(", ") + QLatin1String(scheme.label)).toUtf8();
}

SnippetGroup group(const QString& name)
{
    SnippetGroup g;
    g.name = name;
    return g;
}

} // namespace

class tst_ThemedPopups : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pickers_data();
    void pickers();
    void textFieldContextMenus_data();
    void textFieldContextMenus();
    void windowMenusAndTooltips_data();
    void windowMenusAndTooltips();
    void dialogsOverAWindow();
    void trayMenuKeepsTheDesktopLook();
    void groupsSheetPicture();

  private:
    void applyStartScheme();
    void applyLiveScheme();
    std::unique_ptr<QWidget> themedWindow();

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    QPalette m_original;
};

void tst_ThemedPopups::initTestCase()
{
    // As the application does at start.
    PopupTheme::install();
    m_original = QApplication::palette();
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
}

void tst_ThemedPopups::init()
{
    m_home = std::make_unique<TestHome>();
    m_state = std::make_unique<AppState>(m_home->storeOptions());
    m_state->setSnippets({});
    m_state->setGroups({group(QStringLiteral("Work")), group(QStringLiteral("Personal"))});
}

void tst_ThemedPopups::cleanup()
{
    QToolTip::hideText();
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    m_state.reset();
    m_home.reset();
    QApplication::setPalette(m_original);
}

void tst_ThemedPopups::applyStartScheme()
{
    QFETCH(QString, scheme);
    QApplication::setPalette(desktopScheme(scheme));
}

void tst_ThemedPopups::applyLiveScheme()
{
    QFETCH(QString, scheme);
    QFETCH(QString, changedTo);
    if (changedTo != scheme)
        QApplication::setPalette(desktopScheme(changedTo));
}

std::unique_ptr<QWidget> tst_ThemedPopups::themedWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setPalette(Theme::darkPalette(Theme::bg()));
    window->setAutoFillBackground(true);
    window->resize(400, 300);
    return window;
}

void tst_ThemedPopups::pickers_data()
{
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("changedTo");
    for (const QString picker : {"groups sheet APPS", "editor GROUP", "fill-in menu"})
        for (const Scheme& s : schemes())
            QTest::newRow(rowName(picker, s)) << picker << s.scheme << s.changedTo;
}

void tst_ThemedPopups::pickers()
{
    QFETCH(QString, picker);
    applyStartScheme();

    std::unique_ptr<QWidget> window;
    QComboBox* combo = nullptr;
    if (picker == QLatin1String("groups sheet APPS")) {
        auto sheet = std::make_unique<GroupsManagerSheet>(*m_state);
        sheet->show();
        QVERIFY(!sheet->rows().isEmpty());
        combo = sheet->rows().first()->scopePicker();
        window = std::move(sheet);
    } else if (picker == QLatin1String("editor GROUP")) {
        Snippet snippet;
        snippet.trigger = QStringLiteral(";sig");
        auto editor = std::make_unique<SnippetEditor>(*m_state, snippet, true);
        editor->show();
        combo = editor->groupPicker();
        QCOMPARE(combo->currentText(), QStringLiteral("None"));
        window = std::move(editor);
    } else {
        FillInController::Field field;
        field.label = QStringLiteral("Size");
        field.options = {QStringLiteral("Small"), QStringLiteral("Medium"), QStringLiteral("Large")};
        auto form = std::make_unique<FillInForm>(QList<FillInController::Field>{field});
        form->show();
        combo = qobject_cast<QComboBox*>(form->editorFor(QStringLiteral("Size")));
        window = std::move(form);
    }
    QVERIFY(combo);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    applyLiveScheme();

    checkField(combo);
    checkOpenList(combo);
    if (QTest::currentTestFailed())
        return;
    // A second opening after the scheme changed again looks the same.
    QApplication::setPalette(desktopScheme(QStringLiteral("light")));
    checkOpenList(combo);
}

void tst_ThemedPopups::textFieldContextMenus_data()
{
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("changedTo");
    for (const bool multiLine : {false, true})
        for (const Scheme& s : schemes())
            QTest::newRow(rowName(multiLine ? "editor's content" : "editor's trigger", s))
                << multiLine << s.scheme << s.changedTo;
}

void tst_ThemedPopups::textFieldContextMenus()
{
    QFETCH(bool, multiLine);
    applyStartScheme();
    Snippet snippet;
    snippet.trigger = QStringLiteral(";sig");
    snippet.content = QStringLiteral("Best regards");
    SnippetEditor editor(*m_state, snippet, false);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    applyLiveScheme();

    QWidget* field = multiLine ? static_cast<QWidget*>(editor.contentEditor()) : editor.triggerField();
    field->setFocus();
    // With the text selected, so that most of the menu's entries are enabled.
    if (multiLine)
        editor.contentEditor()->selectAll();
    else
        editor.triggerField()->selectAll();
    openContextMenu(field);
    checkMenu(openPopupMenu());
}

void tst_ThemedPopups::windowMenusAndTooltips_data()
{
    QTest::addColumn<QString>("popup");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("changedTo");
    for (const QString popup : {"menu bar menu", "completion list", "tooltip"})
        for (const Scheme& s : schemes())
            QTest::newRow(rowName(popup, s)) << popup << s.scheme << s.changedTo;
}

void tst_ThemedPopups::windowMenusAndTooltips()
{
    QFETCH(QString, popup);
    applyStartScheme();
    std::unique_ptr<QWidget> window = themedWindow();
    auto* stack = new QVBoxLayout(window.get());
    auto* bar = new QMenuBar(window.get());
    stack->setMenuBar(bar);
    QMenu* menu = bar->addMenu(QStringLiteral("Quenvil"));
    menu->addAction(QStringLiteral("Open Settings…"));
    menu->addAction(QStringLiteral("Quit Quenvil"));
    auto* field = new ThemedTextField(QStringLiteral("firefox"), true, window.get());
    stack->addWidget(field);
    auto* completer =
        new QCompleter(QStringList{QStringLiteral("firefox"), QStringLiteral("firefox-esr")}, field);
    field->setCompleter(completer);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    applyLiveScheme();

    if (popup == QLatin1String("menu bar menu")) {
        menu->popup(window->mapToGlobal(QPoint(0, 0)));
        checkMenu(menu);
    } else if (popup == QLatin1String("completion list")) {
        field->setFocus();
        completer->complete();
        QAbstractItemView* list = completer->popup();
        QTRY_VERIFY(list->isVisible());
        list->setCurrentIndex(list->model()->index(0, 0));
        const auto rowRect = [&](int row) {
            const QRect r = list->visualRect(list->model()->index(row, 0));
            return QRect(list->viewport()->mapTo(list->window(), r.topLeft()), r.size());
        };
        checkPopup(list->window(), rowRect(0), rowRect(1));
    } else {
        QToolTip::showText(field->mapToGlobal(QPoint(4, 4)), QStringLiteral("Learned from your typing"),
                           field);
        QWidget* tip = nullptr;
        QTRY_VERIFY((tip = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->windowType() == Qt::ToolTip && w->isVisible())
                    return w;
            return static_cast<QWidget*>(nullptr);
        }()));
        const QImage image = tip->grab().toImage();
        const QColor surface = dominant(image, image.rect());
        COMPARE_COLOUR(surface, Theme::card(), surfaceTolerance);
        COMPARE_COLOUR(ink(image, image.rect().adjusted(1, 1, -1, -1), surface),
                       over(surface, Theme::textPrimary()), inkTolerance);
        COMPARE_COLOUR(QColor(image.pixel(0, image.height() / 2)), over(Theme::card(), Theme::borderStrong()),
                       surfaceTolerance);
    }
}

void tst_ThemedPopups::dialogsOverAWindow()
{
    QApplication::setPalette(desktopScheme(QStringLiteral("light")));
    std::unique_ptr<QWidget> window = themedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quenvil"),
                    QStringLiteral("Could not read the file."), QMessageBox::Ok, window.get());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QImage image = box.grab().toImage();
    COMPARE_COLOUR(dominant(image, image.rect()), Theme::sidebar(), 2);
    box.close();
    // Qt's own file dialog, its pickers' lists included.
    QFileDialog files(window.get(), QStringLiteral("Import Snippets"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setNameFilters({QStringLiteral("Snippet files (*.json *.csv)"), QStringLiteral("All files (*)")});
    files.show();
    QVERIFY(QTest::qWaitForWindowExposed(&files));
    QCOMPARE(files.palette().color(QPalette::Window), Theme::sidebar());
    auto* types = files.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    checkOpenList(types);
    files.close();
    // A sheet of ours keeps the background it chose.
    GroupsManagerSheet sheet(*m_state, window.get());
    sheet.show();
    QCOMPARE(sheet.palette().color(QPalette::Window), Theme::sidebar());
}

void tst_ThemedPopups::trayMenuKeepsTheDesktopLook()
{
    // The tray icon's menu belongs to no window: the desktop draws it in its own scheme, and
    // its submenus with it.
    QApplication::setPalette(desktopScheme(QStringLiteral("light")));
    QMenu tray;
    tray.addAction(QStringLiteral("Pause for 15 Minutes"));
    QMenu* sub = tray.addMenu(QStringLiteral("Recent"));
    sub->addAction(QStringLiteral(";sig"));
    tray.popup(QPoint(20, 20));
    QTRY_VERIFY(tray.isVisible());
    sub->popup(QPoint(200, 20));
    QTRY_VERIFY(sub->isVisible());
    const QColor desktopWindow = desktopScheme(QStringLiteral("light")).color(QPalette::Window);
    QCOMPARE(tray.palette().color(QPalette::Window), desktopWindow);
    QCOMPARE(sub->palette().color(QPalette::Window), desktopWindow);
    sub->close();
    tray.close();
}

void tst_ThemedPopups::groupsSheetPicture()
{
    // For review: the dark groups sheet with its APPS list open, as the user sees it.
    QApplication::setPalette(desktopScheme(QStringLiteral("light")));
    GroupsManagerSheet sheet(*m_state);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QComboBox* picker = sheet.rows().first()->scopePicker();
    picker->showPopup();
    QWidget* popup = picker->view()->window();
    QTRY_VERIFY(popup->isVisible());
    QImage shot = sheet.grab().toImage();
    {
        QPainter painter(&shot);
        painter.drawPixmap(popup->mapToGlobal(QPoint(0, 0)) - sheet.mapToGlobal(QPoint(0, 0)), popup->grab());
    }
    picker->hidePopup();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("groups-sheet-apps-list.png");
    QVERIFY(shot.save(path));
    qInfo("Picture written to %s", qPrintable(path));
}

QTEST_MAIN(tst_ThemedPopups)
#include "tst_ThemedPopups.moc"
