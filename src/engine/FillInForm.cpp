#include "engine/FillInForm.h"

#include "model/Text.h"
#include "ui/PillButton.h"
#include "ui/Theme.h"
#include "ui/ThemedLabel.h"
#include "ui/TextFit.h"
#include "ui/ThemedTextField.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QVBoxLayout>

namespace {

QString cssColor(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

// A menu button in the field colours, with its own small chevron: a style sheet that
// recolours a combo box also takes away the platform's arrow. A choice longer than the
// button is cut with an ellipsis and shown whole in the tooltip.
class MenuPicker : public QComboBox
{
  public:
    explicit MenuPicker(QWidget* parent) : QComboBox(parent)
    {
        connect(this, &QComboBox::currentTextChanged, this, [this] { updateTip(); });
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        option.currentText = shownText(option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(Theme::textSecondary(), 1.5);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        const QPointF c(width() - 13.0, height() / 2.0);
        painter.drawPolyline(
            QPolygonF{c + QPointF(-3.5, -1.75), c + QPointF(0, 1.75), c + QPointF(3.5, -1.75)});
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QComboBox::resizeEvent(event);
        updateTip();
    }

  private:
    QString shownText(const QStyleOptionComboBox& option) const
    {
        const QRect field =
            style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        return fitText(font(), option.currentText, field.width());
    }

    void updateTip()
    {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        setToolTip(shownText(option) == currentText() ? QString() : currentText());
    }
};

} // namespace

FillInForm::FillInForm(const QList<FillInController::Field>& fields, QWidget* parent) : FloatingPanel(parent)
{
    setWindowTitle(QStringLiteral("Fill in"));
    setFixedWidth(formWidth);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(spacing);
    stack->setSizeConstraint(QLayout::SetFixedSize);

    QFont labelFont = Theme::systemFont(labelSize, QFont::DemiBold);
    labelFont.setLetterSpacing(QFont::AbsoluteSpacing, labelLetterSpacing);

    for (const FillInController::Field& field : fields) {
        auto* row = new QVBoxLayout;
        row->setSpacing(rowSpacing);
        // A long label wraps within the form's width rather than widening the form.
        QLabel* caption = makeThemedLabel(Text::upper(field.label), labelFont, Theme::textTertiary(), this);
        caption->setWordWrap(true);
        caption->setFixedWidth(formWidth - 2 * padding);
        row->addWidget(caption);
        QWidget* editor = nullptr;
        if (field.options.isEmpty()) {
            auto* text = new ThemedTextField(field.label, false, this);
            text->setText(field.defaultValue);
            text->setFixedWidth(formWidth - 2 * padding);
            editor = text;
            row->addWidget(text);
        } else {
            QComboBox* menu = makeMenu(field.options);
            editor = menu;
            row->addWidget(menu, 0, Qt::AlignLeft);
        }
        m_labels.append(field.label);
        m_editors.insert(field.label, editor);
        if (!m_firstEditor)
            m_firstEditor = editor;
        stack->addLayout(row);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    auto* cancel = new PillButton(QStringLiteral("Cancel"), {}, false, this);
    auto* insert = new PillButton(QStringLiteral("Insert"), {}, true, this);
    cancel->setObjectName(QStringLiteral("cancel"));
    insert->setObjectName(QStringLiteral("insert"));
    buttons->addWidget(cancel);
    buttons->addWidget(insert);
    stack->addLayout(buttons);
    connect(cancel, &QAbstractButton::clicked, this, &FillInForm::cancelRequested);
    connect(insert, &QAbstractButton::clicked, this, &FillInForm::insertRequested);
}

QComboBox* FillInForm::makeMenu(const QStringList& options)
{
    auto* menu = new MenuPicker(this);
    menu->setObjectName(QStringLiteral("fillInMenu"));
    menu->addItems(options);
    menu->setCurrentIndex(0);
    menu->setMaximumWidth(menuMaxWidth);
    menu->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    menu->setFont(Theme::systemFont(ThemedTextField::textSize));
    menu->setStyleSheet(QStringLiteral("QComboBox { background: %1; color: %2; border: 1px solid %3;"
                                       " border-radius: 8px; padding: 5px 26px 5px 10px; }"
                                       "QComboBox::drop-down { border: none; width: 20px; }"
                                       "QComboBox QAbstractItemView { background: %4; color: %2;"
                                       " border: 1px solid %5; selection-background-color: %6;"
                                       " selection-color: white; outline: none; }")
                            .arg(cssColor(Theme::field()), cssColor(Theme::textPrimary()),
                                 cssColor(Theme::border()), cssColor(Theme::card()),
                                 cssColor(Theme::borderStrong()), cssColor(Theme::accent())));
    return menu;
}

QHash<QString, QString> FillInForm::values() const
{
    QHash<QString, QString> out;
    for (const QString& label : m_labels) {
        QWidget* editor = m_editors.value(label);
        if (auto* text = qobject_cast<ThemedTextField*>(editor))
            out.insert(label, text->text());
        else if (auto* menu = qobject_cast<QComboBox*>(editor))
            out.insert(label, menu->currentText());
    }
    return out;
}

void FillInForm::showCentered()
{
    FloatingPanel::showCentered();
    if (m_firstEditor)
        m_firstEditor->setFocus(Qt::ActiveWindowFocusReason);
}

void FillInForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit insertRequested();
        return;
    }
    FloatingPanel::keyPressEvent(event);
}
