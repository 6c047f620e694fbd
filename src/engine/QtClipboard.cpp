#include "engine/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

QString QtClipboard::text() const
{
    if (!qGuiApp)
        return QString();
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text(QClipboard::Clipboard) : QString();
}
