#pragma once
// The four completion messages of the transports, as Qt events posted to the
// owner window. They carry no data: the bytes stay in the transport's buffer
// and the owner's handler fetches them.

#include <QEvent>

#include <cstdint>

namespace apdesk {

inline constexpr QEvent::Type WM_UART_RECEIVED = static_cast<QEvent::Type>(0x500);
inline constexpr QEvent::Type WM_UART_SENT = static_cast<QEvent::Type>(0x501);
inline constexpr QEvent::Type WM_HID_RECEIVED = static_cast<QEvent::Type>(0x600);
inline constexpr QEvent::Type WM_HID_SENT = static_cast<QEvent::Type>(0x601);
// The open HID device failed a read: it is gone (unplugged, its peer ended).
inline constexpr QEvent::Type WM_HID_LOST = static_cast<QEvent::Type>(0x602);

inline bool IsLinkEvent(const QEvent* event) {
  const int type = event->type();
  return type == WM_UART_RECEIVED || type == WM_UART_SENT || type == WM_HID_RECEIVED || type == WM_HID_SENT ||
         type == WM_HID_LOST;
}

// For an owner's event(): calls the matching On... handler when the owner has
// one and tells whether the event was one of the four.
//   bool CSetApDlg::event(QEvent* e) { return DispatchLinkEvent(*this, e) || QDialog::event(e); }
template <class Owner>
bool DispatchLinkEvent(Owner& owner, QEvent* event) {
  switch (static_cast<int>(event->type())) {
    case WM_UART_RECEIVED:
      if constexpr (requires { owner.OnUartReceived(); }) owner.OnUartReceived();
      return true;
    case WM_UART_SENT:
      if constexpr (requires { owner.OnUartSent(); }) owner.OnUartSent();
      return true;
    case WM_HID_RECEIVED:
      if constexpr (requires { owner.OnHidReceived(); }) owner.OnHidReceived();
      return true;
    case WM_HID_SENT:
      if constexpr (requires { owner.OnHidSent(); }) owner.OnHidSent();
      return true;
    case WM_HID_LOST:
      if constexpr (requires { owner.OnHidLost(); }) owner.OnHidLost();
      return true;
    default:
      return false;
  }
}

// A transport's own completion record: posted to the transport itself, which
// drops it when it belongs to a port or device closed since, and otherwise
// hands the plain message to the owner.
class LinkCompletionEvent : public QEvent {
 public:
  LinkCompletionEvent(QEvent::Type type, std::uint64_t generation) : QEvent(type), m_generation(generation) {}
  std::uint64_t Generation() const { return m_generation; }

 private:
  const std::uint64_t m_generation;
};

}  // namespace apdesk
