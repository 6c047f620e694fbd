#include "LayoutCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextDocument>
#include <QTextEdit>
#include <QtMath>

namespace LayoutCheck {

namespace {

// Fractional text widths are measured exactly; half a pixel is what antialiasing hides.
constexpr qreal textSlack = 0.5;
constexpr int heightSlack = 1;

bool isQtInternal(const QWidget* w)
{
    return w->objectName().startsWith(QLatin1String("qt_"));
}

// Widgets whose children are their own parts, laid out by Qt: not looked into.
bool isCompound(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QScrollBar*>(w);
}

QList<QWidget*> visibleChildren(const QWidget* w)
{
    QList<QWidget*> out;
    for (QObject* o : w->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (child && !child->isWindow() && child->isVisible() && !child->size().isEmpty())
            out.append(child);
    }
    return out;
}

QString shortText(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (text.size() > 40)
        text = text.left(39) + QChar(0x2026);
    return text;
}

QString ownText(const QWidget* w)
{
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->placeholderText().isEmpty() ? e->text() : e->placeholderText();
    if (const auto* c = qobject_cast<const QComboBox*>(w))
        return c->accessibleName().isEmpty() ? c->currentText() : c->accessibleName();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        const QVariant title = b->property("title");
        return title.isValid() ? title.toString() : b->text();
    }
    return w->accessibleName();
}

// The text a control shows and has to fit: a button's title, which custom buttons keep in a
// property of their own.
QString buttonTitle(const QAbstractButton* b)
{
    const QVariant title = b->property("title");
    return title.isValid() ? title.toString() : b->text();
}

bool isRichText(const QLabel* label)
{
    return label->textFormat() == Qt::RichText ||
           (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())) ||
           label->textFormat() == Qt::MarkdownText;
}

// Whether the user can bring every part of the viewport's content into view along this axis.
bool canScroll(const QAbstractScrollArea* area, Qt::Orientation axis)
{
    const Qt::ScrollBarPolicy own =
        axis == Qt::Horizontal ? area->horizontalScrollBarPolicy() : area->verticalScrollBarPolicy();
    const Qt::ScrollBarPolicy other =
        axis == Qt::Horizontal ? area->verticalScrollBarPolicy() : area->horizontalScrollBarPolicy();
    const QScrollBar* bar = axis == Qt::Horizontal ? area->horizontalScrollBar() : area->verticalScrollBar();
    if (own != Qt::ScrollBarAlwaysOff)
        return bar->maximum() > bar->minimum() || bar->isVisible();
    // A scroller without indicators (both bars off) still scrolls with the wheel; with only
    // this axis off, the wheel scrolls the other one and this one cannot be reached.
    return other == Qt::ScrollBarAlwaysOff && bar->maximum() > bar->minimum();
}

// Is `w` one the clipping check looks at: a control, or a leaf a person would see.
bool isControl(const QWidget* w)
{
    if (qobject_cast<const QScrollBar*>(w) || isQtInternal(w))
        return false;
    if (qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) || isCompound(w))
        return true;
    return visibleChildren(w).isEmpty();
}

class Checker
{
  public:
    Checker(QWidget* root, const Options& options) : m_root(root), m_options(options) {}

    QStringList run()
    {
        if (!m_root->isVisible())
            m_problems.append(describe(m_root) + QStringLiteral(" is not shown"));
        else
            walk(m_root);
        for (auto it = m_clipped.cbegin(); it != m_clipped.cend(); ++it)
            m_problems.append(it.value().join(QStringLiteral(", ")) + QStringLiteral(" cut off by ") +
                              it.key());
        return m_problems;
    }

  private:
    void walk(QWidget* w)
    {
        if (w != m_root && isControl(w))
            checkClipping(w);
        if (auto* label = qobject_cast<QLabel*>(w))
            checkLabel(label);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            checkButton(button);
        else if (visibleChildren(w).isEmpty() && !isCompound(w))
            checkSqueezed(w);
        if (auto* picker = qobject_cast<QComboBox*>(w))
            checkPicker(picker);
        if (auto* field = qobject_cast<QLineEdit*>(w)) {
            if (!qobject_cast<QComboBox*>(w->parentWidget()) &&
                !qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
                checkFieldWidth(w, field->isReadOnly());
        } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
            checkFieldWidth(w, edit->isReadOnly());
        } else if (auto* edit = qobject_cast<QTextEdit*>(w)) {
            checkFieldWidth(w, edit->isReadOnly());
        }
        if (isCompound(w))
            return;
        const QList<QWidget*> children = visibleChildren(w);
        if (!qobject_cast<QAbstractScrollArea*>(w) && !qobject_cast<QStackedWidget*>(w))
            checkOverlaps(children);
        for (QWidget* child : children)
            walk(child);
    }

