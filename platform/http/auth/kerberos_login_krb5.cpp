#include <gssapi/gssapi_krb5.h>
#include <krb5.h>

#include <ctime>

#include "platform/http/auth/kerberos_login.h"

namespace platform {

namespace {

struct ContextFree {
  void operator()(krb5_context context) const { krb5_free_context(context); }
};
using Context =
    std::unique_ptr<std::remove_pointer_t<krb5_context>, ContextFree>;

// Frees what belongs to a context, before the context itself goes.
class Principal {
 public:
  explicit Principal(krb5_context context) : context_(context) {}
  ~Principal() {
    if (principal_ != nullptr) krb5_free_principal(context_, principal_);
  }
  Principal(const Principal&) = delete;
  Principal& operator=(const Principal&) = delete;
  krb5_principal* out() { return &principal_; }
  krb5_principal get() const { return principal_; }

 private:
  krb5_context context_;
  krb5_principal principal_ = nullptr;
};

class Cache {
 public:
  Cache(krb5_context context, bool destroy)
      : context_(context), destroy_(destroy) {}
  ~Cache() {
    if (cache_ == nullptr) return;
    if (destroy_) {
      krb5_cc_destroy(context_, cache_);
    } else {
      krb5_cc_close(context_, cache_);
    }
  }
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;
  krb5_ccache* out() { return &cache_; }
  krb5_ccache get() const { return cache_; }

 private:
  krb5_context context_;
  bool destroy_;
  krb5_ccache cache_ = nullptr;
};

// The library's text for `code`, and plain words for what a tester meets.
std::string explained(krb5_context context, krb5_error_code code) {
  const char* text = krb5_get_error_message(context, code);
  std::string said = text != nullptr ? text : "unknown failure";
  krb5_free_error_message(context, text);
  switch (code) {
    case KRB5KDC_ERR_PREAUTH_FAILED:
    case KRB5KRB_AP_ERR_BAD_INTEGRITY:
      return "the password is wrong (" + said + ")";
    case KRB5KDC_ERR_C_PRINCIPAL_UNKNOWN:
      return "the KDC knows no such user (" + said + ")";
    case KRB5_KDC_UNREACH:
    case KRB5_REALM_CANT_RESOLVE:
    case KRB5_REALM_UNKNOWN:
      return "no KDC could be reached (" + said + ")";
    default:
      return said;
  }
}

// The user as the KDC knows it: the default realm added where none is.
std::string fullName(krb5_context context, krb5_principal principal,
                     const std::string& given) {
  char* name = nullptr;
  if (krb5_unparse_name(context, principal, &name) != 0) return given;
  std::string full = name;
  krb5_free_unparsed_name(context, name);
  return full;
}

}  // namespace

struct KerberosLogin::State {
  Context context;
  std::unique_ptr<Cache> cache;  // goes before the context it needs
  // What GSS-API presented before this login pointed it at its own cache.
  bool pointed = false;
  bool hadName = false;
  std::string previousName;

  ~State() {
    if (!pointed) return;
    OM_uint32 minor = 0;
    gss_krb5_ccache_name(&minor, hadName ? previousName.c_str() : nullptr,
                         nullptr);
  }
};

KerberosLogin::KerberosLogin() : state_(std::make_unique<State>()) {}

KerberosLogin::~KerberosLogin() = default;

bool KerberosLogin::obtain(const std::string& user, const std::string& password,
                           std::string& reason) {
  const std::string named = "Cannot get a Kerberos ticket for \"";
  krb5_context raw = nullptr;
  if (krb5_error_code code = krb5_init_context(&raw)) {
    reason = named + user + "\": the Kerberos library could not start (" +
             std::to_string(code) + ")";
    return false;
  }
  State& s = *state_;
  s.context.reset(raw);
  Principal principal(raw);
  if (krb5_error_code code =
          krb5_parse_name(raw, user.c_str(), principal.out())) {
    reason = named + user + "\": " + explained(raw, code);
    return false;
  }
  const std::string full = fullName(raw, principal.get(), user);
  auto cache = std::make_unique<Cache>(raw, true);
  krb5_creds credentials{};
  krb5_error_code code =
      krb5_cc_new_unique(raw, "MEMORY", nullptr, cache->out());
  if (code == 0) {
    code = krb5_get_init_creds_password(raw, &credentials, principal.get(),
                                        password.c_str(), nullptr, nullptr, 0,
                                        nullptr, nullptr);
  }
  if (code == 0) {
    code = krb5_cc_initialize(raw, cache->get(), principal.get());
    if (code == 0) code = krb5_cc_store_cred(raw, cache->get(), &credentials);
    krb5_free_cred_contents(raw, &credentials);
  }
  char* cacheName = nullptr;
  if (code == 0) code = krb5_cc_get_full_name(raw, cache->get(), &cacheName);
  if (code != 0) {
    reason = named + full + "\": " + explained(raw, code);
    return false;
  }
  // Negotiate, through GSS-API, presents what this cache holds.
  OM_uint32 minor = 0;
  const char* previous = nullptr;
  const OM_uint32 major = gss_krb5_ccache_name(&minor, cacheName, &previous);
  krb5_free_string(raw, cacheName);
  if (GSS_ERROR(major)) {
    reason = named + full + "\": GSS-API refused the credential cache";
    return false;
  }
  // Valid only until the next call: kept, to be put back at the end.
  s.pointed = true;
  s.hadName = previous != nullptr;
  if (previous != nullptr) s.previousName = previous;
  s.cache = std::move(cache);
  return true;
}

bool sessionHoldsTicket(const std::string& user, std::string& reason) {
  krb5_context raw = nullptr;
  if (krb5_init_context(&raw) != 0) {
    reason = "No Kerberos ticket for \"" + user +
             "\": the Kerberos library could not start";
    return false;
  }
  const Context context(raw);
  Principal wanted(raw);
  Principal holder(raw);
  Cache cache(raw, false);
  std::string full = user;
  krb5_error_code code = krb5_parse_name(raw, user.c_str(), wanted.out());
  if (code == 0) {
    full = fullName(raw, wanted.get(), user);
    code = krb5_cc_default(raw, cache.out());
  }
  if (code == 0) code = krb5_cc_get_principal(raw, cache.get(), holder.out());
  const std::string named = "No Kerberos ticket for \"" + full +
                            "\" in the session's credential cache";
  if (code != 0) {
    reason = named + ": " + explained(raw, code);
    return false;
  }
  if (!krb5_principal_compare(raw, wanted.get(), holder.get())) {
    reason = named + ": it holds the tickets of \"" +
             fullName(raw, holder.get(), "") + "\"";
    return false;
  }
  // A ticket of its user that is still valid.
  krb5_cc_cursor cursor = nullptr;
  if (krb5_cc_start_seq_get(raw, cache.get(), &cursor) != 0) {
    reason = named + ": the cache cannot be read";
    return false;
  }
  bool valid = false;
  krb5_creds credentials{};
  const auto now = static_cast<krb5_timestamp>(std::time(nullptr));
  while (!valid &&
         krb5_cc_next_cred(raw, cache.get(), &cursor, &credentials) == 0) {
    valid = credentials.times.endtime > now &&
            krb5_principal_compare(raw, credentials.client, wanted.get());
    krb5_free_cred_contents(raw, &credentials);
  }
  krb5_cc_end_seq_get(raw, cache.get(), &cursor);
  if (!valid) reason = named + ": its tickets have run out";
  return valid;
}

}  // namespace platform
