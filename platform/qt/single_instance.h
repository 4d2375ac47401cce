// The single-instance stand-in for a named file mapping: the first instance publishes a
// local socket under the name, and a later start that reaches it asks it to come to the
// front and then ends.
#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>

namespace platform {

class InstanceGuard {
  public:
    explicit InstanceGuard(QString name);
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // True when a running instance holds the name; it has then been asked to activate.
    bool ActivateRunningInstance();

    // Publishes this instance. `activate` runs on this (the user-interface) thread
    // whenever a later start asks. False when another live instance holds the name.
    bool Publish(std::function<void()> activate);

    const QString& name() const { return name_; }

  private:
    QString name_;
    QLocalServer server_;
    std::function<void()> activate_;
};

} // namespace platform
