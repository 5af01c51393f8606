#pragma once

#include "job/merge_spec.h"
#include "job/split_spec.h"

namespace qs {

// Where a job reads what it is asked to do. It reads at the moment it needs a value, so a
// source that follows a live form (the window) lets a changed option count from its next
// read; a fixed one (the command line) answers the same every time.
class SplitSpecSource {
public:
    virtual ~SplitSpecSource() = default;
    virtual const SplitSpec& Read() = 0;
};

class MergeSpecSource {
public:
    virtual ~MergeSpecSource() = default;
    virtual const MergeSpec& Read() = 0;
};

class FixedSplitSpec : public SplitSpecSource {
public:
    explicit FixedSplitSpec(SplitSpec spec) : m_spec(std::move(spec)) {}
    const SplitSpec& Read() override { return m_spec; }

private:
    SplitSpec m_spec;
};

class FixedMergeSpec : public MergeSpecSource {
public:
    explicit FixedMergeSpec(MergeSpec spec) : m_spec(std::move(spec)) {}
    const MergeSpec& Read() override { return m_spec; }

private:
    MergeSpec m_spec;
};

}  // namespace qs
