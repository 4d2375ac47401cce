// The About box: the program icon, the version text (control 1026) and "OK".
#pragma once

#include <QDialog>

inline constexpr int kAboutVersionTextId = 1026;

class CAboutDlg : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
