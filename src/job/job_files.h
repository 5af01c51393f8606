#pragma once

#include <cstdint>
#include <set>
#include <utility>

#include "text/text.h"

namespace qs {

// The files a job has read or written, by path and by the identity of the file behind it
// (another spelling of the same path): none of the job's outputs may take their place.
class JobFiles {
public:
    void Clear();
    void Add(const Text& path);
    bool Holds(const Text& path) const;

private:
    std::set<Text> m_paths;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_identities;
};

}  // namespace qs
