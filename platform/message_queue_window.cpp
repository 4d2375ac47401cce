#include "platform/message_queue_window.h"

#include <chrono>

namespace platform {

MessageQueueWindow::MessageQueueWindow() : handle_(RegisterWindow(this)) {}

MessageQueueWindow::~MessageQueueWindow() {
    UnregisterWindow(handle_);
}

bool MessageQueueWindow::TakeMessage(Message& message, uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return !queue_.empty(); })) {
        return false;
    }
    message = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

void MessageQueueWindow::Enqueue(Message message) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(message));
    }
    arrived_.notify_one();
}

} // namespace platform
