#pragma once
// Why a transport gave up, and how that is worded. The transports report the
// code; whoever shows it (a window, apctl) turns it into a text: the language
// file's text under the key, or the built-in text the program has always
// shown when the file has none.

namespace apdesk {

enum class TransportFailure {
  ReadFailed,   // the device or port went away while reading
  WriteFailed,  // ...while writing
  OpenFailed,   // the device is present but would not open
  OutOfMemory,  // the device could not be set up
};

struct FailureWords {
  const char* key = nullptr;      // in the language file's [public] section
  const char* builtIn = nullptr;  // UTF-8
};

// The words for a failure of the serial port (`serial`) or the USB device.
// A USB device that went away has none: the status line says it is lost.
inline FailureWords WordsFor(TransportFailure why, bool serial) {
  switch (why) {
    case TransportFailure::ReadFailed:
      if (serial) return {"LID_PUB_UART_READFAILED", "串口读操作失败！请重新运行程序！"};
      return {};
    case TransportFailure::WriteFailed:
      if (serial) return {"LID_PUB_UART_WRITEFAILED", "串口写操作失败！请重新运行程序！"};
      return {};
    case TransportFailure::OpenFailed:
      return {"LID_PUB_HID_OPENFAILED", "读访问打开设备失败!"};
    case TransportFailure::OutOfMemory:
      return {"LID_PUB_HID_NOMEMORY", "内存不足!"};
  }
  return {};
}

}  // namespace apdesk
