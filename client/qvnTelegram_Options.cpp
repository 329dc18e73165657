#include "client/qvnTelegram_Options.h"

namespace qvn {

void TqvnPersistent::Assign(const TqvnPersistent* aSource) {
  const std::string source = aSource != nullptr ? aSource->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + source + " to a " + ClassName());
}

void TqvnTelegramAPI_Options::Assign(const TqvnPersistent* aSource) {
  auto* source = dynamic_cast<const TqvnTelegramAPI_Options*>(aSource);
  if (source == nullptr) return TqvnPersistent::Assign(aSource);
  FApiId = source->FApiId;
  FApiHash = source->FApiHash;
}

void TqvnTelegramParameters_Options::Assign(const TqvnPersistent* aSource) {
  auto* source = dynamic_cast<const TqvnTelegramParameters_Options*>(aSource);
  if (source == nullptr) return TqvnPersistent::Assign(aSource);
  FLanguageCode = source->FLanguageCode;
  FDeviceModel = source->FDeviceModel;
  FApplicationVersion = source->FApplicationVersion;
  FSystemVersion = source->FSystemVersion;
}

TqvnTelegram_Options::TqvnTelegram_Options()
    : FAPI(std::make_unique<TqvnTelegramAPI_Options>()),
      FParameters(std::make_unique<TqvnTelegramParameters_Options>()) {}

TqvnTelegram_Options::~TqvnTelegram_Options() = default;

void TqvnTelegram_Options::Assign(const TqvnPersistent* aSource) {
  auto* source = dynamic_cast<const TqvnTelegram_Options*>(aSource);
  if (source == nullptr) return TqvnPersistent::Assign(aSource);
  if (source == this) return;
  FAPI->Assign(source->FAPI.get());
  FParameters->Assign(source->FParameters.get());
  FPhoneNumber = source->FPhoneNumber;
  FDBEncryptionKey = source->FDBEncryptionKey;
  FErrorsLevel = source->FErrorsLevel;
  FBotToken = source->FBotToken;
  FDatabaseDirectory = source->FDatabaseDirectory;
}

}  // namespace qvn
