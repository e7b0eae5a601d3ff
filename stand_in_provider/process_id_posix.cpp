#include <unistd.h>

#include "stand_in_provider/process_id.h"

long processId() { return static_cast<long>(::getpid()); }
