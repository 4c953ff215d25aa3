// A task of the download list for the thread pool, whose packets carry two numbers.
#pragma once

#include <functional>

namespace quivra {

class ThreadPool;

// False when the pool takes no more work (it is stopping): the task never runs.
bool runOnPool(ThreadPool& pool, std::function<void()> task);

}  // namespace quivra
