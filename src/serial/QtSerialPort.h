// The serial layer on QSerialPort.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <memory>
#include <string>
#include <vector>

#include "serial/SerialPort.h"

namespace zk4 {

class QtSerialPort final : public QObject, public SerialPort {
    Q_OBJECT
  public:
    // `portsDirs` are the folders whose COMn links name the devices, searched in order (beside
    // the executable, then the user's configuration folder).
    explicit QtSerialPort(std::vector<std::string> portsDirs, QObject* parent = nullptr);
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
    std::vector<std::string> m_portsDirs;
    std::string m_devicePath;
};

}  // namespace zk4
