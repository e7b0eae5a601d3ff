#include "baseline/request_fingerprint.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

#include "baseline/answer_evaluation.h"
#include "baseline/fnv1a.h"
#include "platform/xml/xml_normal_form.h"

namespace {

constexpr std::string_view kEnd("", 1);

Fnv1a begun(std::string_view type, std::string_view action) {
  // XML names hold no NUL, so the parts cannot run into each other.
  Fnv1a hash;
  hash.add(type);
  hash.add(kEnd);
  hash.add(action);
  hash.add(kEnd);
  return hash;
}

std::string digitsOf(const Fnv1a& hash) {
  static const char kHex[] = "0123456789abcdef";
  std::string digits(16, '0');
  std::uint64_t value = hash.value();
  for (std::size_t i = 16; i-- > 0; value >>= 4) digits[i] = kHex[value & 0xF];
  return digits;
}

// The envelope's children in their normal form, as the canonical form
// writes them.
void addPayload(const platform::XmlNormalForm& form,
                const platform::XmlNameTable& names, std::string& out) {
  using platform::XmlNormalForm;
  if (form.nodes.size() < 2) return;
  std::vector<std::uint32_t> open;
  const std::uint32_t end = form.nodes[1].end;
  std::vector<const XmlNormalForm::Attribute*> attributes;
  const auto addName = [&](std::uint32_t name) {
    out.append(names.uri(name)).append(1, '\0');
    out.append(names.local(name)).append(1, '\0');
  };
  for (std::uint32_t i = 2; i < end; ++i) {
    while (!open.empty() && open.back() <= i) {
      out += 'Z';
      open.pop_back();
    }
    const XmlNormalForm::Node& node = form.nodes[i];
    if (node.kind == XmlNormalForm::Kind::kText) {
      out += 'T';
      out.append(form.value(node)).append(1, '\0');
      continue;
    }
    out += 'E';
    addName(node.name);
    attributes.clear();
    // A replayed transaction's number is no part of what it asks.
    const bool replayed = open.empty() && names.uri(node.name).empty() &&
                          names.local(node.name) == "transaction";
    for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
      const std::uint32_t name = form.attributes[a].name;
      if (replayed && names.uri(name).empty() && names.local(name) == "seq") {
        continue;
      }
      attributes.push_back(&form.attributes[a]);
    }
    std::sort(attributes.begin(), attributes.end(),
              [&](const XmlNormalForm::Attribute* x,
                  const XmlNormalForm::Attribute* y) {
                return std::tie(names.uri(x->name), names.local(x->name)) <
                       std::tie(names.uri(y->name), names.local(y->name));
              });
    for (const XmlNormalForm::Attribute* attribute : attributes) {
      out += 'A';
      addName(attribute->name);
      out.append(form.value(*attribute)).append(1, '\0');
    }
    open.push_back(node.end);
  }
  for (; !open.empty(); open.pop_back()) out += 'Z';
}

}  // namespace

std::string requestFingerprint(std::string_view type, std::string_view action,
                               std::string_view canonicalPayload) {
  Fnv1a hash = begun(type, action);
  hash.add(canonicalPayload);
  return digitsOf(hash);
}

std::string canonicalPayloadOf(std::string_view envelope) {
  if (!envelope.empty() && envelope.back() == '\0') envelope.remove_suffix(1);
  platform::XmlNameTable names(std::vector<std::pair<std::string, std::string>>{
      {"xml", "http://www.w3.org/XML/1998/namespace"}});
  platform::XmlNormalForm form;
  platform::XmlNormalFormFault fault;
  // No envelope this client built: its text is all there is.
  if (!platform::buildXmlNormalForm(envelope, names, form, fault)) {
    return std::string(envelope);
  }
  dropLayout(form, names);
  std::string out;
  addPayload(form, names, out);
  return out;
}

std::string legacyRequestFingerprint(std::string_view type,
                                     std::string_view action,
                                     std::string_view envelope) {
  Fnv1a hash = begun(type, action);
  hash.add(envelopePayload(envelope));
  return digitsOf(hash);
}

std::string_view envelopePayload(std::string_view request) {
  if (!request.empty() && request.back() == '\0') request.remove_suffix(1);
  constexpr std::string_view kOpen = "<mdprovider";
  constexpr std::string_view kClose = "</mdprovider>";
  if (request.substr(0, kOpen.size()) != kOpen) return request;
  std::size_t at = kOpen.size();
  // Attribute values may hold '>' (the writer escapes only the quote), so
  // each value is passed by its closing quote.
  while (at < request.size()) {
    const char c = request[at];
    if (c == '>') break;
    if (c == '/')
      return request.substr(at, 2) == "/>" ? std::string_view() : request;
    if (c != '"' && c != '\'') {
      ++at;
      continue;
    }
    const std::size_t end = request.find(c, at + 1);
    if (end == std::string_view::npos) return request;
    at = end + 1;
  }
  const std::size_t start = at + 1;
  const std::size_t end = request.rfind(kClose);
  if (at >= request.size() || end == std::string_view::npos || end < start ||
      end + kClose.size() != request.size()) {
    return request;
  }
  return request.substr(start, end - start);
}
