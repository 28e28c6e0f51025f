#include "cli/Commands.h"

#include <unistd.h>

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>

#include "app/StopSignals.h"
#include "cli/CliText.h"
#include "cli/LinkSession.h"
#include "cli/Output.h"
#include "protocol/HostCommands.h"
#include "serial/PortFailures.h"
#include "serial/PortInfo.h"
#include "serial/PortNames.h"
#include "settings/PortSettingsFormat.h"
#include "ui/DataExchangeRules.h"
#include "workshop/CsvRecorder.h"

namespace zk4 {
namespace {

QString Seconds(double seconds) {
    return Utf8(FormatDialogNumber(seconds));
}

// The one command line the device gets for a value: "AT CN=6" CR LF gives "6".
std::string CommandValue(std::span<const std::uint8_t> command) {
    const auto begin = std::find(command.begin(), command.end(), '=');
    const auto end = std::find(command.begin(), command.end(), kCr);
    return begin == command.end() ? std::string() : std::string(begin + 1, end);
}

// ---- A command on one port's link ---------------------------------------------------------

// Starts the link on the chosen port at once and runs the event loop until the command ends.
// Common endings: the port refused (3), no ZK4 within the time limit or a device that is no
// known ZK4 (4), firmware the tool does not support (5), a stop signal (130).
class LinkCommand {
  public:
    LinkCommand(const CliOptions& options, const ToolPlaces& places)
        : m_options(options), m_places(places) {}
    virtual ~LinkCommand() = default;

    int Run() {
        if (const int status = Prepare(); status != kExitDone) {
            return status;
        }
        LinkSession::Events events;
        events.identified = Unended(&LinkCommand::Identified);
        events.valuesIn = Unended(&LinkCommand::OnValuesIn);
        events.polled = Unended(&LinkCommand::OnPolled);
        events.stateChanged = Unended(&LinkCommand::OnStateChanged);
        events.message = Unended(&LinkCommand::OnMessage);
        events.settingsChecked = Unended(&LinkCommand::OnSettingsChecked);
        m_session =
            std::make_unique<LinkSession>(ChosenPort(m_options, m_places), m_places.portsFolders,
                                          m_options.tracePath, std::move(events));
        if (m_session->TraceError()) {
            PrintError(Tr(*m_session->TraceError()) + QLatin1Char(' ') +
                       TrCli(QT_TRANSLATE_NOOP("zk4ctl", "zk4ctl goes on without a trace.")));
        }
        StopOnSignals(&m_context, [this] { OnStop(); });
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, &m_context, [this] { OnTimeout(); });
        m_deadline.start(static_cast<int>(m_options.timeoutSeconds * 1000));
        // What the start raises (a refused port, say) reaches the command from the loop.
        m_session->Start();
        const int status = m_loop.exec();
        m_session.reset();  // the port is closed before the process ends
        return status;
    }

  protected:
    // Before the port is opened; a status other than kExitDone ends the command there.
    virtual int Prepare() { return kExitDone; }
    virtual void OnIdentified() {}
    virtual void OnValuesIn() {}
    virtual void OnPolled(const DeviceValues&) {}
    virtual void OnSettingsChecked(bool) {}
    virtual void OnStop() { Finish(kExitInterrupted); }

    virtual void OnStateChanged(LinkState) {
        // Stopped after an input has been handled is the link's answer to a product code it
        // does not know; a search would have gone on.
        if (m_session->State() == LinkState::Stopped) {
            PrintError(TrCli(QT_TRANSLATE_NOOP(
                                 "zk4ctl",
                                 "The device on %1 (%2) answered, but is no ZK4 this tool knows."))
                           .arg(Utf8(m_session->Port()), Utf8(m_session->Record().device)));
            Finish(kExitNoDevice);
        }
    }

    virtual void OnMessage(const LinkMessage& message) {
        switch (message.kind) {
            case LinkMessage::Kind::PortRefused:
                PrintError(Tr(message.text));
                Finish(kExitPortRefused);
                break;
            case LinkMessage::Kind::FirmwareUnsupported:
                PrintError(Tr(message.text));
                Finish(kExitFirmware);
                break;
            case LinkMessage::Kind::SettingsNotTaken:
                break;
        }
    }

    void Finish(int status) {
        if (!m_finished) {
            m_finished = true;
            m_loop.exit(status);
        }
    }

    LinkSession& Session() { return *m_session; }
    const CliOptions& Options() const { return m_options; }
    bool EverIdentified() const { return m_everIdentified; }

    // The device's values as text lines or one JSON object, with what `extraJson` adds to it.
    bool PrintRecord(const ValueRecord& record, const std::string& extraText = {},
                     const std::string& extraJson = {}) {
        if (!m_options.json) {
            return PrintOut(extraText + KeyValueLines(record));
        }
        std::string object = JsonObject(record, false);
        object.insert(object.size() - 1, extraJson);
        return PrintOut(object + "\n");
    }

