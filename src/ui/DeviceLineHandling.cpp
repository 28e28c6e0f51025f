// The receive notification and the device lines it yields: the framer cuts the byte stream
// into lines, the rules in protocol/ read them, and the handlers here apply what they say.
#include <algorithm>
#include <array>

#include "protocol/DeviceLine.h"
#include "ui/ToolsetDlg.h"

namespace zk4 {
namespace {

// One read is framed in pieces of at most this many bytes.
constexpr std::size_t kStagingSize = 2048;

QString Latin1Text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

void CToolsetDlg::OnCommEvent(int commEvent) {
    if (commEvent != kCommEventReceive) {
        return;
    }
    // A notification that was on its way when the port closed has nothing left to read.
    if (!m_comm.IsOpen()) {
        return;
    }
    const std::vector<std::uint8_t> input = m_comm.ReadAll();
    if (!m_bPortOpen) {
        return;  // read and dropped: the port is not ours to listen to yet
    }
    const LineHandler onLine = [this](const RxWindow& window) { HandleDeviceLine(window); };
    for (std::size_t offset = 0; offset < input.size(); offset += kStagingSize) {
        const std::size_t n = std::min(kStagingSize, input.size() - offset);
        FrameBytes(m_platform.rxWindow, std::span(input).subspan(offset, n), onLine);
    }
}

void CToolsetDlg::HandleDeviceLine(const RxWindow& window) {
    // A message box below runs a nested loop that may frame more bytes into the window, so
    // the line is copied out first.
    std::array<std::uint8_t, kRxWindowSize> copy{};
    std::copy_n(window.data.begin(), window.count, copy.begin());
    const std::span<const std::uint8_t> line(copy.data(), window.count);

    switch (ClassifyLine(line)) {
        case LineKind::Ignored:
            return;

        case LineKind::Report: {
            UpdateData(true, Validation::Quiet);  // keep what the user is typing
            m_bTraffic = true;
            const Report report = ParseReportLine(line);
            const QString value = Latin1Text(report.value);
            switch (report.field) {
                case ReportField::Unknown:
                    return;
                case ReportField::Cylinders:
                    m_strCylindersReported = value;
                    break;
                case ReportField::Voltage:
                    m_strVoltage = value;
                    break;
                case ReportField::Firmware:
                    m_strFirmware = value;
                    m_bFirmwareSeen = true;
                    break;
                case ReportField::HzPerMph:
                    m_strHzPerMphReported = value;
                    break;
                case ReportField::VehicleMph:
                    m_strVehicleMph = value;
                    break;
                case ReportField::EngineRpm:
                    m_strEngineRpm = value;
                    break;
            }
            UpdateData(false);
            return;
        }

        case LineKind::Acknowledgement:
            UpdateData(true, Validation::Quiet);
            m_bTraffic = true;
            if (IsIdentificationLine(line) && m_bIdPending && m_bFirmwareSeen) {
                HandleIdentification(line);
            }
            UpdateData(false);
            return;
    }
}

void CToolsetDlg::HandleIdentification(std::span<const std::uint8_t> line) {
    // The request is used up and the port is worth remembering even if the checksum fails.
    m_bIdPending = false;
    m_bSavePending = true;
    if (!IdentificationChecksumOk(line)) {
        return;
    }

    const Identification id = DecodeIdentification(line);
    m_productCode = id.productCode;
    const ProductInfo product = LookupProduct(id.productCode);
    m_strProductId = Latin1Text(product.productId);
    m_bDeviceValid = product.valid;
    m_dwSerialNo = id.serialNo;

    const bool firmwareOk = FirmwareGatePasses(m_strFirmware.toLatin1().toStdString());
    const bool linked = firmwareOk && product.valid;
    if (linked) {
        EnableDlgItem(IDC_FACTORY_DEFAULT, true);
        EnableDlgItem(IDC_PROCEED, true);
        if (product.cylinders) {
            EnableDlgItem(IDC_CYLINDER_GROUP, true);
            EnableDlgItem(IDC_CYLINDERS, true);
        }
        if (product.hzPerMph) {
            EnableDlgItem(IDC_HZ_GROUP, true);
            EnableDlgItem(IDC_HZ_PER_MPH, true);
        }
    } else {
        KillTimer(kTimerId);
    }
    EnableDlgItem(IDC_DISCONNECT, true);
    EnableDlgItem(IDC_CONNECT, false);
    UpdateData(false);

    if (linked) {
        return;
    }
    if (product.valid) {
        ShowMessage(Latin1Text(kFirmwareMessage));
    } else {
        OnDisconnect();  // an unknown product: back to the disconnected look, timer stopped
    }
}

}  // namespace zk4
