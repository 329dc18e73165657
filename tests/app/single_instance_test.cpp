// One running instance per settings file: a later start hands its arguments over and ends, a
// socket left by a crashed instance does not stand in the way, and two settings files run side by
// side. The last test starts the real program as the later start.

#include <gmock/gmock.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <cstring>
#include <future>

#include "app/qvnSingleInstance.h"
#include "tests/support/QtEventsUntil.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

using THandOver = TqvnSingleInstance::THandOver;

// Runs Qt's event loop until aDone() or a generous timeout.
bool PumpFor(const std::function<bool()>& aDone) {
  return QtEventsUntil(aDone, 30000);
}

// Where Qt puts the local socket of aName.
std::string SocketPath(const QString& aName) {
  return QDir(QDir::tempPath()).filePath(aName).toStdString();
}

// A Unix socket at aPath that listens (aListen) without ever accepting, or, closed at once, the
// file a crashed instance leaves. Returns the descriptor (-1 once closed).
int BindSocket(const std::string& aPath, bool aListen) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, aPath.c_str(), sizeof(address.sun_path) - 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0) << aPath;
  if (aListen) {
    EXPECT_EQ(::listen(fd, 4), 0);
    return fd;
  }
  ::close(fd);
  return -1;
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  // Hands aArguments over from another thread (HandOver blocks) while this one runs the loop.
  THandOver HandOverFromAnotherStart(const std::string& aSettings, const QStringList& aArguments,
                                     int aTimeoutMs = TqvnSingleInstance::kTimeoutMs) {
    auto result = std::async(std::launch::async, [&] {
      return TqvnSingleInstance(aSettings).HandOver(aArguments, aTimeoutMs);
    });
    EXPECT_TRUE(PumpFor([&] {
      return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }));
    return result.get();
  }

  TTempDir FDir;
  std::string FSettings = FDir.File("velune-telegram.ini");
};

TEST_F(SingleInstanceTest, ALaterStartHandsItsArgumentsToTheRunningOne) {
  EXPECT_EQ(HandOverFromAnotherStart(FSettings, {}), THandOver::noneRunning);
  TqvnSingleInstance running(FSettings);
  std::vector<QStringList> received;
  running.OnArguments = [&](const QStringList& aArguments) { received.push_back(aArguments); };
  ASSERT_TRUE(running.Listen()) << running.ErrorText().toStdString();

  const QStringList cases[] = {{"tg://resolve?domain=velune", "two words"}, {}};
  for (const QStringList& arguments : cases) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    received.clear();
    EXPECT_EQ(HandOverFromAnotherStart(FSettings, arguments), THandOver::handedOver);
    ASSERT_TRUE(PumpFor([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector<QStringList>{arguments});
  }
  // A second instance of the same file does not take over.
  TqvnSingleInstance second(FSettings);
  EXPECT_FALSE(second.Listen());
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedInstanceIsReplaced) {
  BindSocket(SocketPath(TqvnSingleInstance::ServerName(FSettings)), /*aListen=*/false);
  EXPECT_EQ(HandOverFromAnotherStart(FSettings, {"x"}), THandOver::noneRunning);
  TqvnSingleInstance running(FSettings);
  bool received = false;
  running.OnArguments = [&](const QStringList&) { received = true; };
  ASSERT_TRUE(running.Listen()) << running.ErrorText().toStdString();
  EXPECT_EQ(HandOverFromAnotherStart(FSettings, {"x"}), THandOver::handedOver);
  EXPECT_TRUE(PumpFor([&] { return received; }));
}

TEST_F(SingleInstanceTest, AnInstanceThatDoesNotAnswerIsNotHandedOverNorReplaced) {
  const int fd = BindSocket(SocketPath(TqvnSingleInstance::ServerName(FSettings)), /*aListen=*/true);
  EXPECT_EQ(HandOverFromAnotherStart(FSettings, {"x"}, 200), THandOver::notAnswering);
  TqvnSingleInstance second(FSettings);
  EXPECT_FALSE(second.Listen());
  ::close(fd);
  ::unlink(SocketPath(TqvnSingleInstance::ServerName(FSettings)).c_str());
}

TEST_F(SingleInstanceTest, TheSocketNameFollowsTheSettingsFile) {
  const QString name = TqvnSingleInstance::ServerName(FSettings);
  const struct {
    std::string Path;
    bool Same;
  } cases[] = {
      {FDir.File("sub/../velune-telegram.ini"), true},
      {FDir.File("./velune-telegram.ini"), true},
      {FDir.File("other.ini"), false},
      {FDir.File("sub/velune-telegram.ini"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    EXPECT_EQ(TqvnSingleInstance::ServerName(c.Path) == name, c.Same);
  }
  // Files in two folders run side by side.
  TqvnSingleInstance first(FSettings);
  TqvnSingleInstance other(FDir.File("other.ini"));
  EXPECT_TRUE(first.Listen());
  EXPECT_TRUE(other.Listen());
}

// The program itself, started while an instance with its settings file runs, hands over and ends
// without opening a window of its own.
TEST_F(SingleInstanceTest, TheProgramStartedAgainHandsOverAndEnds) {
  const std::string settings = FDir.File("config/velune/velune-telegram.ini");
  TqvnSingleInstance running(settings);
  std::vector<QStringList> received;
  running.OnArguments = [&](const QStringList& aArguments) { received.push_back(aArguments); };
  ASSERT_TRUE(running.Listen());

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(FDir.File("config")));
  environment.insert("XDG_DATA_HOME", QString::fromStdString(FDir.File("data")));
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(QVN_PROGRAM), {"tg://resolve?domain=velune"});
  ASSERT_TRUE(PumpFor([&] { return program.state() == QProcess::NotRunning; }));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  EXPECT_EQ(received, std::vector<QStringList>{{"tg://resolve?domain=velune"}});
}

}  // namespace
}  // namespace qvn::test
