// Where the main window was left: read from the settings at start, written a
// second after every move or resize and when asked.
#pragma once

#include <QObject>

class QTimer;
class SettingsFile;

class WindowPlaceKeeper : public QObject {
    Q_OBJECT
public:
    // `window` and `settings` must outlive this object.
    WindowPlaceKeeper(QWidget& window, SettingsFile& settings);

    // Shows the window where the operator left it; false (nothing shown) when
    // no place is stored or it lies on no screen.
    bool showAtStoredPlace();
    void save();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    SettingsFile& m_settings;
    QTimer* m_timer = nullptr;
};
