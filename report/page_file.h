#pragma once

#include <string>

#include "platform/os/atomic_file.h"

class RunPage;

// The page's file, made when the run starts, so that a page that cannot be
// written fails the start, and put in place whole at its end, as the JUnit
// report is: an earlier page stays until then, and a run killed before
// leaves none half-written.
class PageFile {
 public:
  // False with `reason` when the file cannot be made.
  bool open(const std::string& path, std::string& reason);
  bool isOpen() const { return file_.isOpen(); }
  const std::string& path() const { return file_.path(); }

  // Writes the page and puts it in place; false with the reason.
  bool write(const RunPage& page, std::string& reason);

 private:
  platform::AtomicFile file_;
};
