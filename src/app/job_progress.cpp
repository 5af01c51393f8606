#include "app/job_progress.h"

#include <algorithm>

namespace qs {

void JobProgress::Begin(const std::map<Text, std::int64_t>& sizes, int loops) {
    *this = JobProgress();
    m_sizes = sizes;
    for (const auto& [path, size] : m_sizes) {
        m_total += std::max<std::int64_t>(size, 0);
    }
    m_loops = std::max(loops, 0);
}

void JobProgress::FilesStarting(int n) {
    m_doneBytes += m_currentBytes;
    m_currentBytes = 0;
    // Where the loops are not known beforehand (sub-folders), each takes half of what is left.
    m_loopStart += m_loop == 0 ? 0 : m_loopWidth;
    m_loopWidth = m_loops > 0 ? std::max(0.0, std::min(1.0 / m_loops, 1 - m_loopStart))
                              : (1 - m_loopStart) / 2;
    ++m_loop;
    m_n = n;
    m_i = 0;
}

void JobProgress::SourceStarted(int i, const Text& path) {
    m_doneBytes += m_currentBytes;
    const auto found = m_sizes.find(path);
    m_currentBytes = found != m_sizes.end() ? std::max<std::int64_t>(found->second, 0) : 0;
    m_i = i;
    m_ofCurrent = 0;
}

void JobProgress::SourceReadTo(std::int64_t position, std::int64_t length) {
    m_ofCurrent =
        length <= 0
            ? 1.0
            : std::clamp(static_cast<double>(position) / static_cast<double>(length), 0.0, 1.0);
}

double JobProgress::Fraction(double ofCurrentSource) {
    if (m_done) {
        return m_shown = 1;
    }
    const double f = std::clamp(ofCurrentSource, 0.0, 1.0);
    double now = 0;
    if (m_total > 0) {
        now = (static_cast<double>(m_doneBytes) + f * static_cast<double>(m_currentBytes)) /
              static_cast<double>(m_total);
    } else if (m_n > 0 && m_i > 0) {
        now = m_loopStart + m_loopWidth * (m_i - 1 + f) / m_n;
    }
    m_shown = std::max(m_shown, std::min(now, 1.0));
    return m_shown;
}

}  // namespace qs
