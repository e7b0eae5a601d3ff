// What keeps secrets out of the run's output.

#include "secrets/secret_mask.h"

#include <gtest/gtest.h>

#include "secrets/secret_file.h"
#include "tests/test_support.h"

namespace {

TEST(SecretMaskTest, HidesEverySecretBeforeACut) {
  SecretMask secrets;
  secrets.add("pass");
  secrets.add("");  // no secret
  secrets.add("p&ss");
  // As an XML answer writes it, too.
  EXPECT_EQ(secrets.hidden("a pass, p&ss and p&amp;ss"), "a ***, *** and ***");
  EXPECT_FALSE(secrets.appearsIn("pas s"));
  // A secret that straddles the cut is hidden whole, never shown in part.
  const std::string text = std::string(10, 'x') + "pass" + "yy";
  for (std::size_t most = 0; most <= 16; ++most) {
    const std::string head = secrets.hiddenHead(text, most);
    EXPECT_LE(head.size(), most);
    EXPECT_EQ(head.find("pa"), std::string::npos) << most;
  }
  EXPECT_EQ(secrets.hiddenHead(text, 14), std::string(10, 'x') + "***y");
  // Shorter than what hides it, a secret still goes whole.
  SecretMask short_;
  short_.add("ab");
  EXPECT_EQ(short_.hiddenHead("xxab", 3), "xx*");
}

TEST(SecretMaskTest, MarkupThatSpellsASecretIsHiddenWhole) {
  SecretMask secrets;
  secrets.add("s3cret");
  const struct {
    const char* markup;
    const char* shown;
  } cases[] = {
      {"<p>s3&#99;ret</p>", "<p>***</p>"},
      {"<p a=\"&#x73;3cre&#116;\"/>", "<p a=\"***\"/>"},
      {"<t>cdata s3<![CDATA[cr]]>et!</t>", "<t>cdata ***!</t>"},
      {"<![CDATA[s3cret]]> and s3cr&#101;t", "<![CDATA[***]]> and ***"},
      // Not the secret once resolved: left as it is.
      {"s3&#99;rex &bogus; <![CDATA[s3c", "s3&#99;rex &bogus; <![CDATA[s3c"},
      {"s3&amp;cret", "s3&amp;cret"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(secrets.hiddenInMarkup(c.markup), c.shown) << c.markup;
    EXPECT_EQ(secrets.appearsInMarkup(c.markup),
              std::string(c.markup) != c.shown)
        << c.markup;
  }
}

TEST(SecretMaskTest, AFileOfTheRunNeverHoldsASecret) {
  test_support::TempDir dir;
  SecretMask secrets;
  secrets.add("s3cret");
  std::string reason;
  {
    SecretFile file;
    ASSERT_TRUE(file.open(dir.path() + "/trace", secrets, reason)) << reason;
    const std::string request = "<login password=\"s3cret\"/>\n";
    const std::string answer = "<ok/>\n";
    file.append(request.data(), request.size());
    file.append(answer.data(), answer.size());
  }
  EXPECT_EQ(test_support::readFile(dir.path() + "/trace"),
            "<login password=\"***\"/>\n<ok/>\n");
}

}  // namespace
