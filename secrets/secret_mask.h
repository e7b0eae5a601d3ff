#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The run's secrets in every form an output can meet them: the password of
// -p and one written into the provider's address, as given, as XML escapes
// them, and in the login Basic sends. Every output of the run takes this
// one type when it is opened (the trace and the answers file as a
// SecretFile, the recording, the report, the page, the echo, the
// comparison of answers) and passes what it writes through it. The secrets
// are wiped when the mask goes.
class SecretMask {
 public:
  SecretMask() = default;
  ~SecretMask();
  SecretMask(const SecretMask&) = delete;
  SecretMask& operator=(const SecretMask&) = delete;

  // An empty secret is none. What XML escapes of it is hidden as it is
  // escaped too.
  void add(const std::string& secret);

  bool empty() const { return secrets_.empty(); }
  bool appearsIn(std::string_view text) const;
  // `text` with every secret replaced by "***"; with `at`, where each
  // "***" stands in what is given back.
  std::string hidden(std::string_view text,
                     std::vector<std::size_t>* at = nullptr) const;
  // The same, cut to at most `most` bytes: the secrets are hidden before the
  // cut, so that none shows in part.
  std::string hiddenHead(std::string_view text, std::size_t most,
                         std::vector<std::size_t>* at = nullptr) const;
  // `text` as XML markup shown to a person (the report, the page, the
  // echo): hidden as above, and also where the markup spells a secret in
  // character references, entities or CDATA sections (`s3&#99;ret`,
  // `s3<![CDATA[cr]]>et`), the whole spelling going.
  std::string hiddenInMarkup(std::string_view text) const;
  bool appearsInMarkup(std::string_view text) const;

 private:
  void keep(const std::string& secret);
  // The first secret at or after `from`: its place, or npos, and its size.
  std::size_t next(std::string_view text, std::size_t from,
                   std::size_t& size) const;

  std::vector<std::string> secrets_;
};