    void checkOverlaps(const QList<QWidget*>& children)
    {
        for (int i = 0; i < children.size(); ++i) {
            if (isQtInternal(children.at(i)))
                continue;
            for (int j = i + 1; j < children.size(); ++j) {
                if (isQtInternal(children.at(j)))
                    continue;
                const QRect overlap = children.at(i)->geometry().intersected(children.at(j)->geometry());
                if (!overlap.isEmpty())
                    m_problems.append(QStringLiteral("%1 and %2 overlap by %3×%4 px")
                                          .arg(describe(children.at(i)), describe(children.at(j)))
                                          .arg(overlap.width())
                                          .arg(overlap.height()));
            }
        }
    }

    void checkClipping(QWidget* w)
    {
        QRect r = w->geometry();
        for (QWidget* a = w->parentWidget(); a; a = a->parentWidget()) {
            const QRect box = a->rect();
            const bool outX = r.left() < box.left() || r.right() > box.right();
            const bool outY = r.top() < box.top() || r.bottom() > box.bottom();
            if (outX || outY) {
                const auto* area = qobject_cast<const QAbstractScrollArea*>(a->parentWidget());
                const bool viewport = area && area->viewport() == a;
                const bool fine = viewport && (!outX || canScroll(area, Qt::Horizontal)) &&
                                  (!outY || canScroll(area, Qt::Vertical));
                if (!fine) {
                    m_clipped[describe(viewport ? a->parentWidget() : a)].append(describe(w));
                    return;
                }
            }
            r = r.intersected(box);
            if (r.isEmpty() || a == m_root || a->isWindow())
                return;
            r.translate(a->pos());
        }
    }

    void checkLabel(QLabel* label)
    {
        const QString text = label->text();
        if (text.isEmpty() || label->pixmap().cacheKey() != 0)
            return;
        const QString tip = label->toolTip();
        const QString shown = text.endsWith(QChar(0x2026)) ? text.chopped(1).trimmed() : QString();
        if (!shown.isNull() && !tip.isEmpty() && tip != text && tip.startsWith(shown) &&
            !m_options.mayElide.contains(label->objectName()))
            m_problems.append(describe(label) +
                              QStringLiteral(" is elided where the text should show whole"));

        const int m = label->margin();
        const QRect box = label->contentsRect().adjusted(m, m, -m, -m);
        if (isRichText(label)) {
            const bool cut = label->wordWrap()
                                 ? label->heightForWidth(label->width()) > label->height() + heightSlack
                                 : label->sizeHint().width() > label->width() + 1 ||
                                       label->sizeHint().height() > label->height() + heightSlack;
            if (cut)
                m_problems.append(describe(label) + QStringLiteral(" is cut off"));
            return;
        }
        const QFontMetricsF fm(label->font());
        int flags = Qt::AlignLeft | Qt::AlignTop;
        if (label->wordWrap())
            flags |= Qt::TextWordWrap;
        const QRectF need =
            fm.boundingRect(QRectF(0, 0, label->wordWrap() ? box.width() : 1e6, 1e6), flags, text);
        if (need.width() > box.width() + textSlack)
            m_problems.append(QStringLiteral("%1 is cut off: needs %2 px width, has %3")
                                  .arg(describe(label))
                                  .arg(qCeil(need.width()))
                                  .arg(box.width()));
        // A wrapped label's height for its width counts its own margins and padding.
        const int needHeight =
            label->wordWrap() ? label->heightForWidth(label->width()) : qCeil(need.height());
        const int hasHeight = label->wordWrap() ? label->height() : box.height();
        if (needHeight > hasHeight + heightSlack)
            m_problems.append(QStringLiteral("%1 is cut off: needs %2 px height, has %3")
                                  .arg(describe(label))
                                  .arg(needHeight)
                                  .arg(hasHeight));
    }

    void checkButton(QAbstractButton* button)
    {
        if (buttonTitle(button).isEmpty())
            return;
        checkSqueezed(button);
    }

