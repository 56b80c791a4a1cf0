#pragma once
// Stands in for the speech engine: keeps every text it is asked to say and
// finishes one when the test says so.

#include <QStringList>

#include <memory>

#include "alerts/SpeechOutput.h"

namespace testsupport {

class SpeechStandIn : public apdesk::SpeechOutput {
 public:
  struct Record {
    QStringList said;
    int stops = 0;
    bool voice = true;
    SpeechStandIn* live = nullptr;
  };
  explicit SpeechStandIn(std::shared_ptr<Record> record) : m_record(std::move(record)) {
    m_record->live = this;
  }
  ~SpeechStandIn() override { m_record->live = nullptr; }

  bool HasVoice(const QLocale&) override { return m_record->voice; }
  void Say(const QString& text, const QLocale&) override { m_record->said << text; }
  void Stop() override {
    ++m_record->stops;
    Finished();
  }
  void FinishSaying() { Finished(); }

  // A factory for AlertSpeaker that records into `record`.
  static apdesk::SpeechOutputFactory Factory(std::shared_ptr<Record> record) {
    return [record] { return std::make_unique<SpeechStandIn>(record); };
  }

 private:
  std::shared_ptr<Record> m_record;
};

}  // namespace testsupport
