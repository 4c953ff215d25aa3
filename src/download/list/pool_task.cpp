#include "download/list/pool_task.h"

#include <cstdint>
#include <memory>

#include "download/thread_pool.h"

namespace quivra {

namespace {

void runPacket(std::intptr_t packet, std::intptr_t /*unused*/) {
    std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(packet));
    (*task)();
}

}  // namespace

bool runOnPool(ThreadPool& pool, std::function<void()> task) {
    auto packet = std::make_unique<std::function<void()>>(std::move(task));
    if (!pool.submit(&runPacket, reinterpret_cast<std::intptr_t>(packet.get()))) return false;
    packet.release();  // runPacket owns it now
    return true;
}

}  // namespace quivra