    // A control smaller than the least its own content needs (its minimum size hint) shows
    // that content cut.
    void checkSqueezed(QWidget* w)
    {
        const QSize least = w->minimumSizeHint();
        if (!least.isValid() || isQtInternal(w))
            return;
        const QSizePolicy policy = w->sizePolicy();
        const bool narrow = policy.horizontalPolicy() != QSizePolicy::Ignored && w->minimumWidth() == 0 &&
                            w->width() < least.width();
        const bool low = policy.verticalPolicy() != QSizePolicy::Ignored && w->minimumHeight() == 0 &&
                         !w->hasHeightForWidth() && w->height() < least.height();
        if (narrow || low)
            m_problems.append(QStringLiteral("%1 is squeezed to %2×%3 px, needs %4×%5")
                                  .arg(describe(w))
                                  .arg(w->width())
                                  .arg(w->height())
                                  .arg(least.width())
                                  .arg(least.height()));
    }

    // A picker shows its current choice whole: a cut name reads as another choice.
    void checkPicker(QComboBox* picker)
    {
        if (picker->isEditable() || picker->currentText().isEmpty())
            return;
        QStyleOptionComboBox option;
        option.initFrom(picker);
        option.editable = false;
        option.currentText = picker->currentText();
        // Our themed picker draws its choice in a rectangle of its own, not the style's.
        const QVariant own = picker->property("textRect");
        const QRect field = own.isValid() ? own.toRect()
                                          : picker->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                                            QStyle::SC_ComboBoxEditField, picker);
        const qreal need = QFontMetricsF(picker->font()).horizontalAdvance(picker->currentText());
        // A picker the design elides draws its choice cut with an ellipsis and holds it whole
        // in its tooltip.
        const bool elides =
            m_options.mayElide.contains(picker->objectName()) && picker->toolTip() == picker->currentText();
        if (need > field.width() + textSlack && !elides)
            m_problems.append(QStringLiteral("%1 shows its choice cut off: needs %2 px width, has %3")
                                  .arg(describe(picker))
                                  .arg(qCeil(need))
                                  .arg(field.width()));
    }

    void checkFieldWidth(QWidget* field, bool readOnly)
    {
        if (readOnly)
            return;
        const int wanted = qMin(m_options.fieldWidths.value(field->objectName(), m_options.minimumFieldWidth),
                                field->maximumWidth());
        if (field->width() < wanted)
            m_problems.append(QStringLiteral("%1 is %2 px wide, narrower than a usable %3")
                                  .arg(describe(field))
                                  .arg(field->width())
                                  .arg(wanted));
    }

    QWidget* m_root;
    const Options& m_options;
    QStringList m_problems;
    QMap<QString, QStringList> m_clipped;
};

} // namespace

QString describe(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    if (!widget->objectName().isEmpty() && !isQtInternal(widget))
        return widget->objectName();
    QString name = QString::fromLatin1(widget->metaObject()->className());
    const QString text = shortText(ownText(widget));
    if (!text.isEmpty())
        name += QStringLiteral(" \"%1\"").arg(text);
    for (const QWidget* a = widget->parentWidget(); a; a = a->parentWidget()) {
        if (!a->objectName().isEmpty() && !isQtInternal(a))
            return name + QStringLiteral(" in ") + a->objectName();
        if (a->isWindow())
            return name + QStringLiteral(" in ") + QString::fromLatin1(a->metaObject()->className());
    }
    return name;
}

QStringList problems(QWidget* root, const Options& options)
{
    return Checker(root, options).run();
}

void savePicture(QWidget* root, const QString& name)
{
    const QPixmap shot = root->grab();
    QString file = name;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]+"));
    file.replace(unsafe, QStringLiteral("-"));
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(file + QStringLiteral(".png"));
    if (!shot.isNull() && shot.save(path))
        qInfo("Picture written to %s", qPrintable(path));
    else
        qWarning("Could not write %s", qPrintable(path));
}

void addSizeAndTextRows()
{
    QTest::addColumn<bool>("smallest");
    QTest::addColumn<bool>("longTexts");
    QTest::newRow("usual") << false << false;
    QTest::newRow("smallest") << true << false;
    QTest::newRow("usual, long texts") << false << true;
    QTest::newRow("smallest, long texts") << true << true;
}

} // namespace LayoutCheck
