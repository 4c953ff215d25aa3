// The list of every request the local site received, for tests to read back.
#pragma once

#include <httplib.h>

#include <mutex>
#include <string>
#include <vector>

#include "devsite/dev_site.h"

namespace devsite {

// The raw query: the target's text after the first '?', as it came on the wire.
std::string rawQuery(const std::string& target);

class RequestLog {
  public:
    void record(const httplib::Request& request);
    std::vector<RecordedRequest> all() const;
    std::vector<RecordedRequest> to(const std::string& path) const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> entries_;
};

}  // namespace devsite
