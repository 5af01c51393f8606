#pragma once

#include <cstdint>
#include <map>

#include "text/text.h"

namespace qs {

// How far a job of the window has gone, 0 to 1, for its one progress bar: by the bytes of
// its files where the job knows them before it begins, otherwise by its file loops (a
// folder merge learns its files folder by folder). It never goes back, and it is 1 once
// the job is done.
class JobProgress {
public:
    // A new job: back to 0. sizes: each file the job will handle and its size, when known
    // beforehand; loops: how many file loops it runs at least otherwise (one a folder).
    void Begin(const std::map<Text, std::int64_t>& sizes, int loops);
    void FilesStarting(int n);
    void SourceStarted(int i, const Text& path);
    // A job that went through to its end.
    void Done() { m_done = true; }

    // Where the job stands in the bytes of the source it is at (JobEvents::SourceReadTo).
    void SourceReadTo(std::int64_t position, std::int64_t length);
    // The current source as the job reads it, from 0 to 1.
    double Fraction(double ofCurrentSource);
    double Fraction() { return Fraction(m_ofCurrent); }

private:
    std::map<Text, std::int64_t> m_sizes;
    std::int64_t m_total = 0;
    std::int64_t m_doneBytes = 0;
    std::int64_t m_currentBytes = 0;
    int m_loops = 1;
    int m_loop = 0;
    double m_loopStart = 0, m_loopWidth = 1;
    int m_n = 0, m_i = 0;
    double m_ofCurrent = 0;
    double m_shown = 0;
    bool m_done = false;
};

}  // namespace qs
