#include "platform/desktop/WidgetTracking.h"

#include <QEvent>
#include <QWidget>

namespace plat {
namespace {

WindowState stateOf(const QWidget* w) {
    if (w->isHidden()) return WindowState::Hidden;
    if (w->isMinimized()) return WindowState::Minimized;
    if (w->isMaximized()) return WindowState::Maximized;
    return WindowState::Normal;
}

class WidgetFollower : public QObject {
public:
    WidgetFollower(QWidget* widget, WindowHandle window) : QObject(widget), widget_(widget), window_(window) {
        widget->installEventFilter(this);
    }
    ~WidgetFollower() override { unregisterTopLevelWindow(window_); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != widget_) return false;
        switch (e->type()) {
        case QEvent::WindowTitleChange: setTopLevelTitle(window_, widget_->windowTitle().toStdString()); break;
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange: setTopLevelState(window_, stateOf(widget_)); break;
        case QEvent::WindowActivate: bringTopLevelToFront(window_); break;
        default: break;
        }
        return false;
    }

private:
    QWidget* widget_;
    WindowHandle window_;
};

}  // namespace

bool trackTopLevelWidget(QWidget* widget, WindowHandle window, std::string* error) {
    if (!widget) {
        if (error) *error = "no widget";
        return false;
    }
    if (!registerTopLevelWindow(window, widget->windowTitle().toStdString(), stateOf(widget), {}, error)) return false;
    new WidgetFollower(widget, window);
    return true;
}

}  // namespace plat
