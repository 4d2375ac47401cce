// A window without a screen: a registered receiver with its own message queue, for
// headless use and tests. Whoever owns it runs its message loop.
#pragma once

#include "platform/window_message.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace platform {

class MessageQueueWindow final : public MessageReceiver {
  public:
    MessageQueueWindow();
    ~MessageQueueWindow() override;
    MessageQueueWindow(const MessageQueueWindow&) = delete;
    MessageQueueWindow& operator=(const MessageQueueWindow&) = delete;

    WindowHandle handle() const { return handle_; }

    // Takes the oldest message, waiting up to `timeoutMs`. False when none came.
    bool TakeMessage(Message& message, uint32_t timeoutMs);

    void Enqueue(Message message) override;

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> queue_;
    WindowHandle handle_;
};

} // namespace platform
