// Gives every test of the executable one QApplication on the offscreen platform, created before
// the first test and destroyed after the last. No display is needed. Times are shown in UTC, so
// the lines the tests expect do not depend on the machine's time zone.
#include <gtest/gtest.h>

#include <time.h>

#include <QApplication>
#include <memory>

namespace {

QtMessageHandler gQtDefaultHandler = nullptr;

// The offscreen platform warns about window hints it cannot pass on; nothing a test can act on.
void DropOffscreenNoise(QtMsgType aType, const QMessageLogContext& aContext, const QString& aText) {
  if (aText.contains(QLatin1String("does not support propagateSizeHints"))) return;
  if (gQtDefaultHandler) gQtDefaultHandler(aType, aContext, aText);
}

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    tzset();
    gQtDefaultHandler = qInstallMessageHandler(DropOffscreenNoise);
    FApplication = std::make_unique<QApplication>(FArgc, FArgv);
  }
  void TearDown() override { FApplication.reset(); }

 private:
  int FArgc = 1;
  char FName[16] = "app_tests";
  char* FArgv[2] = {FName, nullptr};
  std::unique_ptr<QApplication> FApplication;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
