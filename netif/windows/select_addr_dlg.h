// "Select Network Interface": lists the workstation's up interfaces and hands the chosen
// one's IP address, MAC address and subnet mask back as texts. Apply without a selected
// row does nothing; Cancel (or closing the window) empties all three texts.
#pragma once

#include "netif/interface_entries.h"

#include <QDialog>
#include <functional>
#include <string>

class QTreeWidget;

enum SelectAddrControlId : int {
    kInterfaceListId = 1062,
    kApplyButtonId = 1,
    kCancelButtonId = 2,
};

class CSelectAddrDlg : public QDialog {
  public:
    // Fills the entries when the dialog opens; by default from this platform.
    using EntrySource = std::function<void(InterfaceList&)>;

    CSelectAddrDlg(std::u16string& macText, std::u16string& ipText, std::u16string& maskText,
                   QWidget* parent = nullptr, EntrySource source = {});

    const InterfaceList& entries() const { return entries_; }

    void reject() override; // Cancel, Esc and the close button

  private:
    void Apply();

    InterfaceList entries_;
    std::u16string& macText_;
    std::u16string& ipText_;
    std::u16string& maskText_;
    QTreeWidget* list_;
};
