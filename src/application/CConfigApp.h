#pragma once
// The application object: lives for the whole process, knows the
// application folder and the settings file, and holds the one session with
// the controller (link/ControllerSession.h).

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/LinkFailure.h"
#include "core/SettingsStore.h"
#include "link/ControllerSession.h"
#include "localisation/CLanguageManager.h"

class CConfigApp {
 public:
  // executablePath is the program's own full path (argv[0] resolved, or
  // QCoreApplication::applicationFilePath()).
  // hidBackend plays the USB device (hidapi, the simulated controller, a
  // socket peer); null leaves the HID link without one until SetBackend.
  explicit CConfigApp(const std::string& executablePath,
                      std::unique_ptr<apdesk::IHidBackend> hidBackend = nullptr);
  ~CConfigApp();

  CConfigApp(const CConfigApp&) = delete;
  CConfigApp& operator=(const CConfigApp&) = delete;

  // The one process-wide object: nullptr when none is alive.
  static CConfigApp* Instance();

  // With its trailing '/', or "./".
  const std::string& AppFolder() const { return m_appFolder; }
  const std::string& SettingsPath() const { return m_settings.Path(); }

  // Caption of message boxes that bring none: the executable's name
  // without its extension.
  QString Title() const { return m_title; }

  std::string GetSettingString(std::string_view section, std::string_view key,
                               std::string_view def = {}) const {
    return m_settings.GetSettingString(section, key, def);
  }
  bool WriteSettingString(std::string_view section, std::string_view key, std::string_view value) {
    return m_settings.WriteSettingString(section, key, value);
  }
  int GetSettingInt(std::string_view section, std::string_view key, int def) const {
    return m_settings.GetSettingInt(section, key, def);
  }
  bool WriteSettingInt(std::string_view section, std::string_view key, int value) {
    return m_settings.WriteSettingInt(section, key, value);
  }
  std::optional<std::vector<std::uint8_t>> GetSettingBinary(std::string_view section,
                                                            std::string_view key) const {
    return m_settings.GetSettingBinary(section, key);
  }
  bool WriteSettingBinary(std::string_view section, std::string_view key, const std::uint8_t* data,
                          std::size_t n) {
    return m_settings.WriteSettingBinary(section, key, data, n);
  }

  apdesk::SettingsStore& Settings() { return m_settings; }
  apdesk::ControllerSession& Session() { return m_session; }
  // The windows' texts in the process's language, read at start.
  const CLanguageManager& Texts() const { return m_texts; }

 private:
  std::string m_appFolder;
  QString m_title;
  apdesk::SettingsStore m_settings;
  CLanguageManager m_texts;
  apdesk::ControllerSession m_session;
};

// A transport's failure (of the serial port when `serial`) in the windows'
// language: the file's text under the failure's key, or the built-in text;
// empty for a USB device that went away (the status line says so).
QString LinkFailureText(const CLanguageManager& texts, apdesk::TransportFailure why, bool serial);

// The executable's file name without its extension ("apdesk" for
// /usr/bin/apdesk, "x" for C:/Tools/x.exe).
QString ApplicationTitleFromPath(const std::string& executablePath);