  private:
    // The handler, called (virtually) only while the command has not ended.
    template <typename... Args>
    std::function<void(Args...)> Unended(void (LinkCommand::*handler)(Args...)) {
        return [this, handler](Args... args) {
            if (!m_finished) {
                (this->*handler)(args...);
            }
        };
    }

    void Identified() {
        m_everIdentified = true;
        m_deadline.stop();
        OnIdentified();
    }

    void OnTimeout() {
        PrintError(TrCli(QT_TRANSLATE_NOOP("zk4ctl", "No ZK4 answered on %1 (%2) within %3 s."))
                       .arg(Utf8(m_session->Port()), Utf8(m_session->Record().device),
                            Seconds(m_options.timeoutSeconds)));
        Finish(kExitNoDevice);
    }

    const CliOptions& m_options;
    const ToolPlaces& m_places;
    QObject m_context;  // declared before the session: queued calls end with the command
    QEventLoop m_loop;
    QTimer m_deadline;
    std::unique_ptr<LinkSession> m_session;
    bool m_everIdentified = false;
    bool m_finished = false;
};

// ---- info -------------------------------------------------------------------------------------

class InfoCommand final : public LinkCommand {
  public:
    using LinkCommand::LinkCommand;

  private:
    void OnValuesIn() override {
        m_valuesIn = true;
        PrintWhenComplete();
    }

    // Other firmware: the values are printed, then the link's sentence, and the status says so.
    void OnMessage(const LinkMessage& message) override {
        if (message.kind != LinkMessage::Kind::FirmwareUnsupported) {
            LinkCommand::OnMessage(message);
            return;
        }
        m_firmwareRefused = Tr(message.text);
        PrintWhenComplete();
    }

    void PrintWhenComplete() {
        const bool halted = Session().State() == LinkState::Halted;
        if (!m_valuesIn || (halted && m_firmwareRefused.isEmpty())) {
            return;  // the firmware's sentence follows the values of a halted link
        }
        PrintRecord(Session().Record());
        if (halted) {
            PrintError(m_firmwareRefused);
        }
        Finish(halted ? kExitFirmware : kExitDone);
    }

    bool m_valuesIn = false;
    QString m_firmwareRefused;
};

// ---- watch ------------------------------------------------------------------------------------

class WatchCommand final : public LinkCommand {
  public:
    using LinkCommand::LinkCommand;

  private:
    enum class Form { Table, Csv, Json };

    int Prepare() override {
        m_form = Options().json ? Form::Json : ::isatty(STDOUT_FILENO) ? Form::Table : Form::Csv;
        if (!Options().csvPath.empty()) {
            if (const auto error = m_recorder.Open(Options().csvPath)) {
                PrintError(Tr(*error));
                return kExitUsage;
            }
        }
        return kExitDone;
    }

    void OnStop() override { Finish(kExitDone); }

    void OnPolled(const DeviceValues& values) override {
        const ValueRecord record = Session().Record(values);
        std::string out;
        if (m_form == Form::Json) {
            out = JsonObject(record, true) + "\n";
        } else {
            out = m_form == Form::Table ? TableRow(record) : CsvRow(record);
            if (m_rows == 0) {
                out.insert(0, m_form == Form::Table ? TableHeader() : CsvHeader());
            }
        }
        if (!PrintOut(out)) {
            Finish(kExitDone);  // the reader has gone (`| head`): nobody wants more rows
            return;
        }
        if (m_recorder.IsOpen()) {
            if (const auto error = m_recorder.Append(record)) {
                PrintError(Tr(*error));
                Finish(kExitUsage);
                return;
            }
        }
        if (++m_rows == Options().count) {
            Finish(kExitDone);
        }
    }

    // One note per loss: the device went silent or its port went away. A refused port during a
    // search that has already been told stays quiet until the device is back.
    void OnStateChanged(LinkState state) override {
        LinkCommand::OnStateChanged(state);
        const bool lost = m_previous == LinkState::Linked && state != LinkState::Linked;
        m_previous = state;
        if (lost && !m_lossTold) {
            m_lossTold = true;
            // After the link's messages of the same input, so the note can give the port's reason.
            QTimer::singleShot(0, &m_context, [this] { TellLoss(); });
        }
    }

    void OnIdentified() override {
        m_lossTold = false;
        m_lossReason.clear();
    }

    void OnMessage(const LinkMessage& message) override {
        if (message.kind == LinkMessage::Kind::PortRefused && EverIdentified()) {
            m_lossReason = Tr(message.text);
            return;
        }
        LinkCommand::OnMessage(message);
    }

