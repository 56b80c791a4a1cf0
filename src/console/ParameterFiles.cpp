#include "console/ParameterFiles.h"

#include <QAction>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "application/CConfigApp.h"
#include "console/ParameterCompareDlg.h"
#include "files/RegularFile.h"
#include "files/WholeFile.h"
#include "params/ParameterFile.h"
#include "params/SnapshotStore.h"
#include "ui/MessageBoxes.h"

namespace apdesk {
namespace {

// "%1" of a message key with a block of its own.
QString WithBlock(const QString& text, const std::string& block) {
  return text.arg("\n\n" + QString::fromStdString(block) + "\n\n").trimmed();
}

}  // namespace

ParameterFiles::ParameterFiles(CConfigApp& app, const WindowControls& controls, const MainWindowState& state,
                               const CLanguageManager& texts, QWidget* window)
    : m_app(app), m_controls(controls), m_state(state), m_texts(texts), m_window(window) {}

void ParameterFiles::AddMenu(QMenu* fileMenu) {
  // Both need the controller's parameters: to write, or to compare with.
  auto withFile = [this, fileMenu](const char* key, bool save) {
    fileMenu->addAction(m_texts.Text(key), this, [this, key, save] {
      if (!m_state.m_paramsValid) {
        MessageBoxes::Show(m_window, m_texts.Text("LID_HINT_READFIRST"));
        return;
      }
      const QString path = save ? QFileDialog::getSaveFileName(m_window, m_texts.Text(key), {},
                                                               m_texts.Text("LID_PARAMS_FILTER"))
                                : QFileDialog::getOpenFileName(m_window, m_texts.Text(key), {},
                                                               m_texts.Text("LID_PARAMS_FILTER"));
      if (path.isEmpty()) return;
      if (save) {
        SaveTo(path);
      } else {
        LoadFrom(path);
      }
    });
  };
  withFile("LID_MENU_SAVEPARAMS", true);
  withFile("LID_MENU_LOADPARAMS", false);
  fileMenu->addAction(m_texts.Text("LID_MENU_HISTORY"), this, [this] { ShowHistory(); });
}

bool ParameterFiles::SaveTo(const QString& typedPath) {
  const QString path = QString::fromStdString(WithParameterFileSuffix(typedPath.toStdString()));
  const std::optional<Parameters> p = DecodeParameters(m_state.m_lastParams.data());
  if (!m_state.m_paramsValid || !p) {
    MessageBoxes::Show(m_window, m_texts.Text("LID_HINT_READFIRST"));
    return false;
  }
  std::string error;
  if (!WriteWholeFile(path.toStdString(), FormatParameterFile(*p), &error)) {
    MessageBoxes::Show(m_window, WithBlock(m_texts.Text("LID_PARAMS_SAVE_FAILED"), error), BoxIcon::Warning);
    return false;
  }
  return true;
}

ParameterCompareDlg* ParameterFiles::LoadFrom(const QString& path) {
  if (!m_state.m_paramsValid) {
    MessageBoxes::Show(m_window, m_texts.Text("LID_HINT_READFIRST"));
    return nullptr;
  }
  std::string error, text, why;
  ParameterFile parsed;
  Parameters wanted;
  // Only a regular file of a parameter file's size: a pipe or device chosen
  // here would otherwise stop the window.
  RegularFileOptions options;
  options.maxBytes = kMaxSnapshotBytes;
  if (ReadRegularFile(QFile::encodeName(path).toStdString(), options, &text, &why) != FileOpen::Ok) {
    error = "cannot read " + path.toStdString() + ": " + why;
  } else if (!ParseParameterFile(text, &parsed, &error) || !ParametersFromFile(parsed, &wanted, &error)) {
    error = QFileInfo(path).fileName().toStdString() + ": " + error;
  }
  if (!error.empty()) {
    MessageBoxes::Show(m_window, WithBlock(m_texts.Text("LID_PARAMS_FILE_BAD"), error), BoxIcon::Warning);
    return nullptr;
  }
  return OpenComparison(wanted, path);
}

ParameterCompareDlg* ParameterFiles::OpenComparison(const Parameters& wanted, const QString& source) {
  const std::optional<Parameters> held = DecodeParameters(m_state.m_lastParams.data());
  if (!m_state.m_paramsValid || !held) {
    MessageBoxes::Show(m_window, m_texts.Text("LID_HINT_READFIRST"));
    return nullptr;
  }
  // The controller's column is what it sent last: the window says when.
  const QString read =
      m_state.m_paramsReadAt.isValid()
          ? m_texts.Text("LID_CMP_READ_AT").replace("%1", m_state.m_paramsReadAt.toString("HH:mm:ss"))
          : QString();
  auto* dlg = new ParameterCompareDlg(
      ParameterComparison(*held, wanted), read.isEmpty() ? source : source + "\n" + read,
      [this](const char* key) { return m_texts.Text(key); },
      [this](int id) { return ControlText(m_controls.Control(id)).trimmed(); }, m_window);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->onWrite = [this](ParameterCompareDlg& d) { WriteComparison(d); };
  dlg->show();
  return dlg;
}

void ParameterFiles::WriteComparison(ParameterCompareDlg& dlg) {
  // Merged onto what the controller sent last, not what it held when the
  // comparison opened.
  const std::optional<Parameters> current = DecodeParameters(m_state.m_lastParams.data());
  if (!m_state.m_paramsValid || !current) {
    MessageBoxes::Show(m_window, m_texts.Text("LID_HINT_READFIRST"));
    return;
  }
  if (!SnapshotBeforeWrite("load")) return;
  const Parameters merged = dlg.Comparison().Merge(*current);
  m_app.Session().Commands().SendParameters(EncodeParameters(merged));
  // As after Default: the controller needs the pause before it answers. A
  // sentence that arrives before the question answers an earlier one.
  m_awaitingReadBack = nullptr;
  QTimer::singleShot(kParameterPauseMs, this, [this, target = QPointer<ParameterCompareDlg>(&dlg)] {
    m_awaitingReadBack = target;
    m_app.Session().Commands().SendGetParameters();
  });
}

void ParameterFiles::TakeReadBack(const Parameters& p) {
  if (m_awaitingReadBack) {
    m_awaitingReadBack->ShowReadBack(p);
    m_awaitingReadBack = nullptr;
  }
  if (m_awaitingDefaults) {
    m_awaitingDefaults = false;
    std::string error;
    SnapshotStore().StoreDefaults(p, &error);  // a record only; a failure stops nothing
  }
}

bool ParameterFiles::SnapshotBeforeWrite(const char* write) {
  const std::optional<Parameters> p = DecodeParameters(m_state.m_lastParams.data());
  std::string error = "no parameters have been read from the controller";
  if (m_state.m_paramsValid && p) {
    FileNotes notes;
    notes.write = write;
    notes.transport =
        m_app.Session().Usb().IsOpen() ? "usb" : (m_app.Session().Serial().IsOpen() ? "serial" : "");
    if (const QLineEdit* version = m_controls.Edit(1141)) notes.firmware = version->text().toStdString();
    if (SnapshotStore().Store(*p, notes, nullptr, &error)) return true;
  }
  return MessageBoxes::Show(m_window, WithBlock(m_texts.Text("LID_SNAPSHOT_FAILED"), error), BoxIcon::Warning,
                            BoxButtons::YesNo) == BoxAnswer::Yes;
}

QString ParameterFiles::OperationText(const std::string& write) const {
  // The operations apdesk and apctl store, in the window's language.
  static const std::pair<const char*, const char*> kOperations[] = {
      {"send", "LID_HIST_OP_SEND"},
      {"load", "LID_HIST_OP_LOAD"},
      {"default", "LID_HIST_OP_DEFAULT"},
      {"params set", "LID_HIST_OP_PARAMS_SET"},
      {"params load", "LID_HIST_OP_PARAMS_LOAD"},
      {"params restore", "LID_HIST_OP_PARAMS_RESTORE"},
      {"the controller's defaults", "LID_HIST_OP_DEFAULTS"},
  };
  for (const auto& [word, key] : kOperations) {
    if (write == word) return m_texts.Text(key, word);
  }
  return QString::fromStdString(write);
}

QDialog* ParameterFiles::ShowHistory() {
  auto* dlg = new QDialog(m_window);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->setWindowTitle(m_texts.Text("LID_HIST_CAPTION"));
  auto* layout = new QVBoxLayout(dlg);
  auto* table = new QTableWidget(0, 3, dlg);
  table->setObjectName("history");
  table->setHorizontalHeaderLabels(
      {m_texts.Text("LID_HIST_TIME"), m_texts.Text("LID_HIST_WRITE"), m_texts.Text("LID_HIST_STATE")});
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table);
  auto* empty = new QLabel(m_texts.Text("LID_HIST_EMPTY"), dlg);
  empty->setObjectName("empty");
  empty->hide();
  layout->addWidget(empty);
  auto* buttons = new QDialogButtonBox(dlg);
  QPushButton* compare = buttons->addButton(m_texts.Text("LID_HIST_COMPARE"), QDialogButtonBox::ActionRole);
  QPushButton* restore = buttons->addButton(m_texts.Text("LID_HIST_RESTORE"), QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(m_texts.Text("LID_CMP_CLOSE"), QDialogButtonBox::RejectRole);
  compare->setObjectName("compare");
  restore->setObjectName("restore");
  compare->setEnabled(false);
  restore->setEnabled(false);
  layout->addWidget(buttons);
  connect(close, &QPushButton::clicked, dlg, &QDialog::reject);
  // The folder is read on a thread of its own: however many files it holds,
  // and whatever they are, telemetry and recording go on meanwhile.
  auto entries = std::make_shared<std::vector<SnapshotEntry>>();
  QThread* reader = QThread::create([entries] { *entries = SnapshotStore().List(); });
  connect(reader, &QThread::finished, reader, &QObject::deleteLater);
  connect(reader, &QThread::finished, dlg, [this, table, empty, compare, restore, entries] {
    table->setRowCount(static_cast<int>(entries->size()));
    for (int i = 0; i < static_cast<int>(entries->size()); ++i) {
      const SnapshotEntry& e = (*entries)[static_cast<std::size_t>(i)];
      // The whole time, in local time, and the operation in the window's language.
      const QDateTime utc = QDateTime::fromString(QString::fromStdString(e.notes.time), Qt::ISODate);
      const QString time = utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                         : QString::fromStdString(e.notes.time);
      table->setItem(i, 0, new QTableWidgetItem(time));
      table->setItem(i, 1, new QTableWidgetItem(OperationText(e.notes.write)));
      QString state;
      if (!e.damage.empty())
        state = m_texts.Text("LID_HIST_DAMAGED").arg(QString::fromStdString(e.damage));
      else if (e.future)
        state = m_texts.Text("LID_HIST_FUTURE");
      table->setItem(i, 2, new QTableWidgetItem(state));
      table->item(i, 0)->setToolTip(QString::fromStdString(e.path));
    }
    if (!entries->empty()) table->selectRow(0);
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    empty->setVisible(entries->empty());
    compare->setEnabled(!entries->empty());
    restore->setEnabled(!entries->empty());
  });
  // Both open the comparison with every differing row ticked, as every
  // comparison does: Restore is Compare, then Write ticked values.
  auto open = [this, table, entries] {
    const int row = table->currentRow();
    if (row < 0 || row >= static_cast<int>(entries->size())) return;
    LoadFrom(QString::fromStdString((*entries)[static_cast<std::size_t>(row)].path));
  };
  connect(compare, &QPushButton::clicked, dlg, open);
  connect(restore, &QPushButton::clicked, dlg, open);
  dlg->resize(560, 360);
  dlg->show();
  reader->start();
  return dlg;
}

}  // namespace apdesk
