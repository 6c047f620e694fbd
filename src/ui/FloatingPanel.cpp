#include "ui/FloatingPanel.h"

#include "ui/Theme.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>

FloatingPanel::FloatingPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    // Standard widgets inside (menus, plain fields) take their colours from the palette.
    setPalette(Theme::darkPalette(Theme::sidebar()));
}

void FloatingPanel::showCentered()
{
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}

void FloatingPanel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        emit cancelRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FloatingPanel::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closedByUser();
}

void FloatingPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::sidebar());
}