    void TellLoss() {
        QString note =
            TrCli(QT_TRANSLATE_NOOP("zk4ctl",
                                    "%1: the device stopped answering; looking for it again."))
                .arg(Utf8(Session().Port()));
        if (!m_lossReason.isEmpty()) {
            note += QLatin1Char(' ') + m_lossReason;
        }
        PrintError(note);
    }

    Form m_form = Form::Csv;
    CsvRecorder m_recorder;
    unsigned m_rows = 0;
    LinkState m_previous = LinkState::Stopped;
    bool m_lossTold = false;
    QString m_lossReason;
    QObject m_context;
};

// ---- set and factory-default ------------------------------------------------------------------

class ChangeCommand final : public LinkCommand {
  public:
    using LinkCommand::LinkCommand;

  private:
    bool Factory() const { return Options().command == Command::FactoryDefault; }

    void OnIdentified() override {
        if (Session().State() != LinkState::Linked) {
            return;  // halted: the firmware's sentence ends the command
        }
        const SettingControls takes = Session().Settings();
        if (Factory()) {
            Send(std::string(kFactoryCylinders), kFactoryHzPerMph);
            return;
        }
        const QString product =
            Utf8(Latin1ToUtf8(Session().Record().values.m_strProductId.value_or("")));
        m_cylinders = Options().cylinders && takes.cylinders;
        m_hz = Options().hzPerMph && takes.hzPerMph;
        if (Options().cylinders && !takes.cylinders) {
            PrintError(
                TrCli(QT_TRANSLATE_NOOP(
                          "zk4ctl", "%1 has no cylinder-number setting: --cylinders is left out."))
                    .arg(product));
        }
        if (Options().hzPerMph && !takes.hzPerMph) {
            PrintError(
                TrCli(QT_TRANSLATE_NOOP("zk4ctl",
                                        "%1 has no Hz-per-MPH setting: --hz-per-mph is left out."))
                    .arg(product));
        }
        if (!m_cylinders && !m_hz) {
            PrintError(TrCli(QT_TRANSLATE_NOOP("zk4ctl", "Nothing was sent.")));
            Finish(kExitUsage);
            return;
        }
        Send(m_cylinders ? std::optional(std::to_string(*Options().cylinders)) : std::nullopt,
             m_hz ? Options().hzPerMph : std::nullopt);
    }

    // What the device gets is what the link builds from these, for the settings its variant
    // takes; that is what is printed as sent.
    void Send(const std::optional<std::string>& cylinders, std::optional<double> hz) {
        const SettingControls takes = Session().Settings();
        if (cylinders && takes.cylinders) {
            const std::string sent = CommandValue(BuildCylinderCommand(*cylinders).View());
            m_sentText += "sent cylinders: " + sent + "\n";
            m_sentJson += std::string(m_sentJson.empty() ? "" : ",") + "\"cylinders\":" + sent;
        }
        if (hz && takes.hzPerMph) {
            if (const auto command = BuildHzPerMphCommand(*hz)) {
                const std::string sent = JsonNumber(*ReportedNumber(CommandValue(command->View())));
                m_sentText += "sent hz_per_mph: " + sent + "\n";
                m_sentJson += std::string(m_sentJson.empty() ? "" : ",") + "\"hz_per_mph\":" + sent;
            }
        }
        m_sent = true;
        if (Factory()) {
            Session().GetLink().FactoryDefault();
        } else {
            Session().GetLink().ProceedToChange(cylinders, hz);  // only what was given
        }
    }

    void OnSettingsChecked(bool taken) override {
        PrintRecord(Session().Record(), m_sentText + "taken: " + (taken ? "yes" : "no") + "\n",
                    ",\"sent\":{" + m_sentJson + "},\"taken\":" + (taken ? "true" : "false"));
        if (taken) {
            Finish(kExitDone);
        }
        // Otherwise the link's sentence naming what was not taken follows.
    }

    void OnMessage(const LinkMessage& message) override {
        if (message.kind == LinkMessage::Kind::SettingsNotTaken) {
            PrintError(Tr(message.text));
            Finish(kExitNotTaken);
            return;
        }
        LinkCommand::OnMessage(message);
    }

    void OnStateChanged(LinkState state) override {
        LinkCommand::OnStateChanged(state);
        if (m_sent && Session().State() != LinkState::Linked) {
            PrintError(TrCli(QT_TRANSLATE_NOOP(
                                 "zk4ctl",
                                 "The device on %1 stopped answering before it reported the new "
                                 "settings."))
                           .arg(Utf8(Session().Port())));
            Finish(kExitNotTaken);
        }
    }

