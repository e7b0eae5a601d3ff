// The Kerberos login against a real KDC: run by tests/auth_test.py, which
// starts the realm and names its user; skipped elsewhere.

#include "platform/http/auth/kerberos_login.h"

#include <gssapi/gssapi_krb5.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Points GSS-API at `name`; returns what it pointed at before.
std::string pointGssAt(const char* name) {
  OM_uint32 minor = 0;
  const char* previous = nullptr;
  gss_krb5_ccache_name(&minor, name, &previous);
  return previous == nullptr ? "<none>" : previous;
}

TEST(KerberosLoginTest, GssApiPresentsWhatItDidBeforeOnceTheLoginGoes) {
  const char* user = std::getenv("KES_TEST_KRB5_USER");
  const char* password = std::getenv("KES_TEST_KRB5_PASSWORD");
  if (user == nullptr || password == nullptr) {
    GTEST_SKIP() << "needs the realm that tests/auth_test.py starts";
  }
  pointGssAt("FILE:/nonexistent/before");
  {
    platform::KerberosLogin login;
    std::string reason;
    ASSERT_TRUE(login.obtain(user, password, reason)) << reason;
    const std::string during = pointGssAt(nullptr);
    EXPECT_EQ(during.rfind("MEMORY:", 0), 0u) << during;
    pointGssAt(during.c_str());
  }
  EXPECT_EQ(pointGssAt(nullptr), "FILE:/nonexistent/before");
}

}  // namespace
