#include "ui/DialogBuilder.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTextEdit>
#include <algorithm>
#include <climits>
#include <cmath>

namespace apdesk {
namespace {

// Room left on the screen for the window manager's frame and title bar.
constexpr int kFrameAllowanceX = 16;
constexpr int kFrameAllowanceY = 64;
// Below this the texts are no longer readable; a smaller screen gets the window as it is.
constexpr int kSmallestPointSize = 6;

// The families the templates were designed for are rarely installed; map them
// once to installed ones of the same kind, so the metrics (and so the layout)
// come from a real font.
void InstallFontSubstitutions() {
  static bool done = false;
  if (done) return;
  done = true;
  QFont::insertSubstitutions("MS Sans Serif",
                             {"DejaVu Sans", "Liberation Sans", "Arial", "Noto Sans", "Cantarell"});
  QFont::insertSubstitutions(QString::fromUtf8("宋体"),
                             {"SimSun", "NSimSun", "Noto Serif CJK SC", "Noto Sans CJK SC",
                              "WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "DejaVu Sans"});
}

QString Utf8(const std::string& s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

void ApplyFrame(QFrame* frame, const ControlSpec& ctl) {
  if (ctl.Has(kFlagSunken)) {
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  } else if (ctl.Has(kFlagStaticEdge)) {
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  }
}

}  // namespace

bool LoadDialogTemplate(int id, DialogTemplate* out, std::string* error) {
  QFile file(QStringLiteral(":/templates/dialog%1.tsv").arg(id));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = "dialog template " + std::to_string(id) + " is not in the program";
    return false;
  }
  QByteArray bytes = file.readAll();
  std::string why;
  if (!ParseDialogTemplate(std::string_view(bytes.constData(), size_t(bytes.size())), out, &why)) {
    if (error) *error = "dialog" + std::to_string(id) + ".tsv " + why;
    return false;
  }
  if (out->id != id) {
    if (error) *error = "dialog" + std::to_string(id) + ".tsv holds dialog " + std::to_string(out->id);
    return false;
  }
  return true;
}

void CMultiLineButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString text = option.text;
  option.text.clear();
  style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
  QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text);
}

int DialogBuilder::ToPixelsX(int du) const {
  return int(std::lround(double(du) * m_unitX / 4.0));
}
int DialogBuilder::ToPixelsY(int du) const {
  return int(std::lround(double(du) * m_unitY / 8.0));
}
QRect DialogBuilder::ToPixels(int x, int y, int w, int h) const {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(w), ToPixelsY(h));
}

QWidget* DialogBuilder::Control(int id) const {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

bool DialogBuilder::Build(QDialog* dialog, int templateId) {
  DialogTemplate tmpl;
  if (!LoadDialogTemplate(templateId, &tmpl, &m_error)) return false;
  return Build(dialog, tmpl);
}

bool DialogBuilder::Build(QDialog* dialog, const DialogTemplate& tmpl) {
  InstallFontSubstitutions();
  m_template = tmpl;
  m_controls.clear();
  m_error.clear();

  QFont font(Utf8(tmpl.fontFamily));
  font.setStyleHint(QFont::SansSerif);
  // A window taller or wider than the screen would hide its lowest buttons
  // (a 768-pixel laptop screen and the main window): take a smaller size of
  // the same font until it fits, so the layout keeps its proportions.
  const QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
  const QSize room = screen ? screen->availableGeometry().size() - QSize(kFrameAllowanceX, kFrameAllowanceY)
                            : QSize(INT_MAX, INT_MAX);
  for (int points = tmpl.fontSize > 0 ? tmpl.fontSize : kSmallestPointSize;; --points) {
    font.setPointSize(points);
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    m_unitX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    m_unitY = metrics.height();
    const bool fits = ToPixelsX(tmpl.width) <= room.width() && ToPixelsY(tmpl.height) <= room.height();
    if (fits || points <= kSmallestPointSize) break;
  }
  dialog->setFont(font);

  dialog->setWindowTitle(Utf8(tmpl.caption));
  Qt::WindowFlags flags = dialog->windowFlags();
  flags &= ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint);
  if (tmpl.Has(kFlagSysMenu)) {
    flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint;
  }
  dialog->setWindowFlags(flags);
  dialog->setFixedSize(ToPixelsX(tmpl.width), ToPixelsY(tmpl.height));

  for (const ControlSpec& ctl : tmpl.controls) {
    QWidget* w = Create(dialog, ctl);
    QRect place = ToPixels(ctl.x, ctl.y, ctl.w, ctl.h);
    if (ctl.kind == ControlKind::DropList) {
      // The template gives the height with the list dropped down; closed, the
      // box is as high as its font needs.
      place.setHeight(std::min(place.height(), w->sizeHint().height()));
    }
    w->setGeometry(place);
    w->setProperty("controlId", ctl.id);
    if (ctl.id != -1) {
      w->setObjectName(QStringLiteral("control%1").arg(ctl.id));
      m_controls[ctl.id] = w;
    }
    if (ctl.Has(kFlagDisabled)) w->setEnabled(false);
    // Explicitly hidden children stay hidden when the dialog is shown.
    if (ctl.Has(kFlagHidden)) w->setVisible(false);
  }
  return true;
}

