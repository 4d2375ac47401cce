// Window tests run on Qt's offscreen platform (CTest sets QT_QPA_PLATFORM; a binary
// started by hand, or for test discovery, falls back to it here). Every run gets a fresh
// private XDG_RUNTIME_DIR, removed again at the end.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir runtimeDir(QDir::tempPath() + "/ravelin-gui-XXXXXX");
    if (runtimeDir.isValid()) {
        QFile::setPermissions(runtimeDir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
