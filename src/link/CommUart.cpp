#include "link/CommUart.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include <poll.h>

#include <cerrno>

#include "core/CommConfig.h"
#include "link/LinkEvents.h"

using namespace apdesk;

namespace {

// Errors in a row, without a byte between them, on a line that has not hung
// up, before the line counts as failed.
constexpr int kMaxEmptyWakeUps = 1000;

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

UartLineSetup apdesk::UartLineSetupFor(const LineSettings& line) {
  UartLineSetup s;
  if (line.baudRate > 0 && line.baudRate <= 0x7FFFFFFF) s.baudRate = static_cast<qint32>(line.baudRate);
  if (line.dataBits >= 5 && line.dataBits <= 8)
    s.dataBits = static_cast<QSerialPort::DataBits>(line.dataBits);
  static constexpr QSerialPort::Parity kParities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                      QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                      QSerialPort::SpaceParity};
  if (line.parity < 5) s.parity = kParities[line.parity];
  static constexpr QSerialPort::StopBits kStops[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                     QSerialPort::TwoStop};
  if (line.stopBits < 3) s.stopBits = kStops[line.stopBits];
  const bool hardwareFlow = line.outxCtsFlow || line.rtsControl == 2;
  const bool softwareFlow = line.outX || line.inX;
  s.flowControl = hardwareFlow   ? QSerialPort::HardwareControl
                  : softwareFlow ? QSerialPort::SoftwareControl
                                 : QSerialPort::NoFlowControl;
  s.dataTerminalReady = line.dtrControl != 0;
  if (!hardwareFlow) s.requestToSend = line.rtsControl == 1 || line.rtsControl == 3;
  return s;
}

CCommUart::CCommUart() = default;

CCommUart::~CCommUart() {
  if (m_port != nullptr) {
    m_port->disconnect(this);
    delete m_port;
  }
}

bool CCommUart::Init(QObject* owner) {
  m_owner = owner;
  return true;
}

void CCommUart::Attach(QObject* owner, LostHandler lost) {
  m_owner = owner;
  m_lost = std::move(lost);
}

void CCommUart::TakeArrived(const Arrived& arrived) {
  CompleteRead();
  if (m_rxFill > m_rxConsumed && arrived) arrived(m_rxBuffer + m_rxConsumed, m_rxFill - m_rxConsumed);
  m_rxConsumed = 0;
  m_rxFill = 0;
  ArmRead();
}

bool CCommUart::Open(const std::string& name, const LineSettings& line) {
  Close();
  auto* port = new QSerialPort(this);
  // A full path (/dev/pts/4) is taken as it is, a bare name (ttyUSB0, COM3)
  // is looked for where the system keeps its ports.
  port->setPortName(QString::fromStdString(name));
  if (!port->open(QIODevice::ReadWrite)) {
    delete port;
    return false;
  }
  m_port = port;
  ++m_generation;
  m_lastPortName = name;
  m_lastLine = line;
  ApplyLineSettings(line);
  // Errors of the settings above (a pseudo-terminal has no modem lines) are
  // not failures of the line.
  m_port->clearError();
  connect(m_port, &QSerialPort::readyRead, this, &CCommUart::OnReadyRead);
  connect(m_port, &QSerialPort::bytesWritten, this, &CCommUart::OnBytesWritten);
  connect(m_port, &QSerialPort::errorOccurred, this,
          [this](QSerialPort::SerialPortError error) { OnPortError(static_cast<int>(error)); });

  m_readsPending = 0;
  m_txFill = m_txSent = 0;
  m_rxFill = m_rxConsumed = 0;
  m_readArmed = m_readPosted = m_writePosted = false;
  m_txInFlight = 0;
  m_txWritten = 0;
  m_lineFailure = LineFailure::None;
  m_failureReported = false;
  m_emptyWakeUps = 0;
  Pause(kOpenSettleMs);
  Pause(kOpenSettleMs);
  ArmRead();
  return true;
}

