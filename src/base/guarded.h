// A value shared between threads: every read hands out a whole copy, every write
// replaces or edits the value under one lock, so no reader sees half a record.
#pragma once

#include <mutex>
#include <utility>

namespace quivra {

template <class T>
class Guarded {
  public:
    Guarded() = default;
    explicit Guarded(T value) : value_(std::move(value)) {}

    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

    void set(T value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }

    // Runs fn(T&) under the lock and returns its result.
    template <class Fn>
    auto update(Fn&& fn) {
        std::lock_guard lock(mutex_);
        return std::forward<Fn>(fn)(value_);
    }

  private:
    mutable std::mutex mutex_;
    T value_{};
};

}  // namespace quivra
