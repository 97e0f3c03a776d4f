#include "qt/serial_port.h"

#include <QFile>
#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <string_view>
#include <utility>

#include "serial/receive_buffer.h"
#include "system/device_access.h"

namespace r462xe {

namespace {

QSerialPort::Parity to_parity(char parity) {
    switch (parity) {
        case 'e':
            return QSerialPort::EvenParity;
        case 'o':
            return QSerialPort::OddParity;
        case 'm':
            return QSerialPort::MarkParity;
        case 's':
            return QSerialPort::SpaceParity;
        default:
            return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits to_stop_bits(const std::string& stop_bits) {
    if (stop_bits == "2") return QSerialPort::TwoStop;
    if (stop_bits == "1.5") return QSerialPort::OneAndHalfStop;
    return QSerialPort::OneStop;
}

// Only the line settings: the control lines are never touched, since on a pseudo-terminal those
// calls fail.
void configure(QSerialPort& device, const LineSettings& settings) {
    if (settings.data_bits < 5)
        throw PortError(std::to_string(settings.data_bits) + " data bits are not supported");
    const bool ok = device.setBaudRate(settings.baud) &&
                    device.setDataBits(static_cast<QSerialPort::DataBits>(settings.data_bits)) &&
                    device.setParity(to_parity(settings.parity)) &&
                    device.setStopBits(to_stop_bits(settings.stop_bits)) &&
                    device.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) throw PortError("line settings refused: " + device.errorString().toStdString());
}

// Qt 6 reports no framing, parity, overrun or break errors of the line: the only error that
// reaches the port event handler is a device that has gone. Garbled bytes reach the exchanges as
// they are and fail their replies there.
bool device_gone_error(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
           error == QSerialPort::ResourceError;
}

// Why the device would not open, in terms a user can act on, with the system's own words.
PortTrouble open_trouble(const std::string& path, const QSerialPort& device) {
    PortTrouble trouble{.device = path, .system_text = device.errorString().toStdString()};
    switch (device.error()) {
        case QSerialPort::DeviceNotFoundError:
            trouble.fault = PortFault::Absent;
            break;
        case QSerialPort::PermissionError: {
            // A user without the right and a device held by another program (its lock file, or
            // an exclusive open) both get this; the device's permissions tell them apart.
            const DeviceAccess access = device_access(path);
            trouble.fault = access.may_open ? PortFault::Held : PortFault::NoRight;
            // Qt may have failed at its lock file first; the system's refusal is the reason.
            if (!access.may_open) trouble.system_text = access.refusal;
            trouble.group = access.group;
            trouble.group_may_open = access.group_may_open;
            break;
        }
        default:
            trouble.fault = PortFault::Other;
            break;
    }
    return trouble;
}

}  // namespace

std::vector<std::string> system_serial_devices() {
    std::vector<std::string> devices;
    for (const auto& info : QSerialPortInfo::availablePorts())
        devices.push_back(info.systemLocation().toStdString());
    return devices;
}

std::set<std::string> system_console_devices() {
    QFile active(QStringLiteral("/sys/class/tty/console/active"));
    if (!active.open(QIODevice::ReadOnly)) return {};
    return console_devices(active.readAll().toStdString());
}

QtSerialPort::QtSerialPort(PortMap& ports) : ports_(ports) {
    clock_.start();
    ports_.add_devices(system_serial_devices(), system_console_devices());
}

QtSerialPort::~QtSerialPort() = default;

void QtSerialPort::open_device(int port, const LineSettings& settings) {
    // A cable plugged in since the last look gets a number now.
    if (!ports_.fixed()) ports_.add_devices(system_serial_devices(), system_console_devices());
    const auto path = ports_.device_for(port);
    if (!path)
        throw PortError("COM" + std::to_string(port) + " does not exist",
                        PortTrouble{.fault = PortFault::Absent});

    auto device = std::make_unique<QSerialPort>();
    device->setPortName(QString::fromStdString(*path));
    configure(*device, settings);
    // Whatever the meter has already sent stays waiting: the component drops nothing on open.
    if (!device->open(QIODevice::ReadWrite))
        throw PortError("COM" + std::to_string(port) + " (" + *path +
                            "): " + device->errorString().toStdString(),
                        open_trouble(*path, *device));
    QObject::connect(device.get(), &QSerialPort::errorOccurred, &context_,
                     [this, source = device.get()](QSerialPort::SerialPortError error) {
                         on_error(*source, error);
                     });
    // Bytes are taken into the receive buffer as they come, not when the program reads them:
    // QSerialPort's own buffer has no bound, and an idle window reads nothing.
    QObject::connect(device.get(), &QSerialPort::readyRead, &context_, [this] { take_in(); });
    received_.clear();
    device_ = std::move(device);
    device_path_ = *path;
    device_gone_ = false;
    ++open_count_;
}

void QtSerialPort::close_device() {
    take_in();
    received_.clear();
    device_.reset();
    device_gone_ = false;
}

void QtSerialPort::apply_settings(const LineSettings& settings) {
    configure(open_port("Settings"), settings);
}

void QtSerialPort::write_bytes(const std::string& bytes) {
    auto& device = open_port("Output");
    // One write buffer keeps the order of the writes; flush hands what it can to the system now,
    // the rest follows as the line drains.
    if (device.write(bytes.data(), static_cast<qint64>(bytes.size())) < 0)
        throw PortError("Output: " + device.errorString().toStdString());
    device.flush();
    if (device_gone_) throw gone("Output");
}

int QtSerialPort::bytes_waiting() {
    auto& device = open_port("InBufferCount");
    // Take in what the system has received by now, not only what an earlier dispatch collected.
    // Nothing received reports a timeout error, which means nothing here.
    if (!device.waitForReadyRead(0) && device.error() == QSerialPort::TimeoutError)
        device.clearError();
    if (device_gone_) throw gone("InBufferCount");
    take_in();
    return static_cast<int>(received_.size());
}

std::string QtSerialPort::read_all() {
    open_port("Input");
    take_in();
    return std::exchange(received_, std::string());
}

void QtSerialPort::take_in() {
    if (!device_) return;
    const QByteArray bytes = device_->readAll();
    if (bytes.isEmpty()) return;
    const std::string_view arrived(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::size_t kept = take_into_receive_buffer(received_, arrived);
    if (kept != 0) received(std::string(arrived.substr(0, kept)));
}

std::string QtSerialPort::device_of(int port) const {
    return ports_.device_for(port).value_or(std::string());
}

void QtSerialPort::require_device(const char* operation) const {
    if (!device_ || device_gone_) throw gone(operation);
}

QSerialPort& QtSerialPort::open_port(const char* operation) {
    require_device(operation);
    return *device_;
}

PortError QtSerialPort::gone(const char* operation) const {
    return PortError(std::string(operation) + ": the device has gone",
                     PortTrouble{.fault = PortFault::Gone, .device = device_path_});
}

void QtSerialPort::on_error(QSerialPort& source, QSerialPort::SerialPortError error) {
    // A device being closed or dropped reports nothing more: the program let go of it already.
    if (&source != device_.get() || !device_gone_error(error) || device_gone_) return;
    device_gone_ = true;
    // A vanished device stays readable to the system's poll: Qt would report the error again on
    // every dispatch and keep a core busy. Stop listening now; closing waits for the queued call
    // because this may run inside QSerialPort's own read.
    for (auto* notifier : device_->findChildren<QSocketNotifier*>()) notifier->setEnabled(false);
    // The event goes to the handler while events are dispatched, never inside the port operation
    // that met the error. PortOpen stays true until the program closes the port.
    QPointer<QSerialPort> device(device_.get());
    const unsigned opened = open_count_;
    QMetaObject::invokeMethod(
        &context_,
        [this, device, opened] {
            if (device) device->close();
            if (opened == open_count_ && PortOpen()) raise_comm_event(kCommEventBreak);
        },
        Qt::QueuedConnection);
}

}  // namespace r462xe
