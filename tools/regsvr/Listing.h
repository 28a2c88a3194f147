// `regsvr --list`: every registered filter (class, friendly name, category, merit, module, pins
// and their media types) and every URL scheme, check-byte pattern and file extension with the
// source filter it leads to.
#pragma once

#include <ostream>

void ListRegistrations(std::ostream& out);
