#include "platform/qt/single_instance.h"

#include <QLocalSocket>

namespace platform {
namespace {
constexpr int kConnectTimeoutMs = 1000;
}

InstanceGuard::InstanceGuard(QString name) : name_(std::move(name)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
            peer->deleteLater();
            if (activate_) {
                activate_();
            }
        }
    });
}

bool InstanceGuard::ActivateRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write("activate\n");
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool InstanceGuard::Publish(std::function<void()> activate) {
    activate_ = std::move(activate);
    if (server_.isListening() || server_.listen(name_)) {
        return true;
    }
    if (server_.serverError() != QAbstractSocket::AddressInUseError || ActivateRunningInstance()) {
        return false;
    }
    // Left behind by an instance that ended without closing it.
    QLocalServer::removeServer(name_);
    return server_.listen(name_);
}

} // namespace platform