    bool m_cylinders = false;  // given, and taken by the variant
    bool m_hz = false;
    bool m_sent = false;
    std::string m_sentText;
    std::string m_sentJson;
};

// ---- ports and scan ---------------------------------------------------------------------------

int RunPorts(const CliOptions& options, const ToolPlaces& places) {
    const std::vector<PortDescription> ports = DescribeComPorts(places.portsFolders);
    std::string out;
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        out += PortLine(number, ports[i]);
        objects.push_back(PortJson(number, ports[i]));
    }
    PrintOut(options.json ? JsonArray(objects) : out);
    return kExitDone;
}

// A port someone can do something about: held by another program, or not the user's to open.
// Ports that are missing or have no hardware behind them are no news in a scan.
bool WorthTelling(const UserText& refusal) {
    for (const UserText& known : {FailureSentence(PortFailure::InUse, "", "", ""),
                                  FailureSentence(PortFailure::InUse, "", "", "1"),
                                  FailureSentence(PortFailure::PermissionDenied, "", "")}) {
        if (std::string_view(known.source) == refusal.source) {
            return true;
        }
    }
    return false;
}

// One link per present port, all at once on the one event loop. A port is done when its ZK4
// has answered the connect burst, when it is refused, or when the time is up.
int RunScan(const CliOptions& options, const ToolPlaces& places) {
    struct Probe {
        std::unique_ptr<LinkSession> session;
        std::optional<ValueRecord> found;
    };
    std::map<int, Probe> probes;
    QObject context;
    QEventLoop loop;
    int status = kExitDone;
    const auto done = [&](int number) {
        // Not from inside the session's own call: it goes once that has returned.
        QTimer::singleShot(0, &context, [&, number] {
            probes[number].session.reset();
            if (std::none_of(probes.begin(), probes.end(),
                             [](const auto& probe) { return probe.second.session != nullptr; })) {
                loop.exit(kExitDone);
            }
        });
    };
    const std::vector<PortDescription> ports = DescribeComPorts(places.portsFolders);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        if (!ports[i].present) {
            continue;
        }
        LinkSession::Events events;
        events.valuesIn = [&, number] {
            probes[number].found = probes[number].session->Record();
            done(number);
        };
        events.message = [&, number](const LinkMessage& message) {
            if (message.kind == LinkMessage::Kind::PortRefused) {
                if (WorthTelling(message.text)) {
                    PrintError(Tr(message.text));
                }
                done(number);
            }
        };
        events.stateChanged = [&, number](LinkState) {
            if (probes[number].session && probes[number].session->State() == LinkState::Stopped) {
                done(number);  // answered, but is no ZK4
            }
        };
        probes[number].session = std::make_unique<LinkSession>(ComName(number), places.portsFolders,
                                                               "", std::move(events));
    }
    StopOnSignals(&context, [&] {
        status = kExitInterrupted;
        loop.exit(status);
    });
    QTimer::singleShot(static_cast<int>(options.timeoutSeconds * 1000), &context,
                       [&] { loop.exit(kExitDone); });
    QTimer::singleShot(0, &context, [&] {
        for (auto& [number, probe] : probes) {
            probe.session->Start();
        }
        if (probes.empty()) {
            loop.exit(kExitDone);
        }
    });
    loop.exec();
    std::string out;
    std::vector<std::string> objects;
    for (auto& [number, probe] : probes) {
        probe.session.reset();
        if (probe.found) {
            out += ScanLine(*probe.found);
            objects.push_back(JsonObject(*probe.found, false));
        }
    }
    if (status != kExitDone) {
        return status;
    }
    PrintOut(options.json ? JsonArray(objects) : out);
    if (objects.empty()) {
        PrintError(TrCli(QT_TRANSLATE_NOOP("zk4ctl", "No ZK4 answered on any port within %1 s."))
                       .arg(Seconds(options.timeoutSeconds)));
        return kExitNoDevice;
    }
    return kExitDone;
}

}  // namespace

std::string ChosenPort(const CliOptions& options, const ToolPlaces& places) {
    if (!options.port.empty()) {
        return options.port;
    }
    QFile file(QFile::decodeName(places.settingsFile.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::string(kDefaultPort);  // missing or unreadable: the window's default
    }
    PortSettingsReader reader;
    for (QByteArray block; !(block = file.read(8192)).isEmpty();) {
        reader.Feed(std::string_view(block.constData(), static_cast<std::size_t>(block.size())));
    }
    reader.Finish();
    return reader.Setting().port;
}

int RunCommand(const CliOptions& options, const ToolPlaces& places) {
    switch (options.command) {
        case Command::Ports:
            return RunPorts(options, places);
        case Command::Scan:
            return RunScan(options, places);
        case Command::Info:
            return InfoCommand(options, places).Run();
        case Command::Watch:
            return WatchCommand(options, places).Run();
        case Command::Set:
        case Command::FactoryDefault:
            return ChangeCommand(options, places).Run();
    }
    return kExitUsage;
}

}  // namespace zk4
