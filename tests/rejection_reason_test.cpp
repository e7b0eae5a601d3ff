// The reason a rejection's console line gives: what the answer says, on one
// short line, never more of a secret than "***".

#include "delivery/rejection_reason.h"

#include <gtest/gtest.h>

#include "secrets/secret_mask.h"

namespace {

TEST(RejectionReasonTest, TheFirstLineOfWhatTheAnswerSays) {
  const std::string longText(250, 'r');
  std::string accents;
  for (int i = 0; i < 230; ++i) accents += "\xC3\xA9";  // é
  std::string cutAccents;
  for (int i = 0; i < 197; ++i) cutAccents += "\xC3\xA9";
  const struct {
    std::string answer;
    std::string reason;
  } cases[] = {
      {"<error status=\"400\" time=\"t\" id=\"i\">the stylesheet imports "
       "another file</error>",
       "the stylesheet imports another file"},
      {"<?xml version=\"1.0\"?>\n<answer><detail/><error>first\nsecond"
       "</error><error>other</error></answer>",
       "first"},
      {"<error>caf&#233; &amp; more</error>", "caf\xC3\xA9 & more"},
      {"refused as told", "refused as told"},
      {"\r\n  \n  Service Unavailable  \r\nTry later", "Service Unavailable"},
      {"bell\x07 and escape\x1b[2J", "bell  and escape [2J"},
      {"not \xFF UTF-8", "not \xEF\xBF\xBD UTF-8"},
      {std::string(200, 'x'), std::string(200, 'x')},
      {longText, std::string(197, 'r') + "..."},
      {accents, cutAccents + "..."},
      // No reason: markup that is no XML, XML without an error, an empty
      // error, a page of text, bytes that are no text.
      {"<!DOCTYPE html><html><body><p>Bad</body></html>", ""},
      {"<answer status=\"failed\"/>", ""},
      {"<error/>", ""},
      {"", ""},
      {std::string(1025, 'p'), ""},
      {std::string("a\0b", 3), ""},
  };
  const SecretMask none;
  for (const auto& c : cases) {
    EXPECT_EQ(rejectionReason(c.answer, none), c.reason) << c.answer;
  }
}

TEST(RejectionReasonTest, SecretsAreHiddenBeforeTheCut) {
  SecretMask secrets;
  secrets.add("s3cret");
  const struct {
    std::string answer;
    std::string reason;
  } cases[] = {
      {"the password s3cret is wrong", "the password *** is wrong"},
      // As XML writes it: shown resolved, hidden all the same.
      {"<error>password s3&#99;ret is wrong</error>", "password *** is wrong"},
      // Cut where the secret stood: what shows is part of its mask.
      {std::string(196, 'a') + "s3cret" + "bbbb",
       std::string(196, 'a') + "*..."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rejectionReason(c.answer, secrets), c.reason) << c.answer;
  }
}

}  // namespace
