// A window handle for a Qt object. Posting to the handle (from any thread) puts a QEvent
// carrying the message into Qt's queue for the object; the handler runs on the object's
// (the user-interface) thread. Destroying the QtWindow unregisters the handle first and
// then drops the messages still queued, freeing their records, so nothing is delivered to
// an object that is gone. Make it a member of the window it serves.
#pragma once

#include "platform/window_message.h"

#include <QObject>
#include <functional>
#include <memory>

namespace platform {

class QtWindow final : public MessageReceiver {
  public:
    using Handler = std::function<void(Message&)>;

    // Must be created on the thread that runs the handler.
    explicit QtWindow(Handler handler);
    ~QtWindow() override;
    QtWindow(const QtWindow&) = delete;
    QtWindow& operator=(const QtWindow&) = delete;

    WindowHandle handle() const { return handle_; }

    // Never blocks on the user-interface thread: it only queues an event.
    void Enqueue(Message message) override;

  private:
    class Relay;
    std::unique_ptr<Relay> relay_;
    WindowHandle handle_;
};

} // namespace platform
