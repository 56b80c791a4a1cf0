#pragma once
// The one receive path from the controller to every reader. It is the owner
// of both transports' completion messages, collects their bytes into the
// receive queue (m_rxQueue, inside the sentence parser), cuts sentences out
// of it and tells its readers what arrived through signals: the main window,
// apctl, the upgrade exchange, the plots and the inspector all connect here,
// and none of them touches a transport's buffer or counters.
//
// A USB report goes to the upgrade exchange (UsbReport) before the queue,
// except while Open USB runs (SetUsbOpening), exactly as the main window
// always did. Bytes that come from elsewhere (a replayed record file) enter
// through Feed and meet the same parser.
//
// The sentence pointers handed out are valid only during the signal; the
// signals are meant for direct connections on the thread that owns the link.

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "core/LinkFailure.h"
#include "protocol/SentenceParser.h"

namespace apdesk {

class ITransport;

class ControllerLink : public QObject, private SentenceSink {
  Q_OBJECT

 public:
  // `serial` and `usb` are attached to this link (their completion messages
  // come here); a USB transport's pieces are whole 64-byte reports.
  ControllerLink(ITransport& serial, ITransport& usb, QObject* parent = nullptr);
  ~ControllerLink() override;

  // While set, USB reports are not handed to the upgrade exchange (Open USB
  // with its box running).
  void SetUsbOpening(bool opening) { m_usbOpening = opening; }
  bool UsbOpening() const { return m_usbOpening; }

  // Bytes from a source other than the two transports (replay): queued and
  // parsed as if a device had sent them.
  void Feed(const std::uint8_t* bytes, std::size_t length);

  // While set, what arrives is a replayed record file: shown, never recorded.
  void SetReplaying(bool replaying) { m_replaying = replaying; }
  bool Replaying() const { return m_replaying; }

  const ParserCounters& Counters() const { return m_parser.Counters(); }
  std::uint64_t UsbReports() const { return m_usbReports; }
  const SentenceParser& Parser() const { return m_parser; }

  // The transports' completion messages (dispatched from event()).
  void OnUartReceived();
  void OnUartSent();
  void OnHidReceived();
  void OnHidSent();

 Q_SIGNALS:
  // A "$STP" sentence whose sum holds (99 bytes).
  void StatusSentence(const std::uint8_t* sentence);
  // A "$PAR" sentence (45 bytes), its sum not checked: readers decode it and
  // see the sum themselves (the window refreshes its limit fields either way).
  void ParameterSentence(const std::uint8_t* sentence);
  // A "$TBS" sentence whose sum holds (14 bytes).
  void InstallErrorSentence(const std::uint8_t* sentence);
  // Every sentence taken out, good or bad, with its tag (SentenceTag).
  void SentenceTaken(int tag, const std::uint8_t* sentence, int length, bool good);
  // Every raw 64-byte USB report, before it is parsed, unless opening.
  void UsbReport(const std::uint8_t* report);
  // Bytes were appended and parsed: the counters moved.
  void CountersChanged();
  // The open device or port went away (unplugged, its peer ended), once per
  // loss, with why (a failed read or write).
  void LinkLost(bool serial, apdesk::TransportFailure why);

 protected:
  bool event(QEvent* event) override;

 private:
  void OnStatusSentence(const std::uint8_t* sentence) override;
  void OnParameterSentence(const std::uint8_t* sentence) override;
  void OnInstallErrorSentence(const std::uint8_t* sentence) override;
  void OnSentence(SentenceTag tag, const std::uint8_t* sentence, std::size_t length, bool good) override;
  void ParseSentences();

  void Append(const std::uint8_t* bytes, std::size_t length) { m_parser.Append(bytes, length); }

  ITransport& m_serial;
  ITransport& m_usb;
  SentenceParser m_parser;  // holds the receive queue
  bool m_usbOpening = false;
  bool m_replaying = false;
  std::uint64_t m_usbReports = 0;
};

}  // namespace apdesk
