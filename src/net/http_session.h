// A caller-owned request object for httpRequest: one libcurl handle whose open
// connections survive between calls. Not for two threads at once.
#pragma once

#include <curl/curl.h>

namespace quivra {

class HttpSession {
  public:
    HttpSession();
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // The handle, or nullptr when libcurl could not create one.
    CURL* handle() const { return handle_; }

  private:
    CURL* handle_ = nullptr;
};

// Initialises libcurl once per process, whichever thread asks first.
void ensureCurlInitialised();

}  // namespace quivra
