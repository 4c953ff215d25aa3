#include "download/download_view.h"

#include <mutex>
#include <utility>

namespace quivra {

namespace {

std::mutex viewMutex;
std::shared_ptr<DownloadView>& viewSlot() {
    static auto* slot = new std::shared_ptr<DownloadView>;  // outlives every worker
    return *slot;
}

}  // namespace

void setDownloadView(std::shared_ptr<DownloadView> view) {
    std::lock_guard lock(viewMutex);
    viewSlot() = std::move(view);
}

std::shared_ptr<DownloadView> currentDownloadView() {
    std::lock_guard lock(viewMutex);
    return viewSlot();
}

}  // namespace quivra
