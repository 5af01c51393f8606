#pragma once

#include <optional>
#include <utility>

#include "job/failure.h"

namespace qs {

// Why an operation failed: what could not be done, on which path, and the system's reason,
// taken when the call failed, so no later call can change it on the way up.
using Error = JobFailure;

// An operation's value, or the error that kept it from one.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_error(std::move(error)) {}

    explicit operator bool() const { return m_value.has_value(); }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    const Error& error() const { return m_error; }
    // The value, or fallback where the caller needs no reason.
    T ValueOr(T fallback) && { return m_value ? std::move(*m_value) : std::move(fallback); }

private:
    std::optional<T> m_value;
    Error m_error{};
};

// An operation that gives nothing back but can fail.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    explicit operator bool() const { return !m_error; }
    const Error& error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

}  // namespace qs
