// The client's options: defaults, copying with Assign, and assignment from a foreign class.
#include <gtest/gtest.h>

#include <string>

#include "client/qvnLibs.h"

namespace qvn::test {
namespace {

void Fill(TqvnTelegram_Options& aOptions) {
  aOptions.API().SetApiId("12345");
  aOptions.API().SetApiHash("hash");
  aOptions.Parameters().SetLanguageCode("de");
  aOptions.Parameters().SetDeviceModel("Laptop");
  aOptions.Parameters().SetApplicationVersion("2.0");
  aOptions.Parameters().SetSystemVersion("Linux");
  aOptions.SetPhoneNumber("+491234");
  aOptions.SetDBEncryptionKey("key");
  aOptions.SetErrorsLevel(tvbDebug);
  aOptions.SetBotToken("123:abc");
  aOptions.SetDatabaseDirectory("/tmp/db \"x\"\\");
}

TEST(TelegramOptions, StartWithTheDefaults) {
  TqvnTelegram_Options options;
  EXPECT_EQ(options.ErrorsLevel(), tvbErrors);
  EXPECT_EQ(static_cast<int>(tvbVerboseDebug), 5);
  for (const std::string* text :
       {&options.API().ApiId(), &options.API().ApiHash(), &options.PhoneNumber(),
        &options.BotToken(), &options.DatabaseDirectory(), &options.DBEncryptionKey()}) {
    EXPECT_EQ(*text, "");
  }
  EXPECT_EQ(options.Parameters().LanguageCode(), "en");
  EXPECT_EQ(options.Parameters().DeviceModel(), "Desktop");
  EXPECT_EQ(options.Parameters().ApplicationVersion(), "1.0");
  EXPECT_EQ(options.Parameters().SystemVersion(), "Windows");
}

TEST(TelegramOptions, AssignCopiesValuesNotSubObjects) {
  TqvnTelegram_Options source;
  Fill(source);
  TqvnTelegram_Options copy;
  TqvnTelegramAPI_Options* ownApi = &copy.API();
  copy.Assign(&source);
  EXPECT_EQ(&copy.API(), ownApi);
  EXPECT_EQ(copy.API().ApiId(), "12345");
  EXPECT_EQ(copy.API().ApiHash(), "hash");
  EXPECT_EQ(copy.Parameters().LanguageCode(), "de");
  EXPECT_EQ(copy.Parameters().DeviceModel(), "Laptop");
  EXPECT_EQ(copy.Parameters().ApplicationVersion(), "2.0");
  EXPECT_EQ(copy.Parameters().SystemVersion(), "Linux");
  EXPECT_EQ(copy.PhoneNumber(), "+491234");
  EXPECT_EQ(copy.DBEncryptionKey(), "key");
  EXPECT_EQ(copy.ErrorsLevel(), tvbDebug);
  EXPECT_EQ(copy.BotToken(), "123:abc");
  EXPECT_EQ(copy.DatabaseDirectory(), source.DatabaseDirectory());

  source.API().SetApiId("999");
  EXPECT_EQ(copy.API().ApiId(), "12345");
  copy.Assign(&copy);
  EXPECT_EQ(copy.PhoneNumber(), "+491234");
}

TEST(TelegramOptions, ClientPropertiesCopyIntoTheOwnedObjects) {
  TqvnTDLib_Telegram client;
  TqvnTelegram_Options* owned = &client.Telegram();
  TqvnTelegram_Options options;
  Fill(options);
  client.SetTelegram(options);
  EXPECT_EQ(&client.Telegram(), owned);
  EXPECT_EQ(client.Telegram().BotToken(), "123:abc");

  TqvnTelegramParameters_Options parameters;
  parameters.SetDeviceModel("Phone");
  client.Telegram().SetParameters(parameters);
  EXPECT_EQ(client.Telegram().Parameters().DeviceModel(), "Phone");
  EXPECT_EQ(client.Telegram().Parameters().LanguageCode(), "en");
}

TEST(TelegramOptions, AssignFromAnotherClassFailsAndChangesNothing) {
  struct Case {
    const TqvnPersistent* Source;
    TqvnPersistent* Target;
    const char* Message;
  };
  TqvnTelegram_Options options;
  Fill(options);
  TqvnTelegramAPI_Options api;
  TqvnTelegramParameters_Options parameters;
  const Case cases[] = {
      {&api, &options, "Cannot assign a TqvnTelegramAPI_Options to a TqvnTelegram_Options"},
      {&options, &parameters,
       "Cannot assign a TqvnTelegram_Options to a TqvnTelegramParameters_Options"},
      {&parameters, &api,
       "Cannot assign a TqvnTelegramParameters_Options to a TqvnTelegramAPI_Options"},
      {nullptr, &options, "Cannot assign a nil to a TqvnTelegram_Options"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    try {
      c.Target->Assign(c.Source);
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
  }
  EXPECT_EQ(options.API().ApiId(), "12345");
  EXPECT_EQ(options.Parameters().DeviceModel(), "Laptop");
}

}  // namespace
}  // namespace qvn::test
