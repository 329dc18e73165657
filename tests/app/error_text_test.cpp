// TDLib's errors in words, with TDLib's own message and code kept.
#include <gtest/gtest.h>

#include "app/qvnErrorText.h"

namespace qvn::test {
namespace {

TEST(ErrorTextTest, ErrorNamesReadAsSentencesAndKeepTDLibsWords) {
  const struct {
    int32_t Code;
    const char* Message;
    const char* Text;
  } kCases[] = {
      {400, "PHONE_CODE_INVALID",
       "The code is not correct. Check it and type it again. (PHONE_CODE_INVALID, error 400)"},
      {400, "PASSWORD_HASH_INVALID", "The password is not correct. (PASSWORD_HASH_INVALID, error 400)"},
      {429, "FLOOD_WAIT_300", "Too many attempts. Try again in 5 minutes. (FLOOD_WAIT_300, error 429)"},
      {429, "FLOOD_WAIT_1", "Too many attempts. Try again in a second. (FLOOD_WAIT_1, error 429)"},
      {429, "FLOOD_WAIT_86400",
       "Too many attempts. Try again in 24 hours. (FLOOD_WAIT_86400, error 429)"},
      {429, "Too Many Requests: retry after 61",
       "Too many attempts. Try again in 2 minutes. (Too Many Requests: retry after 61, error 429)"},
      // Not quite a known name: TDLib's message as it is.
      {429, "FLOOD_WAIT_", "FLOOD_WAIT_ (error 429)"},
      {429, "FLOOD_WAIT_12x", "FLOOD_WAIT_12x (error 429)"},
      {400, "PHONE_CODE_INVALID_", "PHONE_CODE_INVALID_ (error 400)"},
      {400, "Valid api_id must be provided. Can be obtained at https://my.telegram.org",
       "Valid api_id must be provided. Can be obtained at https://my.telegram.org (error 400)"},
      {500, "", " (error 500)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Message);
    EXPECT_EQ(TDLibErrorText(c.Code, c.Message), c.Text);
  }
}

}  // namespace
}  // namespace qvn::test
