#pragma once

#include "job/merge_params.h"
#include "job/split_params.h"

namespace qs {

// Where a job reads what it is asked to do. It reads at the moment it needs a value, so a
// source that follows a live form (the window) lets a changed option count from its next
// read; a fixed one (the command line) answers the same every time.
class SplitParamsSource {
public:
    virtual ~SplitParamsSource() = default;
    virtual const SplitParams& Read() = 0;
};

class MergeParamsSource {
public:
    virtual ~MergeParamsSource() = default;
    virtual const MergeParams& Read() = 0;
};

class FixedSplitParams : public SplitParamsSource {
public:
    explicit FixedSplitParams(SplitParams params) : m_spec(std::move(params)) {}
    const SplitParams& Read() override { return m_spec; }

private:
    SplitParams m_spec;
};

class FixedMergeParams : public MergeParamsSource {
public:
    explicit FixedMergeParams(MergeParams params) : m_spec(std::move(params)) {}
    const MergeParams& Read() override { return m_spec; }

private:
    MergeParams m_spec;
};

}  // namespace qs
