// Captures what a call writes on standard output (through stdio or fd 1).
#pragma once

#include <functional>
#include <string>

std::string capture_stdout(const std::function<void()> &fn);
