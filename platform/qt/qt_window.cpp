#include "platform/qt/qt_window.h"

#include <QCoreApplication>
#include <QEvent>

namespace platform {
namespace {

const QEvent::Type kMessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// The posted event owns the message; an event Qt drops unread frees the record with it.
class MessageEvent final : public QEvent {
  public:
    explicit MessageEvent(Message message)
        : QEvent(kMessageEventType), message_(std::move(message)) {}
    Message& message() { return message_; }

  private:
    Message message_;
};

} // namespace

class QtWindow::Relay final : public QObject {
  public:
    explicit Relay(Handler handler) : handler_(std::move(handler)) {}

    bool event(QEvent* event) override {
        if (event->type() != kMessageEventType) {
            return QObject::event(event);
        }
        if (handler_) {
            handler_(static_cast<MessageEvent*>(event)->message());
        }
        return true;
    }

  private:
    Handler handler_;
};

QtWindow::QtWindow(Handler handler)
    : relay_(std::make_unique<Relay>(std::move(handler))), handle_(RegisterWindow(this)) {}

QtWindow::~QtWindow() {
    // After this no poster reaches Enqueue; the relay's destruction then deletes the events
    // already queued for it.
    UnregisterWindow(handle_);
}

void QtWindow::Enqueue(Message message) {
    QCoreApplication::postEvent(relay_.get(), new MessageEvent(std::move(message)));
}

} // namespace platform
