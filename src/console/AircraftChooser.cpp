#include "console/AircraftChooser.h"

#include <QLabel>

#include "ui/Pictures.h"

namespace apdesk {

void AircraftChooser::Update() {
  const QComboBox* types = m_controls.Combo(1159);
  const int s = types ? types->currentIndex() : -1;
  const int bitmap = s >= 0 && s <= 8 ? kFirstAircraftBitmap + s : kGenericAircraftBitmap;
  // Called on every paint: setting the same image again would only ask for
  // another paint.
  if (bitmap == m_shownBitmap) return;
  auto* picture = qobject_cast<QLabel*>(m_controls.Control(1250));
  if (!picture) return;
  auto it = m_pictures.find(bitmap);
  if (it == m_pictures.end()) {
    it = m_pictures.emplace(bitmap, QPixmap::fromImage(AircraftPicture(bitmap))).first;
  }
  picture->setPixmap(it->second);
  m_shownBitmap = bitmap;
}

void AircraftChooser::Next() {
  QComboBox* types = m_controls.Combo(1159);
  if (!types || types->count() == 0) return;
  int s = types->currentIndex() + 1;
  if (s >= types->count()) s = 0;
  types->setCurrentIndex(s);
  Update();
}

void AircraftChooser::Previous() {
  QComboBox* types = m_controls.Combo(1159);
  if (!types || types->count() == 0) return;
  int s = types->currentIndex();
  s = s < 0 ? types->count() - 1 : s - 1;
  if (s < 0) s = types->count() - 1;
  types->setCurrentIndex(s);
  Update();
}

}  // namespace apdesk