QWidget* DialogBuilder::Create(QDialog* dialog, const ControlSpec& ctl) {
  const QString text = Utf8(ctl.text);
  switch (ctl.kind) {
    case ControlKind::GroupBox: {
      auto* box = new QGroupBox(text, dialog);
      box->setFocusPolicy(Qt::NoFocus);
      return box;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(text, dialog);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment((ctl.Has(kFlagCentred) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
      ApplyFrame(label, ctl);
      return label;
    }
    case ControlKind::Edit:
    case ControlKind::DigitsEdit:
    case ControlKind::ReadOnlyEdit: {
      auto* edit = new QLineEdit(text, dialog);
      if (ctl.kind == ControlKind::DigitsEdit) {
        // Typing takes digits only; the program may still set any text.
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      }
      if (ctl.kind == ControlKind::ReadOnlyEdit) edit->setReadOnly(true);
      if (ctl.Has(kFlagCentred)) edit->setAlignment(Qt::AlignCenter);
      return edit;
    }
    case ControlKind::MultiLineEdit: {
      auto* edit = new QPlainTextEdit(text, dialog);
      edit->setReadOnly(true);
      edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      return edit;
    }
    case ControlKind::Button:
    case ControlKind::MultiLineButton: {
      QPushButton* button =
          ctl.kind == ControlKind::Button ? new QPushButton(text, dialog) : new CMultiLineButton(dialog);
      if (ctl.kind == ControlKind::MultiLineButton) button->setText(text);
      // Enter is each window's own business; Qt must not pick a button by itself.
      button->setAutoDefault(false);
      button->setDefault(ctl.Has(kFlagDefault));
      return button;
    }
    case ControlKind::DropList:
    case ControlKind::SimpleCombo: {
      auto* combo = new QComboBox(dialog);
      for (const std::string& item : ctl.items) combo->addItem(Utf8(item));
      combo->setCurrentIndex(-1);
      return combo;
    }
    case ControlKind::Picture: {
      auto* picture = new QLabel(dialog);
      picture->setAlignment(ctl.Has(kFlagCenterImage) ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop));
      ApplyFrame(picture, ctl);
      return picture;
    }
    case ControlKind::Static: {
      auto* frame = new QFrame(dialog);
      ApplyFrame(frame, ctl);
      return frame;
    }
    case ControlKind::Progress: {
      auto* bar = new QProgressBar(dialog);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      return bar;
    }
  }
  return new QWidget(dialog);
}

bool DialogBuilder::Adopt(int id, QWidget* widget) {
  QWidget* old = Control(id);
  if (!old || !widget || widget == old) return false;
  widget->setParent(old->parentWidget());
  widget->setGeometry(old->geometry());
  widget->setProperty("controlId", id);
  widget->setObjectName(old->objectName());
  widget->setEnabled(old->isEnabled());
  const bool explicitlyHidden = old->isHidden() && old->testAttribute(Qt::WA_WState_ExplicitShowHide);
  if (explicitlyHidden) {
    widget->hide();
  } else if (old->parentWidget() && old->parentWidget()->isVisible()) {
    widget->show();
  } else {
    // Not shown yet: let it appear with the dialog, as the placeholder would have.
    widget->setAttribute(Qt::WA_WState_ExplicitShowHide, false);
  }
  widget->stackUnder(old);
  m_controls[id] = widget;
  delete old;
  return true;
}

QString ControlText(const QWidget* control) {
  if (auto* b = qobject_cast<const QAbstractButton*>(control)) return b->text();
  if (auto* l = qobject_cast<const QLabel*>(control)) return l->text();
  if (auto* e = qobject_cast<const QLineEdit*>(control)) return e->text();
  if (auto* p = qobject_cast<const QPlainTextEdit*>(control)) return p->toPlainText();
  if (auto* g = qobject_cast<const QGroupBox*>(control)) return g->title();
  if (auto* c = qobject_cast<const QComboBox*>(control)) return c->currentText();
  if (control && control->isWindow()) return control->windowTitle();
  return QString();
}

void SetControlText(QWidget* control, const QString& text) {
  if (auto* b = qobject_cast<QAbstractButton*>(control)) {
    b->setText(text);
  } else if (auto* l = qobject_cast<QLabel*>(control)) {
    l->setText(text);
  } else if (auto* e = qobject_cast<QLineEdit*>(control)) {
    e->setText(text);
  } else if (auto* p = qobject_cast<QPlainTextEdit*>(control)) {
    p->setPlainText(text);
  } else if (auto* r = qobject_cast<QTextEdit*>(control)) {
    r->setPlainText(text);
  } else if (auto* g = qobject_cast<QGroupBox*>(control)) {
    g->setTitle(text);
  } else if (auto* c = qobject_cast<QComboBox*>(control)) {
    if (c->isEditable()) c->setEditText(text);
  } else if (control && control->isWindow()) {
    control->setWindowTitle(text);
  }
}

}  // namespace apdesk
