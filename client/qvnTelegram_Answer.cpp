#include "client/qvnTelegram_Answer.h"

#include <exception>

#include "client/qvnTelegram_NodeText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {

TqvnTelegramAnswer TqvnTelegramAnswer::Read(std::string aText) {
  TqvnTelegramAnswer answer;
  answer.Document = std::make_shared<TqvnJSON>();
  answer.Document->Read(aText);
  answer.Text = std::move(aText);
  if (const IqvnObjectJSON type = answer.Document->GetNode("@type")) answer.Type = NodeText(*type);
  if (answer.Type != "error") return answer;

  answer.Kind = takTDLibError;
  if (const IqvnObjectJSON code = answer.Document->GetNode("code")) {
    try {
      answer.Code = code->Value().AsInteger();
    } catch (const std::exception&) {
      // TDLib always sends a 32-bit code; anything else stays 0.
    }
  }
  if (const IqvnObjectJSON message = answer.Document->GetNode("message")) {
    answer.Message = NodeText(*message);
    try {
      answer.Message = UnescapeJSONString(answer.Message);
    } catch (const std::exception&) {
      // A broken escape: the message as TDLib wrote it says more than nothing.
    }
  }
  return answer;
}

TqvnTelegramAnswer TqvnTelegramAnswer::Failure(TqvnTelegramAnswerKind aKind, std::string aMessage) {
  TqvnTelegramAnswer answer;
  answer.Kind = aKind;
  answer.Message = std::move(aMessage);
  return answer;
}

}  // namespace qvn
