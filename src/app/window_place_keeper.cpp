#include "app/window_place_keeper.h"

#include "settings/settings_file.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

WindowPlaceKeeper::WindowPlaceKeeper(QWidget& window, SettingsFile& settings)
    : QObject(&window), m_window(window), m_settings(settings)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &WindowPlaceKeeper::save);
    m_window.installEventFilter(this);
}

bool WindowPlaceKeeper::showAtStoredPlace()
{
    const std::optional<WindowPlace> place = m_settings.readWindowPlace();
    if (!place)
        return false;
    const QRect frame(place->left, place->top, place->width, place->height);
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(frame);
    if (!onScreen)
        return false;
    m_window.setGeometry(frame);
    if (place->maximized)
        m_window.showMaximized();
    else
        m_window.show();
    return true;
}

void WindowPlaceKeeper::save()
{
    m_timer->stop();
    const QRect frame = m_window.normalGeometry().isValid() ? m_window.normalGeometry() : m_window.geometry();
    m_settings.writeWindowPlace(
        {frame.x(), frame.y(), frame.width(), frame.height(), m_window.isMaximized()});
}

bool WindowPlaceKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
        m_window.isVisible())
        m_timer->start();
    return QObject::eventFilter(watched, event);
}
