#include "platform/open_files.h"

#include <sys/resource.h>

namespace qs {

std::size_t OpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 1024;
    }
    return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace qs
