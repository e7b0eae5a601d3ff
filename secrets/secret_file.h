#pragma once

#include <cstddef>
#include <string>

#include "platform/os/output_file.h"
#include "secrets/secret_mask.h"

// A file of the run that an answer or a request can reach (the trace, the
// answers file): opened only with the run's secrets, and nothing is written
// to it that holds one.
class SecretFile {
 public:
  // False with `reason` when the file cannot be made.
  bool open(const std::string& path, const SecretMask& secrets,
            std::string& reason);
  bool isOpen() const { return file_.isOpen(); }

  // Throws a TOVException naming the file when it cannot be written.
  void append(const char* data, std::size_t size);

 private:
  platform::OutputFile file_;
  const SecretMask* secrets_ = nullptr;
};
