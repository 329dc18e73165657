// Client options: the configuration a Telegram client reads when TDLib asks for it.
//
//   TqvnTelegram_Options            credentials, login choice, database settings, log verbosity
//     API()         TqvnTelegramAPI_Options         the application's API id and hash
//     Parameters()  TqvnTelegramParameters_Options  the device description sent to Telegram
//
// The three classes are plain value objects. Each copies another object of its own class with
// Assign; assigning from an object of another class, or from null, throws EConvertError
// "Cannot assign a <source class> to a <target class>" ("nil" names a null source) and changes
// nothing. TqvnTelegram_Options owns its two sub-objects for its whole life: SetAPI and
// SetParameters copy values into them and never replace them. No value is validated or trimmed
// when set; the login requests JSON-escape every value they place between quotes.
//
// Not thread-safe: the owner sets them before activation, and the client reads them on the
// thread that answers TDLib's prompts.
#ifndef QVN_CLIENT_QVNTELEGRAM_OPTIONS_H
#define QVN_CLIENT_QVNTELEGRAM_OPTIONS_H

#include <memory>
#include <stdexcept>
#include <string>

namespace qvn {

// TDLib's log verbosity; the ordinal is the level TDLib receives.
enum TqvnTelegramErrorLevels {
  tvbFatalErrors = 0,
  tvbErrors = 1,
  tvbWarnings = 2,
  tvbInformational = 3,
  tvbDebug = 4,
  tvbVerboseDebug = 5,
};

// Raised by Assign when the source is not of the target's class.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Base of the value objects that copy themselves with Assign.
class TqvnPersistent {
 public:
  virtual ~TqvnPersistent() = default;

  virtual const char* ClassName() const { return "TqvnPersistent"; }

  // Copies aSource into this object. The base accepts nothing: it throws EConvertError naming
  // aSource's class (or "nil") and this object's class. Derived classes copy sources of their
  // own class and hand every other source to this.
  virtual void Assign(const TqvnPersistent* aSource);
};

class TqvnTelegramAPI_Options : public TqvnPersistent {
 public:
  const char* ClassName() const override { return "TqvnTelegramAPI_Options"; }
  void Assign(const TqvnPersistent* aSource) override;

  // "api_hash" of the TDLib parameters.
  const std::string& ApiHash() const { return FApiHash; }
  void SetApiHash(std::string aValue) { FApiHash = std::move(aValue); }
  // "api_id" of the TDLib parameters: a decimal integer as text (written without quotes).
  const std::string& ApiId() const { return FApiId; }
  void SetApiId(std::string aValue) { FApiId = std::move(aValue); }

 private:
  std::string FApiHash;
  std::string FApiId;
};

class TqvnTelegramParameters_Options : public TqvnPersistent {
 public:
  const char* ClassName() const override { return "TqvnTelegramParameters_Options"; }
  void Assign(const TqvnPersistent* aSource) override;

  const std::string& ApplicationVersion() const { return FApplicationVersion; }
  void SetApplicationVersion(std::string aValue) { FApplicationVersion = std::move(aValue); }
  const std::string& DeviceModel() const { return FDeviceModel; }
  void SetDeviceModel(std::string aValue) { FDeviceModel = std::move(aValue); }
  const std::string& LanguageCode() const { return FLanguageCode; }
  void SetLanguageCode(std::string aValue) { FLanguageCode = std::move(aValue); }
  const std::string& SystemVersion() const { return FSystemVersion; }
  void SetSystemVersion(std::string aValue) { FSystemVersion = std::move(aValue); }

 private:
  std::string FApplicationVersion = "1.0";
  std::string FDeviceModel = "Desktop";
  std::string FLanguageCode = "en";
  std::string FSystemVersion = "Windows";
};

class TqvnTelegram_Options : public TqvnPersistent {
 public:
  TqvnTelegram_Options();
  ~TqvnTelegram_Options() override;
  // Copies are made with Assign, into an object that keeps its own sub-objects.
  TqvnTelegram_Options(const TqvnTelegram_Options&) = delete;
  TqvnTelegram_Options& operator=(const TqvnTelegram_Options&) = delete;

  const char* ClassName() const override { return "TqvnTelegram_Options"; }
  // Copies API and Parameters (values, through their own Assign), then PhoneNumber,
  // DBEncryptionKey, ErrorsLevel, BotToken and DatabaseDirectory.
  void Assign(const TqvnPersistent* aSource) override;

  TqvnTelegramAPI_Options& API() { return *FAPI; }
  const TqvnTelegramAPI_Options& API() const { return *FAPI; }
  void SetAPI(const TqvnTelegramAPI_Options& aValue) { FAPI->Assign(&aValue); }

  // Not empty: log in as a bot with this token instead of the phone number.
  const std::string& BotToken() const { return FBotToken; }
  void SetBotToken(std::string aValue) { FBotToken = std::move(aValue); }

  // TDLib's "database_directory"; empty means "tdlib", relative to the working directory.
  const std::string& DatabaseDirectory() const { return FDatabaseDirectory; }
  void SetDatabaseDirectory(std::string aValue) { FDatabaseDirectory = std::move(aValue); }

  TqvnTelegramParameters_Options& Parameters() { return *FParameters; }
  const TqvnTelegramParameters_Options& Parameters() const { return *FParameters; }
  void SetParameters(const TqvnTelegramParameters_Options& aValue) { FParameters->Assign(&aValue); }

  // Sent when TDLib asks for the database encryption key.
  const std::string& DBEncryptionKey() const { return FDBEncryptionKey; }
  void SetDBEncryptionKey(std::string aValue) { FDBEncryptionKey = std::move(aValue); }

  // TDLib's log verbosity, set at each activation.
  TqvnTelegramErrorLevels ErrorsLevel() const { return FErrorsLevel; }
  void SetErrorsLevel(TqvnTelegramErrorLevels aValue) { FErrorsLevel = aValue; }

  // Sent for a user login (when BotToken is empty).
  const std::string& PhoneNumber() const { return FPhoneNumber; }
  void SetPhoneNumber(std::string aValue) { FPhoneNumber = std::move(aValue); }

 private:
  std::unique_ptr<TqvnTelegramAPI_Options> FAPI;
  std::string FBotToken;
  std::string FDatabaseDirectory;
  std::string FDBEncryptionKey;
  TqvnTelegramErrorLevels FErrorsLevel = tvbErrors;
  std::unique_ptr<TqvnTelegramParameters_Options> FParameters;
  std::string FPhoneNumber;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_OPTIONS_H
