// Invoice texts.
#include "client/qvnTelegram_Invoice.h"

#include "client/qvnTelegram_RequestText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {

std::string TqvnTelegramSendInvoiceObject::Write() const {
  return FillTemplate(
      "{\"currency\": \"%s\", \"price_parts\": [{\"label\": \"Total\", \"amount\": %s}], "
      "\"is_test\": %s, \"need_name\": %s, \"need_phone_number\": %s, \"need_email_address\": %s, "
      "\"need_shipping_address\": %s, \"send_phone_number_to_provider\": %s, "
      "\"send_email_address_to_provider\": %s, \"is_flexible\": %s}",
      {EscapeJSONString(FCurrency), std::to_string(FTotal), BoolText(FIsTest), BoolText(FNeedName),
       BoolText(FNeedPhoneNumber), BoolText(FNeedEmailAddress), BoolText(FNeedShippingAddress),
       BoolText(FSendPhoneNumberToProvider), BoolText(FSendEmailAddressToProvider),
       BoolText(FIsFlexible)});
}

TqvnTelegramSendInvoiceObject& TqvnTelegramSendInvoice::Invoice() {
  if (!FInvoice) FInvoice = std::make_unique<TqvnTelegramSendInvoiceObject>();
  return *FInvoice;
}

std::string TqvnTelegramSendInvoice::Write() {
  std::string result = "{\"@type\": \"inputMessageInvoice\", \"invoice\": ";
  result += Invoice().Write();
  result += ", ";
  result += FillTemplate(
      "\"title\": \"%s\", \"description\": \"%s\", \"payload\": \"%s\", ",
      {EscapeJSONString(FTitle), EscapeJSONString(FDescription), EncodeBase64(FPayload)});
  result += FillTemplate(
      "\"provider_token\": \"%s\", \"provider_data\": \"%s\", \"start_parameter\": \"%s\"}",
      {EscapeJSONString(FProviderToken), EscapeJSONString(FProviderData),
       EscapeJSONString(FStartParameter)});
  return result;
}

}  // namespace qvn
