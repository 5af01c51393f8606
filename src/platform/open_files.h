#pragma once

#include <cstddef>

namespace qs {

// How many files the process may hold open at once; 1024 when the system does not say.
std::size_t OpenFileLimit();

}  // namespace qs
