#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QString>
#include <QWidget>

// What an assistive tool does to a widget through Qt's accessibility interfaces, in process:
// the same calls Qt's AT-SPI bridge makes for a screen reader's or a dictation tool's
// requests, without a bus.
namespace AccessibleEdit {

enum class Path
{
    editableText, // EditableText.SetTextContents: replaceText over the whole text
    valueText,    // the bridge's fallback for objects without editable text: setText(Value)
};

// Replaces the whole text of a field.
inline bool setText(QWidget* field, const QString& text, Path path = Path::editableText)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(field);
    if (!iface)
        return false;
    if (path == Path::editableText) {
        QAccessibleEditableTextInterface* editable = iface->editableTextInterface();
        QAccessibleTextInterface* plain = iface->textInterface();
        if (!editable || !plain)
            return false;
        editable->replaceText(0, plain->characterCount(), text);
        return true;
    }
    iface->setText(QAccessible::Value, text);
    return true;
}

// Performs an accessible action (by default the press a screen reader's "activate" sends).
inline bool doAction(QWidget* widget, const QString& action = QAccessibleActionInterface::pressAction())
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    QAccessibleActionInterface* actions = iface ? iface->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(action))
        return false;
    actions->doAction(action);
    return true;
}

} // namespace AccessibleEdit
