#pragma once

#include <cstddef>

namespace platform {

// The XML libraries report a failed allocation inside a copy or an edit by
// returning an empty or partial result, not by throwing. Their memory goes
// through these functions, which count the failures, so that the document
// layer can notice one after each of its operations.
void* watchedAllocate(std::size_t size);
void* watchedReallocate(void* block, std::size_t size);
void watchedFree(void* block);

// Whether an allocation has failed since the last look; clears the count.
bool takeAllocationFailure();

// Throws a TOVException naming `operation` when an allocation has failed
// since the last check; clears the count either way.
void throwIfAllocationFailed(const char* operation);

}  // namespace platform
