// The requests of one listing: signed with keys fetched once, waiting out the site's
// refusals and pacing itself after one, ending a wait as soon as it is told to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "net/http_session.h"
#include "net/json_object.h"
#include "video/listing/list_pages.h"
#include "video/listing/video_listing.h"

namespace quivra {

struct ListAnswer {
    JsonObject json;       // the accepted answer (code 0)
    std::string failure;   // why there is none (local text); "" when accepted
    bool stopped = false;  // told to stop while waiting
};

class ListRequests {
  public:
    ListRequests(const ListingRequest& request, ListingView* view, const std::atomic<bool>* stop);

    ListAnswer fetch(const ListQuery& query);
    bool stopRequested() const { return stop_ && stop_->load(); }

  private:
    // Answered: a JSON answer with a code the site does not refuse with (0 or another).
    enum class Verdict { Answered, Refused, Unreadable, Stopped };
    struct Sent {
        Verdict verdict = Verdict::Unreadable;
        JsonObject json;
        std::string code;     // the answer's code; "412" for HTTP 412
        std::string failure;  // Unreadable: why (local text)
    };

    Sent send(const ListQuery& query);
    std::string urlOf(const ListQuery& query) const;
    // The mixing key from the nav answer (which a missing login does not keep from
    // carrying the keys); "" or why it has none (local text).
    std::string keepKeys(const JsonObject& nav);
    // False when told to stop before the time came.
    bool waitUntil(std::chrono::steady_clock::time_point end);
    // Waits out the least time between requests after a refusal; false when stopped.
    bool pace();

    const ListingRequest& request_;
    ListingView* view_;
    const std::atomic<bool>* stop_;
    HttpSession session_;
    std::string mixingKey_;
    bool refused_ = false;  // from the first refusal on, requests are paced
    std::chrono::steady_clock::time_point lastSent_{};
};

}  // namespace quivra
