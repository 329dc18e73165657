// Invoice texts.
#include "client/qvnTelegram_Invoice.h"

#include "client/qvnTelegram_RequestText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {

std::string TqvnTelegramSendInvoiceObject::Write() const {
  return FillTemplate(
      R"({"currency": "%s", "price_parts": [{"label": "Total", "amount": %d}], )"
      R"("is_test": %b, "need_name": %b, "need_phone_number": %b, "need_email_address": %b, )"
      R"("need_shipping_address": %b, "send_phone_number_to_provider": %b, )"
      R"("send_email_address_to_provider": %b, "is_flexible": %b})",
      {FCurrency, FTotal, FIsTest, FNeedName, FNeedPhoneNumber, FNeedEmailAddress,
       FNeedShippingAddress, FSendPhoneNumberToProvider, FSendEmailAddressToProvider, FIsFlexible});
}

TqvnTelegramSendInvoiceObject& TqvnTelegramSendInvoice::Invoice() {
  if (!FInvoice) FInvoice = std::make_unique<TqvnTelegramSendInvoiceObject>();
  return *FInvoice;
}

std::string TqvnTelegramSendInvoice::Write() {
  return FillTemplate(
      R"({"@type": "inputMessageInvoice", "invoice": %j, "title": "%s", "description": "%s", )"
      R"("payload": "%e", "provider_token": "%s", "provider_data": "%s", "start_parameter": "%s"})",
      {JSONPiece(Invoice().Write()), FTitle, FDescription, EscapedText(EncodeBase64(FPayload)),
       FProviderToken, FProviderData, FStartParameter});
}

}  // namespace qvn
