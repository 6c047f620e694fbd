#include "engine/FillInForm.h"

#include "model/Text.h"
#include "ui/PillButton.h"
#include "ui/Theme.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPicker.h"
#include "ui/ThemedTextField.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

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
            menu->setAccessibleName(field.label);
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
    auto* menu = new ThemedPicker(this);
    menu->setObjectName(QStringLiteral("fillInMenu"));
    menu->addItems(options);
    menu->setCurrentIndex(0);
    menu->setMaximumWidth(menuMaxWidth);
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
