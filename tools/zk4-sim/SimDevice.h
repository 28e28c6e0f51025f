// zk4-sim core: the firmware side of a ZK4 device, with no I/O.
//
// The host's bytes go into SimDevice::Receive; the bytes the device answers come out. Time is
// passed in (seconds since the device started) so that moving values are reproducible.
//
// Lines the device sends:
//   "AT FW=<firmware>"                                    answer to "AT FW=?"
//   "ACK ID" pc s0 s1 s2 s3 xx ck                          answer to "AT ID?" (22 bytes)
//   "AT DV=", "AT RPM=", "AT MPH=", "AT CN=", "AT HZVSMPH="  answer to "AT RALL"
// each ended by CR LF. "AT CN=n" and "AT HZ=dd.dddd" change the settings and get no answer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zk4sim {

struct ProductVariant {
    std::string_view name;  // as on the label, without the "ZK4-" family prefix
    std::uint8_t code;
    bool cylinders;  // accepts "AT CN="
    bool hzPerMph;   // accepts "AT HZ="
};

// The twelve variants, in code order.
std::span<const ProductVariant> ProductVariants();

// "J1939-003" or "ZK4-J1939-003" (any letter case) to its product code.
std::optional<std::uint8_t> ProductCodeFromName(std::string_view name);

// nullptr for a code that no variant carries.
const ProductVariant* FindVariant(std::uint8_t code);

// One byte as two upper-case hex characters, the low nibble's character first (0x2A -> "A2").
std::array<char, 2> HexPair(std::uint8_t value);

//  0     6    8    10   12   14   16   18   20
//  ACK ID pc   s0   s1   s2   s3   00   ck   CR LF
// s0 is the least significant byte of the serial number. The checksum byte makes the 8-bit sum
// of bytes 0..17 plus itself 0; it is computed over the upper-case line because the host
// upper-cases what it receives before checking. `wrongChecksum` sends a checksum one off.
std::string BuildIdentificationLine(std::uint8_t productCode, std::uint32_t serialNo,
                                    bool wrongChecksum = false);

// "AT " word "=" value CR LF.
std::string BuildReportLine(std::string_view word, std::string_view value);

// Fixed-point values: `decimals` digits after the point, e.g. 17881 with 4 decimals is
// "1.7881". Parsing accepts "12", "12.5", "1.7881" (at most `decimals` digits after the point,
// no sign, no spaces) and refuses anything above `max`. `decimals` is at most 8.
std::string FormatFixed(std::uint32_t scaled, int decimals);
std::optional<std::uint32_t> ParseFixed(std::string_view text, int decimals, std::uint32_t max);

// Plain unsigned decimal, digits only, at most `max`.
std::optional<std::uint32_t> ParseUnsigned(std::string_view text, std::uint32_t max);

inline constexpr std::uint8_t kDefaultProductCode = 0x2C;  // J1939-003
inline constexpr std::uint32_t kDefaultSerialNo = 305419896;
inline constexpr std::string_view kDefaultFirmware = "0.5N";
inline constexpr std::uint8_t kFactoryCylinders = 4;
inline constexpr std::uint32_t kFactoryHzPerMph = 17881;  // ten-thousandths: 1.7881
inline constexpr std::uint8_t kMinCylinders = 1;
inline constexpr std::uint8_t kMaxCylinders = 12;
inline constexpr std::uint32_t kMinHzPerMph = 2500;    // 0.25
inline constexpr std::uint32_t kMaxHzPerMph = 999999;  // 99.9999

enum class CommandKind {
    Unknown,
    FirmwareQuery,  // "AT FW=?"
    IdQuery,        // "AT ID?"
    ReadAll,        // "AT RALL"
    SetCylinders,   // "AT CN=" one or two digits; value = the number
    SetHzPerMph,    // "AT HZ=dd.dddd"; value in ten-thousandths
};

struct Command {
    CommandKind kind = CommandKind::Unknown;
    std::uint32_t value = 0;
};

// One command line without its line end. Only the exact forms above are understood.
Command ParseCommand(std::string_view line);

// Collects received bytes into command lines. CR or LF ends a line (CR LF gives one line and
// an empty one, which is dropped). "AT" starts a command afresh, so bytes left over from a
// command that the host cut short are dropped with it. A line longer than kMaxLine is
// dropped whole.
class CommandAssembler {
  public:
    static constexpr std::size_t kMaxLine = 32;

    std::optional<std::string> Feed(std::uint8_t byte);

  private:
    std::string m_line;
    std::uint8_t m_previous = 0;
    bool m_overflow = false;
};

struct EngineSample {
    std::uint32_t rpm = 0;
    std::uint32_t mph = 0;
};

// A repeating 60-second drive: idle, pull away through the gears, cruise near 60 MPH, brake,
// idle again. Engine speed follows road speed through the gear in use.
EngineSample DriveSample(double seconds);

struct CrankSample {
    std::uint32_t voltageTenths = 0;
    std::optional<std::uint32_t> rpm;  // while the engine is off or cranking
};

// The engine stopped and started again at the start of every 60-second cycle (in step with
// DriveSample): the battery at rest, its voltage sagging while the starter turns the engine,
// then the alternator charging it, high at first and settling.
CrankSample CrankSampleAt(double seconds);

struct DeviceConfig {
    std::uint8_t productCode = kDefaultProductCode;
    std::uint32_t serialNo = kDefaultSerialNo;
    std::string firmware{kDefaultFirmware};
    std::uint32_t voltageTenths = 138;  // 13.8 V
    std::uint32_t rpm = 650;
    std::uint32_t mph = 0;
    std::uint8_t cylinders = kFactoryCylinders;
    std::uint32_t hzPerMph = kFactoryHzPerMph;  // ten-thousandths
    bool drive = false;              // rpm and mph from DriveSample instead of the fixed values
    bool crank = false;              // voltage (and rpm while stopped) from CrankSampleAt
    bool lowercase = false;          // every line sent in lower case
    bool noise = false;              // two or three stray bytes ahead of every line
    std::uint32_t badChecksums = 0;  // this many identification answers carry a wrong checksum
    bool keepSettings = false;       // setting commands are taken in but change nothing
};

class SimDevice {
  public:
    explicit SimDevice(DeviceConfig config);

    // Takes received bytes; returns everything the device sends in answer (possibly nothing).
    std::string Receive(std::span<const std::uint8_t> bytes, double seconds);

    // The answer to one parsed command, with the line faults applied.
    std::string Answer(const Command& command, double seconds);

    std::uint8_t Cylinders() const { return m_config.cylinders; }
    std::uint32_t HzPerMph() const { return m_config.hzPerMph; }

  private:
    void Emit(std::string& out, std::string line);

    DeviceConfig m_config;
    const ProductVariant* m_variant;
    CommandAssembler m_assembler;
    std::uint32_t m_idAnswers = 0;
    std::uint32_t m_noiseState = 0x2545F491u;
};

}  // namespace zk4sim
