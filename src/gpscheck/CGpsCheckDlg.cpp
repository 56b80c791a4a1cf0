#include "gpscheck/CGpsCheckDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "gpscheck/CCompassDial.h"
#include "link/ControllerSession.h"
#include "protocol/StatusSentence.h"

namespace {

// The fields a sentence fills, in the order they are set.
constexpr int kFieldIds[] = {1018, 1007, 1020, 1019, 1021, 1022, 1023, 1024};

QString Text(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

CGpsCheckDlg::CGpsCheckDlg(const CLanguageManager& texts, QWidget* parent)
    : QDialog(parent), m_language(texts) {}

bool CGpsCheckDlg::Create() {
  if (m_built) return true;
  if (!m_builder.Build(this, kTemplateId)) return false;
  m_built = true;
  m_dial = m_builder.Replace<CCompassDial>(kDial);
  if (auto* label = m_builder.ControlAs<QLabel>(kResultLabel)) label->setAutoFillBackground(true);
  if (auto* on = m_builder.ControlAs<QPushButton>(1000)) {
    connect(on, &QPushButton::clicked, this, &CGpsCheckDlg::OnCompassCheckOn);
  }
  if (auto* off = m_builder.ControlAs<QPushButton>(1002)) {
    connect(off, &QPushButton::clicked, this, &CGpsCheckDlg::OnCompassCheckOff);
  }
  ApplyLanguage();
  ApplyResultColour();
  return true;
}

void CGpsCheckDlg::ApplyLanguage() {
  m_language.ApplyToWindow(this, "gpscheck");
  const QString caption = m_language.PublicTextForDisplay("LID_GPS_CAPTION");
  if (!caption.isEmpty()) setWindowTitle(caption);
  for (std::int32_t result : {apdesk::kCompassUndecided, apdesk::kCompassGood, apdesk::kCompassWrong}) {
    m_verdicts[result] = m_language.Text(apdesk::CompassResultKey(result), apdesk::CompassResultText(result));
  }
}

int CGpsCheckDlg::RunModal() {
  if (!Create()) {
    m_checkActive = 0;
    return -1;
  }
  // Each opening looks like a new window; only the judgement lives on.
  for (int id : kFieldIds) apdesk::SetControlText(m_builder.Control(id), QString());
  apdesk::SetControlText(m_builder.Control(kResultLabel), QString());
  ApplyResultColour();
  const int result = exec();
  m_checkActive = 0;  // also when exec() could not show the window
  return result;
}

void CGpsCheckDlg::Listen(apdesk::ControllerSession& session) {
  connect(&session, &apdesk::ControllerSession::StatusSentence, this, [this](const std::uint8_t* s) {
    if (m_checkActive) ShowGpsRecord(s);
  });
}

void CGpsCheckDlg::ShowGpsRecord(const std::uint8_t* sentence) {
  if (!Create() || sentence == nullptr) return;
  const apdesk::GpsView t = apdesk::DecodeGpsFields(sentence);
  const std::string* texts[] = {&t.longitudeText, &t.latitudeText, &t.headingText,   &t.satellitesText,
                                &t.dateTimeText,  &t.pdopText,     &t.velocityXText, &t.velocityYText};
  for (std::size_t i = 0; i < std::size(kFieldIds); ++i)
    apdesk::SetControlText(m_builder.Control(kFieldIds[i]), Text(*texts[i]));

  if (m_dial) {
    m_dial->m_heading = t.headingDegrees;
    m_dial->update();
  }
  m_judgement.AddHeading(t.headingDegrees);
  const std::int32_t result = m_judgement.Result();
  apdesk::SetControlText(m_builder.Control(kResultLabel),
                         m_verdicts[result >= 0 && result <= 2 ? result : apdesk::kCompassUndecided]);
  ApplyResultColour();
}

void CGpsCheckDlg::ApplyResultColour() {
  auto* label = m_builder.ControlAs<QLabel>(kResultLabel);
  if (!label) return;
  QColor background(255, 255, 0);
  if (m_judgement.Result() == apdesk::kCompassGood) background = QColor(0, 255, 0);
  if (m_judgement.Result() == apdesk::kCompassWrong) background = QColor(255, 0, 0);
  QPalette pal = label->palette();
  pal.setColor(QPalette::Window, background);
  pal.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(pal);
}

void CGpsCheckDlg::OnCompassCheckOn() {
  if (m_send) m_send(apdesk::BuildCompassCheckOnFrame());
}

void CGpsCheckDlg::OnCompassCheckOff() {
  if (m_send) m_send(apdesk::BuildCompassCheckOffFrame());
}

void CGpsCheckDlg::done(int result) {
  m_checkActive = 0;
  QDialog::done(result);
}

void CGpsCheckDlg::keyPressEvent(QKeyEvent* event) {
  // Enter closes the window as OK unless a button has the focus (then it
  // presses that button, as the standard dialog keys do).
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && event->modifiers() == Qt::NoModifier && !qobject_cast<QPushButton*>(focusWidget())) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
