#include "app/windows/interface_choice.h"

#include "netif/windows/select_addr_dlg.h"

InterfaceChooser ModalInterfaceSelection(QWidget* parent) {
    return [parent](std::u16string& mac, std::u16string& ip, std::u16string& mask) {
        CSelectAddrDlg dialog(mac, ip, mask, parent);
        dialog.exec();
    };
}
