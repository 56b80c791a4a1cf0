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

#include "app/CommConfig.h"

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

inline constexpr const char* kUartReadFailedText = "串口读操作失败！请重新运行程序！";
inline constexpr const char* kUartWriteFailedText = "串口写操作失败！请重新运行程序！";
}  // namespace apdesk

class CCommUart : public QObject {
  Q_OBJECT

 public:
  using FailureHandler = std::function<void(const std::string& utf8Text)>;

  static constexpr std::uint32_t kBufferSize = 4096;
  static constexpr int kOpenSettleMs = 100;   // twice, in Open
  static constexpr int kCloseSettleMs = 100;  // before the port goes

  CCommUart();
  ~CCommUart() override;
  CCommUart(const CCommUart&) = delete;
  CCommUart& operator=(const CCommUart&) = delete;

  // Called once per failed port with one of the two failure texts; the
  // application shows it and ends the program.
  void SetFailureHandler(FailureHandler handler) { m_failureHandler = std::move(handler); }

  // Attaches the owner of WM_UART_RECEIVED / WM_UART_SENT.
  bool Init(QObject* owner);
  // Closes any open port, opens `portName` (a full path such as /dev/pts/4
  // as it is, a bare name such as ttyUSB0 where the system keeps its ports)
  // with these line settings, and arms a read.
  bool Open(const std::string& portName, const apdesk::LineSettings& line);
  bool Close();
  bool IsOpen() const { return m_port != nullptr; }
  // The port opened last and its line settings, kept after it closed.
  const std::string& LastPortName() const { return m_lastPortName; }
  const apdesk::LineSettings& LastLine() const { return m_lastLine; }

  void ArmRead();
  void CompleteRead();
  void Write(const std::uint8_t* bytes, std::uint32_t length);
  void CompleteWrite();

  // The owner reads m_rxBuffer from m_rxConsumed to m_rxFill, then sets both
  // counters to 0. The rest is the transport's own state, readable for tests.
  std::int32_t m_readsPending = 0;
  std::uint8_t m_txBuffer[kBufferSize] = {};
  std::uint32_t m_txSent = 0;
  std::uint32_t m_txFill = 0;
  std::uint8_t m_rxBuffer[kBufferSize] = {};
  std::uint32_t m_rxConsumed = 0;
  std::uint32_t m_rxFill = 0;

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
  void ReportFailure(const char* text);
  void ApplyLineSettings(const apdesk::LineSettings& line);

  QPointer<QObject> m_owner;
  FailureHandler m_failureHandler;
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
