#include "console/ParameterControls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <variant>

#include "application/CConfigApp.h"
#include "link/ControllerSession.h"
#include "params/ParameterFile.h"
#include "ui/MessageBoxes.h"

namespace apdesk {
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

ParameterControls::ParameterControls(CConfigApp& app, const WindowControls& controls, MainWindowState& state,
                                     const CLanguageManager& texts, QWidget* window,
                                     const WindowChrome& chrome, ParameterFiles& files,
                                     AircraftChooser& aircraft)
    : m_app(app),
      m_controls(controls),
      m_state(state),
      m_texts(texts),
      m_window(window),
      m_chrome(chrome),
      m_files(files),
      m_aircraft(aircraft) {
  m_sendCheckTimer.setSingleShot(true);
  connect(&m_sendCheckTimer, &QTimer::timeout, this, [this] { SendCheckTimedOut(); });
}

void ParameterControls::Listen(ControllerSession& session) {
  connect(&session, &ControllerSession::ParameterSentence, this,
          [this](const std::uint8_t* s) { Decode(s); });
}

void ParameterControls::FillLists() {
  for (const ParameterFacts& facts : ParameterTable()) {
    QComboBox* list = facts.listControl ? m_controls.Combo(facts.listControl) : nullptr;
    if (!list) continue;
    const QString unit = facts.unitKey ? m_texts.Text(facts.unitKey) : QString();
    QStringList items;
    for (const ParameterChoice& c : facts.choices) {
      // Codes without a word have no entry of their own.
      if (!c.word) break;
      items << (c.textKey ? m_texts.Text(c.textKey) : QString::fromUtf8(c.word) + unit);
    }
    if (facts.id == ParameterId::MaxSpeed) items << m_texts.Text("LID_PUB_DEFINE");
    list->clear();
    list->addItems(items);
  }
  // Unit, allowed values and what the parameter does, on its label and control.
  for (const ParameterFacts& facts : ParameterTable()) {
    QString tip = m_texts.Text(facts.descriptionKey);
    if (facts.unitKey) tip += "\n" + m_texts.Text("LID_TIP_UNIT").arg(m_texts.Text(facts.unitKey));
    // A list shows its choices itself.
    if (facts.encoding != ParameterEncoding::Choice)
      tip += "\n" + m_texts.Text("LID_TIP_RANGE").arg(facts.lowestText, facts.highestText);
    for (int id : {facts.labelControl, facts.listControl, facts.editControl}) {
      if (QWidget* control = id ? m_controls.Control(id) : nullptr) control->setToolTip(tip);
    }
  }
}

void ParameterControls::Decode(const std::uint8_t* sentence45) {
  const std::optional<ParameterView> view = DecodeParameterSentence(sentence45);
  if (view) {
    m_state.m_lastParams = view->sentence;
    m_state.m_paramsValid = true;
    m_state.m_paramsReadAt = QTime::currentTime();
    if (view->verticalSpeedIndex) Select(m_controls.Combo(1160), *view->verticalSpeedIndex);
    if (view->failSafeIndex) Select(m_controls.Combo(1163), *view->failSafeIndex);
    m_controls.SetEditText(1156, view->swayCompensationText);
    m_controls.SetEditText(1140, view->rollSensitivityText);
    m_controls.SetEditText(1154, view->pitchSensitivityText);
    m_controls.SetEditText(1149, view->cellCountText);
    m_controls.SetEditText(1153, view->aircraftTypeCodeText);
    Select(m_controls.Combo(1159), view->aircraftTypeIndex);
    m_aircraft.Update();
    m_state.m_altitudeLimit = view->altitudeLimit;
    m_state.m_distanceLimit = view->distanceLimit;
    if (QWidget* user = m_controls.Control(1158)) user->hide();
    Select(m_controls.Combo(1139), view->maxSpeedIndex);
    if (view->userSpeedShown) {
      m_controls.SetEditText(1158, view->userSpeedText);
      if (QWidget* user = m_controls.Control(1158)) user->show();
    }
    Select(m_controls.Combo(1016), view->voltAlertIndex);
    Select(m_controls.Combo(1155), view->servoFrequencyIndex);
    m_controls.SetEditText(1144, view->gimbalRollText);
    m_controls.SetEditText(1157, view->gimbalPitchText);
    if (const std::optional<Parameters> p = DecodeParameters(sentence45)) m_files.TakeReadBack(*p);
    CheckSent();
  }
  // On both outcomes the limit fields show the members again.
  m_controls.SetEditText(1150, std::to_string(m_state.m_altitudeLimit));
  m_controls.SetEditText(1151, std::to_string(m_state.m_distanceLimit));
}

ParameterInputs ParameterControls::ReadInputs() const {
  ParameterInputs in;
  in.gimbalRollText = TextOf(m_controls.Edit(1144));
  in.gimbalPitchText = TextOf(m_controls.Edit(1157));
  in.rollSensitivityText = TextOf(m_controls.Edit(1140));
  in.pitchSensitivityText = TextOf(m_controls.Edit(1154));
  in.swayCompensationText = TextOf(m_controls.Edit(1156));
  in.userSpeedText = TextOf(m_controls.Edit(1158));
  in.cellCountText = TextOf(m_controls.Edit(1149));
  in.altitudeLimitText = TextOf(m_controls.Edit(1150));
  in.distanceLimitText = TextOf(m_controls.Edit(1151));
  in.servoFrequencyIndex = IndexOf(m_controls.Combo(1155));
  in.maxSpeedIndex = IndexOf(m_controls.Combo(1139));
  in.verticalSpeedIndex = IndexOf(m_controls.Combo(1160));
  in.voltAlertIndex = IndexOf(m_controls.Combo(1016));
  in.failSafeIndex = IndexOf(m_controls.Combo(1163));
  in.aircraftTypeIndex = IndexOf(m_controls.Combo(1159));
  return in;
}

void ParameterControls::OnGet() {
  m_app.Session().Commands().SendGetParameters();
}

void ParameterControls::OnSend() {
  const BuildResult result = BuildParameterBlock(ReadInputs(), m_state.m_lastParams, m_state.m_paramsValid);
  if (const auto* refusal = std::get_if<ParameterRefusal>(&result)) {
    ShowRefusal(*refusal);
    return;
  }
  const auto& built = std::get<BuiltParameters>(result);
  if (!m_files.SnapshotBeforeWrite("send")) return;
  m_state.m_altitudeLimit = built.altitudeLimit;
  m_state.m_distanceLimit = built.distanceLimit;
  m_app.Session().Commands().SendParameters(built.block);
  // Read back, as apctl does, and say on the status line whether the
  // controller took what was sent. It needs the pause before it answers.
  m_sendCheck.reset();
  m_sendCheckTimer.stop();
  QTimer::singleShot(kParameterPauseMs, this, [this, block = built.block] {
    m_sendCheck = block;
    m_app.Session().Commands().SendGetParameters();
    m_sendCheckTimer.start(kReadBackWaitMs);
  });
}

void ParameterControls::CheckSent() {
  if (!m_sendCheck) return;
  const ParameterBlock sent = *m_sendCheck;
  m_sendCheck.reset();
  m_sendCheckTimer.stop();
  const std::vector<std::string> differing = CompareReadBack(sent, m_state.m_lastParams);
  QString text = m_texts.Text(differing.empty() ? "LID_SEND_CONFIRMED" : "LID_SEND_DIFFERENT");
  if (!differing.empty()) {
    QStringList names;
    for (const std::string& d : differing) names << QString::fromStdString(d);
    text.replace("%1", names.join("; "));
  }
  Note(text);
}

void ParameterControls::SendCheckTimedOut() {
  if (!m_sendCheck) return;
  m_sendCheck.reset();
  Note(m_texts.Text("LID_SEND_NO_ANSWER"));
}

void ParameterControls::Note(const QString& text) {
  if (QStatusBar* line = m_chrome.statusLine) line->showMessage(text, kStatusNoteMs);
}

void ParameterControls::ShowRefusal(const ParameterRefusal& refusal) {
  QString text = m_texts.Text(std::string(refusal.LanguageKey()).c_str());
  if (refusal.kind == ParameterRefusal::Kind::Range) {
    const QString label = ControlText(m_controls.Control(LabelControlOf(refusal.field))).trimmed();
    text = QString::fromStdString(FormatRangeRefusal(text.toStdString(), label.toStdString(), refusal));
  }
  MessageBoxes::Show(m_window, text);
  if (refusal.kind != ParameterRefusal::Kind::ReadFirst) {
    if (QLineEdit* edit = m_controls.Edit(EditControlOf(refusal.field))) edit->setFocus();
  }
}

void ParameterControls::OnDefault() {
  const QString question = ControlText(m_controls.Control(1029)) + "?";
  if (MessageBoxes::Show(m_window, question, BoxIcon::None, BoxButtons::YesNo) != BoxAnswer::Yes) return;
  // Nothing read yet means nothing to keep.
  if (m_state.m_paramsValid && !m_files.SnapshotBeforeWrite("default")) return;
  m_files.ExpectDefaults();
  m_app.Session().Commands().SendRestoreDefaults();
  // The controller needs the pause to restore before it can answer.
  QThread::msleep(kParameterPauseMs);
  m_app.Session().Commands().SendGetParameters();
}

}  // namespace apdesk
