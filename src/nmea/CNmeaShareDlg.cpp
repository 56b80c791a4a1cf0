#include "nmea/CNmeaShareDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace apdesk::nmea {

CNmeaShareDlg::CNmeaShareDlg(TextFn text, QWidget* parent) : QDialog(parent), m_text(std::move(text)) {
  setWindowTitle(m_text("LID_NMEA_TITLE"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  m_address = new QLineEdit(this);
  m_address->setObjectName("nmeaAddress");
  m_address->setPlaceholderText(QString::fromStdString(ListenAddress().Text()));
  m_address->setMinimumWidth(m_address->fontMetrics().horizontalAdvance(QString(28, 'm')));
  form->addRow(m_text("LID_NMEA_ADDRESS"), m_address);
  layout->addLayout(form);
  m_share = new QCheckBox(m_text("LID_NMEA_ENABLE"), this);
  m_share->setObjectName("nmeaShare");
  layout->addWidget(m_share);
  m_status = new QLabel(this);
  m_status->setObjectName("nmeaStatus");
  m_status->setWordWrap(true);
  layout->addWidget(m_status);
  m_hint = new QLabel(this);
  m_hint->setObjectName("nmeaHint");
  m_hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_hint->setWordWrap(true);
  layout->addWidget(m_hint);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(m_text("LID_NMEA_CLOSE"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  layout->addWidget(buttons);

  connect(m_share, &QCheckBox::toggled, this, [this] {
    Apply();
    Q_EMIT SettingsChanged(m_address->text().trimmed(), m_share->isChecked());
  });
  connect(m_address, &QLineEdit::editingFinished, this, [this] {
    if (m_address->isModified()) {
      m_address->setModified(false);
      Apply();
      Q_EMIT SettingsChanged(m_address->text().trimmed(), m_share->isChecked());
    }
  });
  connect(&m_server, &NmeaServer::ClientsChanged, this, [this] { ShowStatus(); });
  ShowStatus();
}

// The programs still connected are let go without telling a window that is
// going away.
CNmeaShareDlg::~CNmeaShareDlg() {
  // Hiding in QDialog's destructor moves the focus, and the address field
  // would then report its edit to a window that is already half gone.
  disconnect(m_address, nullptr, this, nullptr);
  disconnect(m_share, nullptr, this, nullptr);
  m_server.disconnect();
  m_server.Close();
}

void CNmeaShareDlg::Restore(const QString& address, bool on) {
  const QSignalBlocker block(m_share);
  m_address->setText(address);
  m_share->setChecked(on);
  Apply();
}

void CNmeaShareDlg::Apply() {
  m_error.clear();
  m_server.Close();
  if (m_share->isChecked()) {
    std::string why;
    const std::optional<ListenAddress> a =
        ParseListenAddress(m_address->text().trimmed().toStdString(), &why);
    QString error;
    if (!a) {
      m_error = QString::fromStdString(why);
    } else if (!m_server.Listen(*a, &error)) {
      m_error = error;
    }
  }
  ShowStatus();
}

QString CNmeaShareDlg::StatusText() const {
  if (!m_error.isEmpty()) return m_text("LID_NMEA_FAILED") + " " + m_error;
  if (!m_server.Listening()) return m_text("LID_NMEA_OFF");
  QString s = m_text("LID_NMEA_LISTENING")
                  .arg(QString::fromStdString(m_server.Address().Text()))
                  .arg(m_server.Clients());
  if (!m_server.Address().Loopback()) s += "\n" + m_text("LID_NMEA_NETWORK");
  return s;
}

QString CNmeaShareDlg::StatusLineText() const {
  if (!m_server.Listening()) return QString();
  return m_text("LID_NMEA_STATUS").arg(m_server.Clients());
}

void CNmeaShareDlg::ShowStatus() {
  m_status->setText(StatusText());
  m_status->setStyleSheet(m_error.isEmpty() ? QString() : QString("color: #b00000"));
  const QString where =
      QString::fromStdString((m_server.Listening() ? m_server.Address() : ListenAddress()).Text());
  // The command is built here: the language files take "//" for a comment.
  m_hint->setText(m_text("LID_NMEA_HINT") + " gpsd -N tcp://" + where);
  Q_EMIT StatusChanged(StatusLineText());
}

}  // namespace apdesk::nmea
