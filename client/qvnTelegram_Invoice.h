// Invoice message content for SendInvoiceMessage.
//
// TqvnTelegramSendInvoiceObject holds the price (one part, labelled "Total") and the invoice's
// options; TqvnTelegramSendInvoice holds the whole content: title, description, the invoice
// object, payload, provider token, provider data and start parameter. Properties store values
// exactly as given; Write escapes every text it places between quotes (EscapeJSONString), so
// no value can break the request or add members to it. The provider data, itself JSON text,
// thus travels as a JSON string, which is the form TDLib expects. The payload is bytes to TDLib
// (Base64 in JSON), so Write sends it Base64-encoded: any text or bytes reach the bot as given.
//
// Ownership: the caller creates, fills and frees a TqvnTelegramSendInvoice and may pass it to
// any number of requests. It owns its invoice object: Invoice() creates one on first use, and
// SetInvoice takes ownership of the given one (freeing the one held before). No locking: fill
// and write on one thread at a time.
#ifndef QVN_CLIENT_QVNTELEGRAM_INVOICE_H
#define QVN_CLIENT_QVNTELEGRAM_INVOICE_H

#include <cstdint>
#include <memory>
#include <string>

namespace qvn {

class TqvnTelegramSendInvoiceObject {
 public:
  const std::string& Currency() const { return FCurrency; }
  void SetCurrency(std::string aValue) { FCurrency = std::move(aValue); }
  int32_t Total() const { return FTotal; }
  void SetTotal(int32_t aValue) { FTotal = aValue; }
  bool IsTest() const { return FIsTest; }
  void SetIsTest(bool aValue) { FIsTest = aValue; }
  bool NeedName() const { return FNeedName; }
  void SetNeedName(bool aValue) { FNeedName = aValue; }
  bool NeedPhoneNumber() const { return FNeedPhoneNumber; }
  void SetNeedPhoneNumber(bool aValue) { FNeedPhoneNumber = aValue; }
  bool NeedEmailAddress() const { return FNeedEmailAddress; }
  void SetNeedEmailAddress(bool aValue) { FNeedEmailAddress = aValue; }
  bool NeedShippingAddress() const { return FNeedShippingAddress; }
  void SetNeedShippingAddress(bool aValue) { FNeedShippingAddress = aValue; }
  bool SendPhoneNumberToProvider() const { return FSendPhoneNumberToProvider; }
  void SetSendPhoneNumberToProvider(bool aValue) { FSendPhoneNumberToProvider = aValue; }
  bool SendEmailAddressToProvider() const { return FSendEmailAddressToProvider; }
  void SetSendEmailAddressToProvider(bool aValue) { FSendEmailAddressToProvider = aValue; }
  bool IsFlexible() const { return FIsFlexible; }
  void SetIsFlexible(bool aValue) { FIsFlexible = aValue; }

  // The "invoice" object's JSON text: currency, one price part "Total" and the flags.
  std::string Write() const;

 private:
  std::string FCurrency;
  bool FIsFlexible = false;
  bool FIsTest = false;
  bool FNeedEmailAddress = false;
  bool FNeedName = false;
  bool FNeedPhoneNumber = false;
  bool FNeedShippingAddress = false;
  bool FSendEmailAddressToProvider = false;
  bool FSendPhoneNumberToProvider = false;
  int32_t FTotal = 0;
};

class TqvnTelegramSendInvoice {
 public:
  const std::string& Title() const { return FTitle; }
  void SetTitle(std::string aValue) { FTitle = std::move(aValue); }
  const std::string& Description() const { return FDescription; }
  void SetDescription(std::string aValue) { FDescription = std::move(aValue); }
  // Never null: created on first read.
  TqvnTelegramSendInvoiceObject& Invoice();
  // Takes ownership of aInvoice (null lets the next read create a fresh one).
  void SetInvoice(std::unique_ptr<TqvnTelegramSendInvoiceObject> aInvoice) {
    FInvoice = std::move(aInvoice);
  }
  // Bytes the bot gets back with the payment; any bytes, sent Base64-encoded.
  const std::string& Payload() const { return FPayload; }
  void SetPayload(std::string aValue) { FPayload = std::move(aValue); }
  const std::string& ProviderToken() const { return FProviderToken; }
  void SetProviderToken(std::string aValue) { FProviderToken = std::move(aValue); }
  const std::string& ProviderData() const { return FProviderData; }
  void SetProviderData(std::string aValue) { FProviderData = std::move(aValue); }
  const std::string& StartParameter() const { return FStartParameter; }
  void SetStartParameter(std::string aValue) { FStartParameter = std::move(aValue); }

  // The "inputMessageInvoice" content's JSON text. Reads Invoice(), so it creates the invoice
  // object when none was set.
  std::string Write();

 private:
  std::string FDescription;
  std::unique_ptr<TqvnTelegramSendInvoiceObject> FInvoice;
  std::string FPayload;
  std::string FProviderData;
  std::string FProviderToken;
  std::string FStartParameter;
  std::string FTitle;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_INVOICE_H
