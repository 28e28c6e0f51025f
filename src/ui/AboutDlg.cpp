#include "ui/AboutDlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "text/QtText.h"
#include "ui/DataExchangeRules.h"
#include "ui/DialogTemplate.h"
#include "ui/MessageBox.h"

namespace zk4 {

CAboutDlg::CAboutDlg(MessageBoxFn messageBox, QWidget* parent)
    : QDialog(parent), m_messageBox(std::move(messageBox)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    m_controls = BuildDialogFromTemplate(*this, AboutDialogTemplate());
    connect(static_cast<QPushButton*>(GetDlgItem(IDOK_BUTTON)), &QPushButton::clicked, this,
            [this] { accept(); });
}

int CAboutDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CAboutDlg::OnInitDialog() {
    UpdateData(false);
    GetDlgItem(IDOK_BUTTON)->setFocus(Qt::OtherFocusReason);
    return true;
}

bool CAboutDlg::UpdateData(bool bSaveAndValidate) {
    auto* firmware = static_cast<QLineEdit*>(GetDlgItem(IDC_ABOUT_FIRMWARE));
    auto* productId = static_cast<QLineEdit*>(GetDlgItem(IDC_ABOUT_PRODUCT_ID));
    auto* serialNo = static_cast<QLineEdit*>(GetDlgItem(IDC_ABOUT_SERIAL_NO));
    if (!bSaveAndValidate) {
        firmware->setText(m_strFirmware);
        productId->setText(m_strProductId);
        serialNo->setText(QString::fromStdString(FormatDialogUnsigned(m_dwSerialNo)));
        return true;
    }
    m_strFirmware = firmware->text();
    m_strProductId = productId->text();
    const auto value = ParseDialogUnsigned(serialNo->text().toStdString());
    if (!value) {
        // The box is read-only and holds what the load wrote, so this is never met in use.
        m_messageBox(this, Tr(kMsgEnterPositiveInteger), MessageIcon::Exclamation);
        serialNo->setFocus(Qt::OtherFocusReason);
        serialNo->selectAll();
        return false;
    }
    m_dwSerialNo = *value;
    return true;
}

void CAboutDlg::accept() {
    if (UpdateData(true)) {
        QDialog::accept();
    }
}

}  // namespace zk4
