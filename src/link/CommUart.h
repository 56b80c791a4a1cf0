#pragma once
// The serial transport. Reads and writes never block the user-interface
// thread: the port's readiness arrives as WM_UART_RECEIVED and WM_UART_SENT,
// and the owner's handlers collect the bytes with CompleteRead and
// CompleteWrite, as with any other completion.
//
// At most one read is outstanding (m_readsPending) and one write in flight;
// frames written meanwhile are appended to the transmit buffer and go out
// together when the write completes.

#include <QObject>
#include <QPointer>
#include <QSerialPort>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/CommConfig.h"
#include "link/Transport.h"

namespace apdesk {

// The stored line settings as the port takes them; a field left empty holds
// a value the port has no setting for and is not applied.
struct UartLineSetup {
  std::optional<qint32> baudRate;
  std::optional<QSerialPort::DataBits> dataBits;
  std::optional<QSerialPort::Parity> parity;
  std::optional<QSerialPort::StopBits> stopBits;
  QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;
  bool dataTerminalReady = true;
  std::optional<bool> requestToSend;  // only without hardware flow control
};
UartLineSetup UartLineSetupFor(const LineSettings& line);

}  // namespace apdesk

class CCommUart : public QObject, public apdesk::ITransport {
  Q_OBJECT

 public:
  using FailureHandler = std::function<void(apdesk::TransportFailure why)>;

  static constexpr std::uint32_t kBufferSize = 4096;
  static constexpr int kOpenSettleMs = 100;   // twice, in Open
  static constexpr int kCloseSettleMs = 100;  // before the port goes

  CCommUart();
  ~CCommUart() override;
  CCommUart(const CCommUart&) = delete;
  CCommUart& operator=(const CCommUart&) = delete;

  // Called once per failed port with why (a read or a write): whoever
  // shows it words it.
  void SetFailureHandler(FailureHandler handler) { m_failureHandler = std::move(handler); }

  // Attaches the owner of WM_UART_RECEIVED / WM_UART_SENT.
  bool Init(QObject* owner);
  // Closes any open port, opens `portName` (a full path such as /dev/pts/4
  // as it is, a bare name such as ttyUSB0 where the system keeps its ports)
  // with these line settings, and arms a read.
  bool Open(const std::string& portName, const apdesk::LineSettings& line);
  void Close() override;
  bool IsOpen() const override { return m_port != nullptr; }
  // The port opened last and its line settings, kept after it closed.
  const std::string& LastPortName() const { return m_lastPortName; }
  const apdesk::LineSettings& LastLine() const { return m_lastLine; }

  void ArmRead();
  void CompleteRead();
  void CompleteWrite();

  // The transport as the receive path and the command link see it.
  void Attach(QObject* owner, LostHandler lost) override;
  void Write(const std::uint8_t* bytes, std::size_t length) override;
  void TakeArrived(const Arrived& arrived) override;
  void WriteDone() override { CompleteWrite(); }

  // The transport's own state, readable for tests.
  std::int32_t ReadsPending() const { return m_readsPending; }
  std::uint32_t TxSent() const { return m_txSent; }
  std::uint32_t TxFill() const { return m_txFill; }
  const std::uint8_t* TxBuffer() const { return m_txBuffer; }

 protected:
  bool event(QEvent* event) override;

 private:
  enum class LineFailure { None, Pending, Delivered };

  void OnReadyRead();
  void OnBytesWritten(qint64 bytes);
  void OnPortError(int error);
  bool LineHungUp() const;
  void PostRead();
  void PostWrite();
  bool StartWrite();
  void ReportFailure(apdesk::TransportFailure why);
  void ApplyLineSettings(const apdesk::LineSettings& line);

  QPointer<QObject> m_owner;
  FailureHandler m_failureHandler;
  LostHandler m_lost;

  std::int32_t m_readsPending = 0;
  std::uint8_t m_txBuffer[kBufferSize] = {};
  std::uint32_t m_txSent = 0;
  std::uint32_t m_txFill = 0;
  std::uint8_t m_rxBuffer[kBufferSize] = {};
  std::uint32_t m_rxConsumed = 0;
  std::uint32_t m_rxFill = 0;
  QSerialPort* m_port = nullptr;

  std::uint64_t m_generation = 0;  // counts opens; messages of a closed port are dropped
  bool m_readArmed = false;        // a read waits on the open port
  bool m_readPosted = false;       // ...and its completion is on its way
  std::uint32_t m_txInFlight = 0;  // bytes from m_txSent handed to the port, not yet written
  std::uint64_t m_txWritten = 0;   // bytes the port wrote since the last CompleteWrite
  bool m_writePosted = false;
  LineFailure m_lineFailure = LineFailure::None;
  bool m_failureReported = false;
  int m_emptyWakeUps = 0;  // errors in a row on a line that is still there
  std::string m_lastPortName;
  apdesk::LineSettings m_lastLine;
};
