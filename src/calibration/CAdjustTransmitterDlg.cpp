#include "calibration/CAdjustTransmitterDlg.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "protocol/CommandFrame.h"
#include "ui/Pictures.h"

CAdjustTransmitterDlg::CAdjustTransmitterDlg(const CLanguageManager& texts, QWidget* parent)
    : CKeyFilterDialog(parent), m_language(texts) {
  m_hideTimer.setInterval(kHideDelayMs);
  connect(&m_hideTimer, &QTimer::timeout, this, [this] { OnTimer(kHideTimerId); });
}

bool CAdjustTransmitterDlg::Create(QWidget* owner) {
  if (m_built) return true;  // created once; later calls find it there
  if (owner != parentWidget()) setParent(owner, windowFlags() | Qt::Dialog);
  if (!m_builder.Build(this, kTemplateId)) return false;
  m_built = true;

  // The picture has no control id; it is the template's only picture.
  for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    if (label->property("controlId").toInt() == -1) {
      label->setPixmap(QPixmap::fromImage(apdesk::TransmitterPicture()));
      break;
    }
  }
  if (auto* ok = m_builder.ControlAs<QPushButton>(1000)) {
    connect(ok, &QPushButton::clicked, this, &CAdjustTransmitterDlg::OnConfirm);
  }
  if (auto* cancel = m_builder.ControlAs<QPushButton>(1019)) {
    connect(cancel, &QPushButton::clicked, this, &CAdjustTransmitterDlg::OnDismiss);
  }

  m_language.ApplyToWindow(this, "flyhint");
  setWindowTitle(m_language.PublicTextForDisplay("LID_TRANSMITTER_CAPTION"));

  hide();
  return true;
}

void CAdjustTransmitterDlg::SetHint(const QString& text) {
  // The hint box breaks lines itself; CR LF pairs from the texts are one break.
  QString plain = text;
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  apdesk::SetControlText(m_builder.Control(1018), plain);
}

void CAdjustTransmitterDlg::ShowWithText(const QString& text) {
  show();
  SetHint(text);
}

void CAdjustTransmitterDlg::OnConfirm() {
  SetHint(m_language.PublicTextForDisplay("LID_HINT_Transmitter4"));
  // With no transport open the frame still goes to the command link, which
  // knows what becomes of it.
  if (m_send) m_send(apdesk::CMD_CALIBRATE_STICKS);
  m_hideTimer.start();  // a running timer starts over
}

void CAdjustTransmitterDlg::OnDismiss() {
  // The timer keeps running; when it fires it hides the hidden window again.
  hide();
}

void CAdjustTransmitterDlg::OnTimer(int timerId) {
  if (timerId != kHideTimerId) return;
  m_hideTimer.stop();
  hide();
}
