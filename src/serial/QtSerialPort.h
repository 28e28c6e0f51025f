// The serial layer on QSerialPort.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <memory>

#include "serial/SerialPort.h"

namespace zk4 {

class QtSerialPort final : public QObject, public SerialPort {
    Q_OBJECT
  public:
    // `portsDir` is the folder whose COMn links name the devices (beside the executable).
    explicit QtSerialPort(std::string portsDir, QObject* parent = nullptr);
    ~QtSerialPort() override;

    bool IsOpen() const override;
    void Close() override;
    void SelectPort(int number) override;
    void Open() override;
    void Configure(const PortConfig& config) override;
    void Write(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> ReadAll() override;
    void SetReceiveHandler(ReceiveHandler handler) override;

    // The device path the last Open tried (for messages and tests).
    const std::string& DevicePath() const { return m_devicePath; }

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_portsDir;
    std::string m_devicePath;
};

}  // namespace zk4