void CCommUart::ApplyLineSettings(const LineSettings& line) {
  const UartLineSetup setup = UartLineSetupFor(line);

  // The 4096-byte input queue of the line; the output side is bounded by
  // our own transmit buffer.
  m_port->setReadBufferSize(kBufferSize);
  if (setup.baudRate) m_port->setBaudRate(*setup.baudRate);
  if (setup.dataBits) m_port->setDataBits(*setup.dataBits);
  if (setup.parity) m_port->setParity(*setup.parity);
  if (setup.stopBits) m_port->setStopBits(*setup.stopBits);
  m_port->setFlowControl(setup.flowControl);
  m_port->setDataTerminalReady(setup.dataTerminalReady);
  if (setup.requestToSend) m_port->setRequestToSend(*setup.requestToSend);
}

void CCommUart::Close() {
  if (m_port == nullptr) return;
  Pause(kCloseSettleMs);
  // The outstanding read ends as cancelled: one more WM_UART_RECEIVED, whose
  // collection finds no bytes and reports nothing. A write in flight is
  // dropped with the port.
  if (m_readArmed && !m_readPosted) PostRead();
  m_readArmed = false;
  m_txInFlight = 0;
  m_txWritten = 0;
  m_port->disconnect(this);
  m_port->close();
  delete m_port;
  m_port = nullptr;
}

void CCommUart::ArmRead() {
  if (m_readsPending != 0) return;
  if (m_rxConsumed > 0 && m_rxConsumed < m_rxFill) {
    std::memmove(m_rxBuffer, m_rxBuffer + m_rxConsumed, m_rxFill - m_rxConsumed);
    m_rxFill -= m_rxConsumed;
    m_rxConsumed = 0;
  } else if (m_rxConsumed == m_rxFill) {
    m_rxFill = m_rxConsumed = 0;
  }
  m_readsPending += 1;
  // With no port the read fails at once, unreported; it stays pending until
  // the next Open, so no further messages come.
  if (m_port == nullptr) return;
  m_readArmed = true;
  if (m_port->bytesAvailable() > 0 || m_lineFailure == LineFailure::Pending) PostRead();
}

void CCommUart::CompleteRead() {
  if (m_readsPending == 0) return;  // nothing outstanding to collect
  m_readsPending -= 1;
  const bool live = m_readArmed && m_port != nullptr;
  m_readArmed = false;
  m_readPosted = false;
  if (!live) return;  // cancelled by Close: no bytes, no message
  if (m_lineFailure == LineFailure::Pending) {
    m_lineFailure = LineFailure::Delivered;
    ReportFailure(TransportFailure::ReadFailed);
    return;
  }
  if (m_lineFailure == LineFailure::Delivered) return;
  // Every waiting byte that fits, not one per read: the parser sees the
  // same sentences with far fewer messages.
  const qint64 n = m_port->read(reinterpret_cast<char*>(m_rxBuffer + m_rxFill), kBufferSize - m_rxFill);
  if (n < 0) {
    m_lineFailure = LineFailure::Delivered;
    ReportFailure(TransportFailure::ReadFailed);
    return;
  }
  if (n > 0) m_emptyWakeUps = 0;
  m_rxFill += static_cast<std::uint32_t>(n);
}

void CCommUart::Write(const std::uint8_t* bytes, std::size_t length) {
  if (m_port == nullptr) return;
  if (m_txSent == m_txFill) m_txSent = m_txFill = 0;
  // Nothing is written past the buffer: a write that does not fit is dropped whole.
  if (length > kBufferSize - m_txFill) return;
  const bool idle = m_txFill == 0;
  std::memcpy(m_txBuffer + m_txFill, bytes, length);
  m_txFill += static_cast<std::uint32_t>(length);
  if (idle && m_txFill - m_txSent > 0 && !StartWrite()) ReportFailure(TransportFailure::WriteFailed);
}

