// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace vp {

// Why something failed, in the one line an operator or a service's journal reads, and whether
// trying the same again can never help (a file that is not ours, damage) rather than may (a lock,
// a full disk); only a caller that retries looks at the second.
struct Failure {
    QString why;
    bool lasting = false;
};

inline Failure Fail(QString why) { return Failure{std::move(why)}; }

// The one way a function of ours fails (the port layer keeps its error numbers). There is no
// conversion to bool on purpose: every caller says ok() or error(), so a reading of "a value
// means failure" left over from older code cannot compile into its opposite.
template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : outcome_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return outcome_.index() == 0; }
    const QString& error() const { return std::get<1>(outcome_).why; }
    const Failure& failure() const { return std::get<1>(outcome_); }

    const T& value() const& { return std::get<0>(outcome_); }
    T& value() & { return std::get<0>(outcome_); }
    T&& value() && { return std::get<0>(std::move(outcome_)); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }

private:
    std::variant<T, Failure> outcome_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;  // success
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_; }
    const QString& error() const { return failure_->why; }
    const Failure& failure() const { return *failure_; }

private:
    std::optional<Failure> failure_;
};

}  // namespace vp
