#include "platform/xml/allocation_watch.h"

#include <cstdlib>
#include <string>

#include "platform/core/tov_exception.h"

namespace platform {

namespace {

// Each thread checks the operations it made: a replay builds requests on
// one thread while another reads the answers.
thread_local unsigned long failedAllocations = 0;

}  // namespace

void* watchedAllocate(std::size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr && size != 0) ++failedAllocations;
  return block;
}

void* watchedReallocate(void* block, std::size_t size) {
  void* moved = std::realloc(block, size);
  if (moved == nullptr && size != 0) ++failedAllocations;
  return moved;
}

void watchedFree(void* block) { std::free(block); }

bool takeAllocationFailure() {
  const bool failed = failedAllocations != 0;
  failedAllocations = 0;
  return failed;
}

void throwIfAllocationFailed(const char* operation) {
  if (!takeAllocationFailure()) return;
  throw new TOVException(std::string("Out of memory in the XML document (") +
                         operation + ")");
}

}  // namespace platform
