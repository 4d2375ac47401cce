#include "app/windows/about_dlg.h"

#include "platform/qt/control_id.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
// The version shown is the program's own, whatever the executable's metadata says.
constexpr int kVersion[3] = {1, 2, 0};
} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Korvana Firmware Upgrader");
    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    layout->addWidget(icon, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    auto* text = new QLabel(this);
    platform::SetControlId(text, kAboutVersionTextId);
    text->setText(QString("Firmware Upgrader, Version %1.%2.%3")
                      .arg(kVersion[0])
                      .arg(kVersion[1])
                      .arg(kVersion[2]));
    column->addWidget(text);
    auto* ok = new QPushButton("OK", this);
    platform::SetControlId(ok, 1);
    ok->setDefault(true);
    column->addWidget(ok, 0, Qt::AlignRight);
    layout->addLayout(column);
    QObject::connect(ok, &QPushButton::clicked, this, [this] { accept(); });
}
