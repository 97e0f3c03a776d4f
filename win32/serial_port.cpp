#include "win32/serial_port.h"

#include <algorithm>
#include <array>

#include "serial/receive_buffer.h"
#include "system/windows/latin1_text.h"
#include "system/windows/system_error.h"

namespace r462xe {

namespace {

constexpr UINT kBreakMessage = WM_APP + 1;
// While the line is recorded, what has arrived is taken in this often.
constexpr UINT_PTR kArrivalTimerId = 1;
constexpr UINT kArrivalMilliseconds = 10;

// The name CreateFileW opens: COMn as \\.\COMn, which also reaches COM10 and above; a device
// given as \\.\... as it is.
std::wstring device_path(const std::string& device) {
    const std::wstring name = wide(device);
    if (name.starts_with(L"\\\\.\\")) return name;
    return L"\\\\.\\" + name;
}

BYTE to_parity(char parity) {
    switch (parity) {
        case 'e':
            return EVENPARITY;
        case 'o':
            return ODDPARITY;
        case 'm':
            return MARKPARITY;
        case 's':
            return SPACEPARITY;
        default:
            return NOPARITY;
    }
}

BYTE to_stop_bits(const std::string& stop_bits) {
    if (stop_bits == "2") return TWOSTOPBITS;
    if (stop_bits == "1.5") return ONE5STOPBITS;
    return ONESTOPBIT;
}

// What the system answers an operation on a device that is no longer there: a USB adapter pulled
// out, a driver that let go of it.
bool device_gone_error(DWORD error) {
    switch (error) {
        case ERROR_NOT_READY:
        case ERROR_OPERATION_ABORTED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_FILE_NOT_FOUND:
        // An open handle of a removed USB adapter answers so.
        case ERROR_ACCESS_DENIED:
            return true;
        default:
            return false;
    }
}

// Why the device would not open, in terms a user can act on, with the system's own words. A serial
// port is opened for one program at a time: access denied means that another one holds it.
PortTrouble open_trouble(const std::string& device, DWORD error) {
    PortTrouble trouble{.device = device, .system_text = system_error_text(error)};
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            trouble.fault = PortFault::Absent;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            trouble.fault = PortFault::Held;
            break;
        default:
            trouble.fault = PortFault::Other;
            break;
    }
    return trouble;
}

// An event for one overlapped operation; the handle is closed with it.
class Event {
  public:
    Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (!handle_) throw PortError("CreateEventW: " + system_error_text(GetLastError()));
    }
    ~Event() { CloseHandle(handle_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

}  // namespace

Win32SerialPort::Win32SerialPort(const PortMap& ports)
    : ports_(ports), events_([this](UINT message, WPARAM opened, LPARAM) {
          if (message == kBreakMessage) raise_break(static_cast<unsigned>(opened));
          if (message == WM_TIMER && opened == kArrivalTimerId) take_arrivals();
      }) {}

Win32SerialPort::~Win32SerialPort() {
    if (handle_ != INVALID_HANDLE_VALUE) close_device();
}

std::string Win32SerialPort::device_of(int port) const {
    return ports_.device_for(port).value_or(std::string());
}

void Win32SerialPort::open_device(int port, const LineSettings& settings) {
    const std::string name = "COM" + std::to_string(port);
    const auto device = ports_.device_for(port);
    if (!device) throw PortError(name + " does not exist", PortTrouble{.fault = PortFault::Absent});
    if (settings.data_bits < 5)
        throw PortError(std::to_string(settings.data_bits) + " data bits are not supported");

    HANDLE handle = CreateFileW(device_path(*device).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const std::string where = *device == name ? name : name + " (" + *device + ")";
        throw PortError(where + ": " + system_error_text(error), open_trouble(*device, error));
    }
    handle_ = handle;
    device_ = *device;
    device_gone_ = false;
    gone_text_.clear();
    ++open_count_;
    // Reads return at once with what has arrived; writes take the time the line needs.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    try {
        if (!SetCommTimeouts(handle_, &timeouts)) throw failure("Open", GetLastError());
        apply_settings(settings);
    } catch (...) {
        close_device();
        throw;
    }
    // Whatever the meter has already sent stays waiting: the component drops nothing on open.
    if (observed()) SetTimer(events_.hwnd(), kArrivalTimerId, kArrivalMilliseconds, nullptr);
}

void Win32SerialPort::close_device() {
    KillTimer(events_.hwnd(), kArrivalTimerId);
    arrived_.clear();
    discard_writes();
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    device_gone_ = false;
}

void Win32SerialPort::apply_settings(const LineSettings& settings) {
    HANDLE handle = open_handle("Settings");
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle, &dcb)) throw failure("Settings", GetLastError());
    dcb.BaudRate = static_cast<DWORD>(settings.baud);
    dcb.ByteSize = static_cast<BYTE>(settings.data_bits);
    dcb.Parity = to_parity(settings.parity);
    dcb.StopBits = to_stop_bits(settings.stop_bits);
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != 'n';
    // No flow control. The control lines stay as they are, except where they were left to a
    // handshake; on a pseudo-terminal under Wine setting them fails.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // Every byte as it came, and a line error never stops the transfers.
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(handle, &dcb)) {
        const DWORD error = GetLastError();
        if (device_gone_error(error)) throw failure("Settings", error);
        throw PortError("line settings refused: " + system_error_text(error),
                        PortTrouble{.device = device_, .system_text = system_error_text(error)});
    }
}

