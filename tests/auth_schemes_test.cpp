// The schemes by name, what a Basic login sends, the schemes a challenge
// offers, and the lines of an answer's header the resend rule is told of.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/http/answer_header.h"
#include "platform/http/auth/auth_challenges.h"
#include "platform/http/auth/auth_scheme.h"
#include "platform/http/auth/basic_login.h"

namespace {

using platform::HttpAuthScheme;

TEST(AuthSchemeTest, NamedInAnyCaseAndSpelledAsAChallengeSpellsThem) {
  const struct {
    const char* name;
    bool known;
    HttpAuthScheme scheme;
    const char* spelled;
  } cases[] = {
      {"NTLM", true, HttpAuthScheme::kNtlm, "NTLM"},
      {"ntlm", true, HttpAuthScheme::kNtlm, "NTLM"},
      {"NEGOTIATE", true, HttpAuthScheme::kNegotiate, "Negotiate"},
      {"digest", true, HttpAuthScheme::kDigest, "Digest"},
      {"Basic", true, HttpAuthScheme::kBasic, "Basic"},
      {"Bas", false, HttpAuthScheme::kNone, ""},
      {"Basic ", false, HttpAuthScheme::kNone, ""},
      {"Kerberos", false, HttpAuthScheme::kNone, ""},
      {"", false, HttpAuthScheme::kNone, ""},
  };
  for (const auto& c : cases) {
    HttpAuthScheme scheme = HttpAuthScheme::kNone;
    EXPECT_EQ(platform::authSchemeNamed(c.name, scheme), c.known) << c.name;
    EXPECT_EQ(scheme, c.scheme) << c.name;
    EXPECT_STREQ(platform::authSchemeName(scheme), c.spelled) << c.name;
  }
}

TEST(BasicLoginTest, SendsTheBase64OfUserColonPassword) {
  const struct {
    const char* user;
    const char* password;
    const char* sent;
  } cases[] = {
      {"Aladdin", "open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
      {"test", "123\xc2\xa3", "dGVzdDoxMjPCow=="},  // UTF-8 beyond ASCII
      {"a", "", "YTo="},
      {"ab", "", "YWI6"},
      {"ab", "c", "YWI6Yw=="},
      {"", "\xff\xfe", "Ov/+"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::basicCredentials(c.user, c.password), c.sent) << c.user;
  }
}

TEST(AuthChallengesTest, EverySchemeOfEveryChallengeCounts) {
  std::vector<std::string> schemes;
  platform::addOfferedSchemes(
      R"( Digest realm="a, b", nonce="n", stale=true, Basic realm="c")",
      schemes);
  platform::addOfferedSchemes("Negotiate, NTLM TlRMTVNTUAACAAA=, Basic",
                              schemes);
  platform::addOfferedSchemes(R"(Bearer error = "x\", Hoba")", schemes);
  EXPECT_EQ(schemes, (std::vector<std::string>{"Digest", "Basic", "Negotiate",
                                               "NTLM", "Bearer"}));
  for (const char* name : {"digest", "NTLM", "bearer"}) {
    EXPECT_TRUE(platform::offersScheme(schemes, name)) << name;
  }
  for (const char* name : {"Hoba", "Dig", "realm", ""}) {
    EXPECT_FALSE(platform::offersScheme(schemes, name)) << name;
  }
}

TEST(AnswerHeaderTest, ReadsTheStatusTheChallengesAndTheEnd) {
  using Kind = platform::AnswerHeaderLine::Kind;
  const struct {
    const char* line;
    Kind kind;
    long status;
    const char* value;
  } cases[] = {
      {"HTTP/1.1 401 Unauthorized\r\n", Kind::kStatus, 401, ""},
      {"http/1.0 200\r\n", Kind::kStatus, 200, ""},
      {"HTTP/1.1 100 Continue\r\n", Kind::kStatus, 100, ""},
      {"HTTP/1.1 2x0 OK\r\n", Kind::kOther, 0, ""},
      {"HTTP/1.1\r\n", Kind::kOther, 0, ""},
      {"WWW-Authenticate: Digest realm=\"r\"\r\n", Kind::kChallenge, 0,
       " Digest realm=\"r\"\r\n"},
      {"www-authenticate:NTLM\r\n", Kind::kChallenge, 0, "NTLM\r\n"},
      {"Proxy-Authenticate: Basic realm=\"proxy\"\r\n", Kind::kOther, 0, ""},
      {"Content-Length: 0\r\n", Kind::kOther, 0, ""},
      {"\r\n", Kind::kEnd, 0, ""},
      {"\n", Kind::kEnd, 0, ""},
      {" \r\n", Kind::kOther, 0, ""},
  };
  for (const auto& c : cases) {
    const platform::AnswerHeaderLine read =
        platform::readAnswerHeaderLine(c.line);
    EXPECT_EQ(read.kind, c.kind) << c.line;
    if (c.kind == Kind::kStatus) {
      EXPECT_EQ(read.status, c.status) << c.line;
    }
    EXPECT_EQ(read.value, c.value) << c.line;
  }
}

}  // namespace
