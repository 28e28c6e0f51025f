// CAboutDlg: names the tool and shows a snapshot of the identified device, taken when it opens.
#pragma once

#include <QDialog>
#include <QHash>
#include <QString>
#include <cstdint>

namespace zk4 {

// Control identifiers of the About box; 1004 and 1005 are the other way round than in the
// main dialog.
enum : int {
    IDC_ABOUT_PRODUCT_ID = 1003,
    IDC_ABOUT_SERIAL_NO = 1004,
    IDC_ABOUT_FIRMWARE = 1005,
};

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
    bool UpdateData(bool bSaveAndValidate = true);
    QWidget* GetDlgItem(int id) const { return m_controls.value(id, nullptr); }

    void accept() override;

    QString m_strProductId;
    QString m_strFirmware;
    std::uint32_t m_dwSerialNo = 0;

  private:
    QHash<int, QWidget*> m_controls;
};

}  // namespace zk4

using zk4::CAboutDlg;