void Win32SerialPort::write_bytes(const std::string& bytes) {
    HANDLE handle = open_handle("Output");
    finish_writes("Output");
    if (bytes.empty()) return;
    auto write = std::make_unique<Write>();
    write->bytes = bytes;
    write->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!write->overlapped.hEvent) throw PortError("Output: " + system_error_text(GetLastError()));
    if (!WriteFile(handle, write->bytes.data(), static_cast<DWORD>(write->bytes.size()), nullptr,
                   &write->overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            CloseHandle(write->overlapped.hEvent);
            throw failure("Output", error);
        }
    }
    // The system holds the bytes and the event until the write is done.
    writes_.push_back(std::move(write));
}

int Win32SerialPort::bytes_waiting() {
    HANDLE handle = open_handle("InBufferCount");
    finish_writes("InBufferCount");
    DWORD errors = 0;
    COMSTAT status{};
    // Line errors (framing, parity, overrun) are cleared and not told: the replies they spoil
    // fail as any wrong reply does.
    if (!ClearCommError(handle, &errors, &status)) throw failure("InBufferCount", GetLastError());
    return static_cast<int>(std::min(arrived_.size() + status.cbInQue, kReceiveBufferBytes));
}

std::string Win32SerialPort::read_all() {
    std::string bytes = std::move(arrived_);
    arrived_.clear();
    const std::string fresh = read_device();
    // Told as they are taken in: this port reads only when the program asks, or early for an
    // observer.
    const std::size_t kept = take_into_receive_buffer(bytes, fresh);
    if (observed() && kept != 0) received(fresh.substr(0, kept));
    return bytes;
}

void Win32SerialPort::take_arrivals() {
    if (handle_ == INVALID_HANDLE_VALUE || device_gone_ || !observed()) return;
    try {
        const std::string fresh = read_device();
        const std::size_t kept = take_into_receive_buffer(arrived_, fresh);
        if (kept != 0) received(fresh.substr(0, kept));
    } catch (const PortError&) {
        // A device gone raises its break event; the program's next transfer meets the failure.
    }
}

std::string Win32SerialPort::read_device() {
    std::string bytes;
    const auto system_waiting = [this] {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(open_handle("Input"), &errors, &status))
            throw failure("Input", GetLastError());
        return static_cast<int>(status.cbInQue);
    };
    finish_writes("Input");
    for (int waiting = system_waiting(); waiting > 0; waiting = system_waiting()) {
        std::string chunk(static_cast<std::size_t>(waiting), '\0');
        Event done;
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        DWORD read = 0;
        if (!ReadFile(handle_, chunk.data(), static_cast<DWORD>(chunk.size()), nullptr,
                      &overlapped)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) throw failure("Input", error);
        }
        // The bytes are there: the read returns at once.
        if (!GetOverlappedResult(handle_, &overlapped, &read, TRUE))
            throw failure("Input", GetLastError());
        if (read == 0) break;
        bytes.append(chunk.data(), read);
    }
    return bytes;
}

double Win32SerialPort::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void Win32SerialPort::require_device(const char* operation) const {
    if (handle_ == INVALID_HANDLE_VALUE || device_gone_) throw gone(operation);
}

HANDLE Win32SerialPort::open_handle(const char* operation) {
    if (handle_ == INVALID_HANDLE_VALUE || device_gone_) throw gone(operation);
    return handle_;
}

void Win32SerialPort::finish_writes(const char* operation) {
    while (!writes_.empty() && HasOverlappedIoCompleted(&writes_.front()->overlapped)) {
        Write& write = *writes_.front();
        DWORD written = 0;
        const BOOL done = GetOverlappedResult(handle_, &write.overlapped, &written, FALSE);
        const DWORD error = done ? ERROR_SUCCESS : GetLastError();
        CloseHandle(write.overlapped.hEvent);
        writes_.pop_front();
        if (!done) throw failure(operation, error);
    }
}

void Win32SerialPort::discard_writes() {
    if (writes_.empty()) return;
    // The system lets go of the bytes only when each write has ended, cancelled or not.
    CancelIo(handle_);
    for (const auto& write : writes_) {
        DWORD written = 0;
        GetOverlappedResult(handle_, &write->overlapped, &written, TRUE);
        CloseHandle(write->overlapped.hEvent);
    }
    writes_.clear();
}

PortError Win32SerialPort::failure(const char* operation, DWORD error) {
    const std::string text = system_error_text(error);
    if (!device_gone_error(error))
        return PortError(std::string(operation) + ": " + text,
                         PortTrouble{.device = device_, .system_text = text});
    if (!device_gone_) {
        device_gone_ = true;
        gone_text_ = text;
        // The event goes to the handler while events are dispatched, never inside the port
        // operation that met the failure. PortOpen stays true until the program closes the port.
        PostMessageW(events_.hwnd(), kBreakMessage, open_count_, 0);
    }
    return gone(operation);
}

PortError Win32SerialPort::gone(const char* operation) const {
    return PortError(
        std::string(operation) + ": the device has gone",
        PortTrouble{.fault = PortFault::Gone, .device = device_, .system_text = gone_text_});
}

void Win32SerialPort::raise_break(unsigned opened) {
    if (opened == open_count_ && PortOpen()) raise_comm_event(kCommEventBreak);
}

}  // namespace r462xe
