// The "Set Parameters" group: a valid "$PAR" sentence fills the controls;
// Get asks for the parameters, Send writes them back (bytes the tool does not
// show are carried over from the kept sentence), Default restores the
// controller's defaults and asks again.
#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <variant>

#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"
#include "params/ParameterFile.h"
#include "ui/MessageBoxes.h"

using apdesk::BoxAnswer;
using apdesk::BoxButtons;
using apdesk::BoxIcon;
using apdesk::MessageBoxes;
using apdesk::ParameterRefusal;

namespace {

void Select(QComboBox* list, int index) {
  // An index the list does not have leaves it without a selection.
  if (list) list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

std::string TextOf(const QLineEdit* edit) {
  return edit ? edit->text().toStdString() : std::string();
}
int IndexOf(const QComboBox* list) {
  return list ? list->currentIndex() : -1;
}

}  // namespace

void CSetApDlg::FillParameterLists() {
  for (const apdesk::ParameterFacts& facts : apdesk::ParameterTable()) {
    QComboBox* list = facts.listControl ? Combo(facts.listControl) : nullptr;
    if (!list) continue;
    const QString unit = facts.unitKey ? m_language.Text(facts.unitKey) : QString();
    QStringList items;
    for (const apdesk::ParameterChoice& c : facts.choices) {
      // Codes without a word have no entry of their own.
      if (!c.word) break;
      items << (c.textKey ? m_language.Text(c.textKey) : QString::fromUtf8(c.word) + unit);
    }
    if (facts.id == apdesk::ParameterId::MaxSpeed) items << m_language.Text("LID_PUB_DEFINE");
    list->clear();
    list->addItems(items);
  }
  // Unit, allowed values and what the parameter does, on its label and control.
  for (const apdesk::ParameterFacts& facts : apdesk::ParameterTable()) {
    QString tip = m_language.Text(facts.descriptionKey);
    if (facts.unitKey) tip += "\n" + m_language.Text("LID_TIP_UNIT").arg(m_language.Text(facts.unitKey));
    // A list shows its choices itself.
    if (facts.encoding != apdesk::ParameterEncoding::Choice)
      tip += "\n" + m_language.Text("LID_TIP_RANGE").arg(facts.lowestText, facts.highestText);
    for (int id : {facts.labelControl, facts.listControl, facts.editControl}) {
      if (QWidget* control = id ? Control(id) : nullptr) control->setToolTip(tip);
    }
  }
}

void CSetApDlg::DecodeParameterSentence(const std::uint8_t* sentence45) {
  const std::optional<apdesk::ParameterView> view = apdesk::DecodeParameterSentence(sentence45);
  if (view) {
    m_lastParams = view->sentence;
    m_paramsValid = true;
    m_paramsReadAt = QTime::currentTime();
    if (view->verticalSpeedIndex) Select(Combo(1160), *view->verticalSpeedIndex);
    if (view->failSafeIndex) Select(Combo(1163), *view->failSafeIndex);
    SetEditText(1156, view->swayCompensationText);
    SetEditText(1140, view->rollSensitivityText);
    SetEditText(1154, view->pitchSensitivityText);
    SetEditText(1149, view->cellCountText);
    SetEditText(1153, view->aircraftTypeCodeText);
    Select(Combo(1159), view->aircraftTypeIndex);
    UpdateAircraftPicture();
    m_altitudeLimit = view->altitudeLimit;
    m_distanceLimit = view->distanceLimit;
    if (QWidget* user = Control(1158)) user->hide();
    Select(Combo(1139), view->maxSpeedIndex);
    if (view->userSpeedShown) {
      SetEditText(1158, view->userSpeedText);
      if (QWidget* user = Control(1158)) user->show();
    }
    Select(Combo(1016), view->voltAlertIndex);
    Select(Combo(1155), view->servoFrequencyIndex);
    SetEditText(1144, view->gimbalRollText);
    SetEditText(1157, view->gimbalPitchText);
    if (const std::optional<apdesk::Parameters> p = apdesk::DecodeParameters(sentence45)) TakeReadBack(*p);
    CheckSentParameters();
  }
  // On both outcomes the limit fields show the members again.
  SetEditText(1150, std::to_string(m_altitudeLimit));
  SetEditText(1151, std::to_string(m_distanceLimit));
}

apdesk::ParameterInputs CSetApDlg::ReadParameterInputs() const {
  apdesk::ParameterInputs in;
  in.gimbalRollText = TextOf(Edit(1144));
  in.gimbalPitchText = TextOf(Edit(1157));
  in.rollSensitivityText = TextOf(Edit(1140));
  in.pitchSensitivityText = TextOf(Edit(1154));
  in.swayCompensationText = TextOf(Edit(1156));
  in.userSpeedText = TextOf(Edit(1158));
  in.cellCountText = TextOf(Edit(1149));
  in.altitudeLimitText = TextOf(Edit(1150));
  in.distanceLimitText = TextOf(Edit(1151));
  in.servoFrequencyIndex = IndexOf(Combo(1155));
  in.maxSpeedIndex = IndexOf(Combo(1139));
  in.verticalSpeedIndex = IndexOf(Combo(1160));
  in.voltAlertIndex = IndexOf(Combo(1016));
  in.failSafeIndex = IndexOf(Combo(1163));
  in.aircraftTypeIndex = IndexOf(Combo(1159));
  return in;
}

void CSetApDlg::OnGetParams() {
  m_app.Session().Commands().SendGetParameters();
}

void CSetApDlg::OnSendParams() {
  const apdesk::BuildResult result =
      apdesk::BuildParameterBlock(ReadParameterInputs(), m_lastParams, m_paramsValid);
  if (const auto* refusal = std::get_if<ParameterRefusal>(&result)) {
    ShowRefusal(*refusal);
    return;
  }
  const auto& built = std::get<apdesk::BuiltParameters>(result);
  if (!SnapshotBeforeWrite("send")) return;
  m_altitudeLimit = built.altitudeLimit;
  m_distanceLimit = built.distanceLimit;
  m_app.Session().Commands().SendParameters(built.block);
  // Read back, as apctl does, and say on the status line whether the
  // controller took what was sent. It needs the pause before it answers.
  m_sendCheck.reset();
  m_sendCheckTimer.stop();
  QTimer::singleShot(kDefaultPauseMs, this, [this, block = built.block] {
    m_sendCheck = block;
    m_app.Session().Commands().SendGetParameters();
    m_sendCheckTimer.start(kReadBackWaitMs);
  });
}

void CSetApDlg::CheckSentParameters() {
  if (!m_sendCheck) return;
  const apdesk::ParameterBlock sent = *m_sendCheck;
  m_sendCheck.reset();
  m_sendCheckTimer.stop();
  const std::vector<std::string> differing = apdesk::CompareReadBack(sent, m_lastParams);
  QString text = m_language.Text(differing.empty() ? "LID_SEND_CONFIRMED" : "LID_SEND_DIFFERENT");
  if (!differing.empty()) {
    QStringList names;
    for (const std::string& d : differing) names << QString::fromStdString(d);
    text.replace("%1", names.join("; "));
  }
  if (QStatusBar* line = StatusLine()) line->showMessage(text, kConnectionNoteMs);
}

void CSetApDlg::SendCheckTimedOut() {
  if (!m_sendCheck) return;
  m_sendCheck.reset();
  if (QStatusBar* line = StatusLine())
    line->showMessage(m_language.Text("LID_SEND_NO_ANSWER"), kConnectionNoteMs);
}

void CSetApDlg::ShowRefusal(const ParameterRefusal& refusal) {
  QString text = m_language.Text(std::string(refusal.LanguageKey()).c_str());
  if (refusal.kind == ParameterRefusal::Kind::Range) {
    const QString label = apdesk::ControlText(Control(apdesk::LabelControlOf(refusal.field))).trimmed();
    text =
        QString::fromStdString(apdesk::FormatRangeRefusal(text.toStdString(), label.toStdString(), refusal));
  }
  MessageBoxes::Show(this, text);
  if (refusal.kind != ParameterRefusal::Kind::ReadFirst) {
    if (QLineEdit* edit = Edit(apdesk::EditControlOf(refusal.field))) edit->setFocus();
  }
}

void CSetApDlg::OnDefaultParams() {
  const QString question = apdesk::ControlText(Control(1029)) + "?";
  if (MessageBoxes::Show(this, question, BoxIcon::None, BoxButtons::YesNo) != BoxAnswer::Yes) return;
  // Nothing read yet means nothing to keep.
  if (m_paramsValid && !SnapshotBeforeWrite("default")) return;
  m_awaitingDefaults = true;
  m_app.Session().Commands().SendRestoreDefaults();
  // The controller needs the pause to restore before it can answer.
  QThread::msleep(kDefaultPauseMs);
  m_app.Session().Commands().SendGetParameters();
}
