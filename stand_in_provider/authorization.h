#pragma once

#include <httplib.h>

#include "stand_in_provider/faults.h"

// Whether the request may pass the credentials the faults demand;
// otherwise `response` holds the challenge.
bool authorized(const Faults& faults, const httplib::Request& request,
                httplib::Response& response);
