#include "netif/windows/select_addr_dlg.h"

#include "netif/ipconfig_fallback.h"
#include "platform/qt/control_id.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kSlotRole = Qt::UserRole;

struct Column {
    const char* title;
    int share;
};
constexpr Column kColumns[3] = {
    {"MAC Address", 30}, {"IP Address", 20}, {"Adapter Description", 45}};

// The template is 353 x 113 dialog units.
constexpr int kListWidth = 510;
constexpr int kListHeight = 130;

QString Text(const char16_t* field) {
    return QString::fromUtf16(field);
}

} // namespace

CSelectAddrDlg::CSelectAddrDlg(std::u16string& macText, std::u16string& ipText,
                               std::u16string& maskText, QWidget* parent, EntrySource source)
    : QDialog(parent), macText_(macText), ipText_(ipText), maskText_(maskText),
      list_(new QTreeWidget(this)) {
    setWindowTitle("Select Network Interface");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    platform::SetControlId(list_, kInterfaceListId);
    list_->setFixedSize(kListWidth, kListHeight);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setRootIsDecorated(false);
    list_->setSortingEnabled(false);
    list_->header()->setSectionsClickable(false);
    list_->header()->setStretchLastSection(false);
    layout->addWidget(list_);

    auto* buttons = new QHBoxLayout;
    auto* apply = new QPushButton("Apply", this);
    auto* cancel = new QPushButton("Cancel", this);
    platform::SetControlId(apply, kApplyButtonId);
    platform::SetControlId(cancel, kCancelButtonId);
    apply->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    QObject::connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

    // Opening: the columns, then the entries, one row each in entry order.
    list_->clear();
    list_->setColumnCount(3);
    list_->setHeaderLabels({kColumns[0].title, kColumns[1].title, kColumns[2].title});
    for (int i = 0; i < 3; ++i) {
        list_->setColumnWidth(i, list_->width() * kColumns[i].share / 100);
    }
    if (source) {
        source(entries_);
    } else {
        CollectInterfaceEntries(entries_, {});
    }
    for (int i = 0; i < entries_.count; ++i) {
        const InterfaceEntry& entry = entries_.entries[i];
        auto* row = new QTreeWidgetItem(
            {Text(entry.macAddress), Text(entry.ipAddress), Text(entry.description)});
        row->setData(0, kSlotRole, i);
        list_->addTopLevelItem(row);
    }
}

void CSelectAddrDlg::Apply() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int index = selected.front()->data(0, kSlotRole).toInt();
    if (index < 0 || index >= entries_.count) {
        return;
    }
    const InterfaceEntry& entry = entries_.entries[index];
    ipText_ = entry.ipAddress;
    macText_ = entry.macAddress;
    maskText_ = entry.subnetMask;
    accept();
}

void CSelectAddrDlg::reject() {
    macText_.clear();
    ipText_.clear();
    maskText_.clear();
    QDialog::reject();
}
