#include "secrets/secret_file.h"

#include <string_view>

bool SecretFile::open(const std::string& path, const SecretMask& secrets,
                      std::string& reason) {
  secrets_ = &secrets;
  return file_.open(path, reason);
}

void SecretFile::append(const char* data, std::size_t size) {
  const std::string_view text(data, size);
  // Nearly always nothing to hide: then no copy.
  if (!secrets_->empty() && secrets_->appearsIn(text)) {
    const std::string hidden = secrets_->hidden(text);
    file_.append(hidden.data(), hidden.size());
    return;
  }
  file_.append(data, size);
}
