#include "video/listing/video_listing.h"

#include <algorithm>
#include <utility>

#include "net/text_encoding.h"
#include "video/listing/list_pages.h"
#include "video/listing/list_requests.h"

namespace quivra {
namespace {

// However the answers count, a listing reads no more pages than this.
constexpr int kMostListPages = 10000;

std::string pageText(int number) {
    return localText("第") + std::to_string(number) + localText("页");
}

// A later page's failure says where the listing stopped.
std::string failureAt(int number, const std::string& failure) {
    return number == 1 ? failure : pageText(number) + localText("：") + failure;
}

std::string fallbackName(const ListAddress& address) {
    if (address.kind == ListKind::Uploader) return localText("UP主") + address.ownerMid;
    return listKindName(address.kind) + address.id;
}

// What the first page says of the list, over what an earlier request said (a series'
// name comes before its pages).
void takeListInfo(ListInfo& info, ListInfo&& page) {
    if (!page.name.empty()) info.name = std::move(page.name);
    if (!page.owner.empty()) info.owner = std::move(page.owner);
    if (page.total >= 0) info.total = page.total;
    info.cover = std::move(page.cover);
    info.description = std::move(page.description);
    if (!page.seasonId.empty()) info.seasonId = std::move(page.seasonId);
}

bool sameEntries(const std::vector<ListEntry>& a, const std::vector<ListEntry>& b) {
    if (a.size() != b.size() || a.empty()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].bvid != b[i].bvid || a[i].aid != b[i].aid) return false;
    }
    return true;
}

// Pages a count fills, plus one: a site whose pages run past that never ends otherwise.
int pagesAllowed(int total, int pageSize) {
    if (total < 0 || pageSize <= 0) return kMostListPages;
    return std::min(kMostListPages, (total + pageSize - 1) / pageSize + 1);
}

class Listing {
  public:
    Listing(const ListingRequest& request, ListingView* view, const std::atomic<bool>* stop)
        : request_(request), view_(view), requests_(request, view, stop) {
        result_.info.kind = request.address.kind;
    }

    ListingResult run() {
        if (request_.address.kind == ListKind::Series && !request_.nameKnown && !readSeriesMeta())
            return finish();
        const int pageSize = listPageSize(request_.address.kind);
        std::vector<ListEntry> previous;
        for (int number = 1;; ++number) {
            if (requests_.stopRequested()) return stopped();
            if (number > pagesAllowed(result_.info.total, pageSize)) {
                result_.reason = pageText(number) + localText("超出站点所说的") +
                                 std::to_string(result_.info.total) + localText("个视频，已停止");
                return finish();
            }
            ListAnswer answer = requests_.fetch(listPageQuery(request_.address, number));
            if (answer.stopped) return stopped();
            if (!answer.failure.empty()) {
                result_.reason = failureAt(number, answer.failure);
                return finish();
            }
            ListPage page = readListPage(request_.address, answer.json, request_.member);
            answer.json.clear();
            if (number == 1) {
                takeListInfo(result_.info, std::move(page.info));
                nameIfNameless();
                if (view_) view_->showListInfo(result_.info);
            }
            if (page.entries.empty()) return endedEarly();
            if (sameEntries(page.entries, previous)) {
                result_.reason = pageText(number) + localText("与上一页相同，已停止");
                return finish();
            }
            const size_t first = result_.entries.size();
            if (view_) view_->showEntries(first, page.entries);
            result_.entries.insert(result_.entries.end(), page.entries.begin(), page.entries.end());
            const int listed = static_cast<int>(result_.entries.size());
            if (page.last || (result_.info.total >= 0 && listed >= result_.info.total)) {
                result_.complete = true;
                return finish();
            }
            previous = std::move(page.entries);
        }
    }

  private:
    bool readSeriesMeta() {
        ListAnswer answer = requests_.fetch(seriesNameQuery(request_.address));
        if (answer.stopped || !answer.failure.empty()) {
            result_.reason = answer.stopped ? stoppedReason() : answer.failure;
            return false;
        }
        readSeriesName(answer.json, result_.info);
        return true;
    }

    // An empty page: the end, unless the count promised more.
    ListingResult endedEarly() {
        const int listed = static_cast<int>(result_.entries.size());
        if (result_.info.total > listed) {
            result_.reason = localText("站点说有") + std::to_string(result_.info.total) +
                             localText("个视频，各页只有") + std::to_string(listed) +
                             localText("个");
        } else {
            result_.complete = true;
        }
        return finish();
    }

    static std::string stoppedReason() { return localText("已停止列出"); }

    ListingResult stopped() {
        result_.reason = stoppedReason();
        return finish();
    }

    // A list whose answers give no name (an empty uploader, a refused folder) is still
    // named, for its folder and its window.
    void nameIfNameless() {
        if (result_.info.name.empty()) result_.info.name = fallbackName(request_.address);
    }

    ListingResult finish() {
        nameIfNameless();
        return std::move(result_);
    }

    const ListingRequest& request_;
    ListingView* view_;
    ListRequests requests_;
    ListingResult result_;
};

}  // namespace

std::string SigningKeys::mixingKey() const {
    std::lock_guard lock(mutex_);
    return mixingKey_;
}

void SigningKeys::keep(const std::string& mixingKey) {
    std::lock_guard lock(mutex_);
    mixingKey_ = mixingKey;
}

ListingResult listVideos(const ListingRequest& request, ListingView* view,
                         const std::atomic<bool>* stop) {
    if (!request.address.problem.empty()) {
        ListingResult result;
        result.info.kind = request.address.kind;
        result.reason = request.address.problem;
        return result;
    }
    return Listing(request, view, stop).run();
}

}  // namespace quivra
