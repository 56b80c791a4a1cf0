// Close posts a quit request that ends the owner's modal loop, as it ends the
// main window's and so the program. A program of its own: after the quit the
// application's loops stay ended.

#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "upgrade/CUpgradeDlg.h"
#include "upgrade/UpgradeTestSupport.h"

namespace apdesk {
namespace {

TEST(UpgradeWindowQuit, CloseEndsTheOwnersModalLoop) {
  testing::App();
  QDialog owner;
  const CLanguageManager texts = testsupport::ProgramTexts();
  CUpgradeDlg dlg(texts);
  int closes = 0;
  dlg.SetDeviceCloser([&] { ++closes; });
  ASSERT_TRUE(dlg.Create(&owner)) << dlg.Error();
  bool guardFired = false;
  bool wasShown = false;
  QTimer::singleShot(50, &owner, [&] {
    for (int i = 0; i < 51; ++i) dlg.HandleReport(upgradetest::Announcement().data());
    wasShown = dlg.isVisible();
    QTest::mouseClick(qobject_cast<QPushButton*>(dlg.Control(1019)), Qt::LeftButton);
  });
  QTimer::singleShot(5000, &owner, [&] {
    guardFired = true;
    owner.done(QDialog::Accepted);
  });
  owner.exec();
  EXPECT_TRUE(wasShown);
  EXPECT_FALSE(guardFired);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(dlg.isVisible());
}

}  // namespace
}  // namespace apdesk
