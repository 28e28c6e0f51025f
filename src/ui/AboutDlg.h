// CAboutDlg: names the tool and shows a snapshot of the identified device, taken when it opens.
#pragma once

#include <QDialog>
#include <QHash>
#include <QString>
#include <cstdint>

#include "ui/MessageBox.h"

namespace zk4 {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(MessageBoxFn messageBox, QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
    bool UpdateData(bool bSaveAndValidate = true);
    QWidget* GetDlgItem(int id) const { return m_controls.value(id, nullptr); }

    void accept() override;

    QString m_strProductId;
    QString m_strFirmware;
    std::uint32_t m_dwSerialNo = 0;

  private:
    MessageBoxFn m_messageBox;
    QHash<int, QWidget*> m_controls;
};

}  // namespace zk4

using zk4::CAboutDlg;
