#include "baseline/answer_evaluation.h"

std::string normalQName(const platform::XmlNormalForm& form,
                        platform::XmlNameTable& names, std::uint32_t scope,
                        std::string_view value) {
  const std::size_t first = value.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return std::string(value);
  const std::string_view name =
      value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
  const std::size_t colon = name.find(':');
  const std::string_view prefix = colon == std::string_view::npos
                                      ? std::string_view()
                                      : name.substr(0, colon);
  const std::string_view local =
      colon == std::string_view::npos ? name : name.substr(colon + 1);
  if (local.empty() || local.find(':') != std::string_view::npos ||
      local.find_first_of(" \t\r\n") != std::string_view::npos ||
      (colon != std::string_view::npos && prefix.empty())) {
    return std::string(value);
  }
  std::string_view uri;
  if (!form.uriOf(scope, prefix, uri)) return std::string(value);
  if (uri.empty()) return std::string(local);
  return names.prefixFor(uri) + ":" + std::string(local);
}