bool CCommUart::StartWrite() {
  if (m_lineFailure != LineFailure::None) {
    // The bytes stay unwritten; a failure not yet told is told by this write.
    if (m_lineFailure == LineFailure::Pending) PostWrite();
    return true;
  }
  // Bytes already handed to the port are its own until written; only the rest goes.
  const std::uint32_t from = m_txSent + m_txInFlight;
  const std::uint32_t n = m_txFill - from;
  if (n == 0) return true;
  const qint64 taken = m_port->write(reinterpret_cast<const char*>(m_txBuffer + from), n);
  if (taken != static_cast<qint64>(n)) {
    m_lineFailure = LineFailure::Delivered;
    return false;
  }
  m_txInFlight += n;
  return true;
}

void CCommUart::CompleteWrite() {
  m_writePosted = false;
  if (m_port == nullptr) return;
  if (m_lineFailure == LineFailure::Pending) {
    m_lineFailure = LineFailure::Delivered;
    ReportFailure(TransportFailure::WriteFailed);
    return;
  }
  const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_txWritten, m_txInFlight));
  m_txWritten = 0;
  m_txInFlight -= n;
  m_txSent += n;
  if (m_txSent == m_txFill) return;  // all written; the next Write resets the counters
  // A partial write: the rest moves to the front and goes on.
  m_txFill -= m_txSent;
  std::memmove(m_txBuffer, m_txBuffer + m_txSent, m_txFill);
  m_txSent = 0;
  if (!StartWrite()) ReportFailure(TransportFailure::WriteFailed);
}

void CCommUart::OnReadyRead() {
  if (m_readArmed) PostRead();
}

void CCommUart::OnBytesWritten(qint64 bytes) {
  if (bytes <= 0) return;
  m_txWritten += static_cast<std::uint64_t>(bytes);
  PostWrite();
}

void CCommUart::OnPortError(int error) {
  switch (static_cast<QSerialPort::SerialPortError>(error)) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
      break;
    default:
      return;  // settings the line does not support, time-outs: not failures of the line
  }
  if (m_lineFailure != LineFailure::None) return;
  // A wake-up that finds no bytes (another reader took them, the line was
  // flushed) reads as an error too, and the port stops watching the line.
  // While the line has not hung up it is still there: the next read watches
  // it again. Only an endless run of them counts as a failure.
  if (!LineHungUp() && ++m_emptyWakeUps < kMaxEmptyWakeUps) {
    m_port->clearError();
    if (m_readArmed) PostRead();
    return;
  }
  m_lineFailure = LineFailure::Pending;
  // The line is gone for good: stop its notifications so the failure is
  // seen once, then let the outstanding transfer report it.
  m_port->disconnect(this);
  const std::uint64_t generation = m_generation;
  QMetaObject::invokeMethod(
      this,
      [this, generation] {
        if (m_port != nullptr && m_generation == generation) m_port->close();
      },
      Qt::QueuedConnection);
  if (m_readArmed) {
    PostRead();
  } else if (m_txInFlight > 0) {
    PostWrite();
  }
}

bool CCommUart::LineHungUp() const {
  const int fd = static_cast<int>(m_port->handle());
  if (fd < 0) return true;
  pollfd p{fd, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void CCommUart::PostRead() {
  if (m_readPosted) return;
  m_readPosted = true;
  QCoreApplication::postEvent(this, new LinkCompletionEvent(WM_UART_RECEIVED, m_generation));
}

void CCommUart::PostWrite() {
  if (m_writePosted) return;
  m_writePosted = true;
  QCoreApplication::postEvent(this, new LinkCompletionEvent(WM_UART_SENT, m_generation));
}

bool CCommUart::event(QEvent* event) {
  const auto* completion = dynamic_cast<const LinkCompletionEvent*>(event);
  if (completion == nullptr || (event->type() != WM_UART_RECEIVED && event->type() != WM_UART_SENT)) {
    return QObject::event(event);
  }
  if (completion->Generation() == m_generation && m_owner) {
    QEvent message(event->type());
    QCoreApplication::sendEvent(m_owner, &message);
  }
  return true;
}

void CCommUart::ReportFailure(TransportFailure why) {
  if (m_failureReported) return;
  m_failureReported = true;
  if (m_failureHandler) m_failureHandler(why);
  if (m_lost) m_lost(why);
}
