#pragma once
// The date and time that heads a run's log: the system's short date, a blank and its long
// time format.
#include <string>

std::string LogStampNow();
