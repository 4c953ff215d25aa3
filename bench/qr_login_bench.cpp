// Cost of the QR login's own work: drawing the login address as a QR picture (render,
// corner and size scans, BMP), and one whole conversation against the local site from the
// code request to the stored account. Prints the median of the timed runs for each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "account/qr_image.h"
#include "account/qr_login.h"
#include "base/shared_state.h"
#include "bench_support.h"
#include "devsite/dev_site.h"

namespace {

// A view that only counts what it is asked to do.
class CountingView : public quivra::QrLoginView {
  public:
    void setStatus(const std::string&) override { ++effects; }
    void setPicture(const std::string& bmp) override { picture_ = bmp; }
    std::string picture() override { return picture_; }
    void showMessage(const std::string&) override { ++effects; }
    void closeWindow() override { ++effects; }
    int effects = 0;

  private:
    std::string picture_;
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 50);

    const std::string address =
        "https://login.quivra.com/qrcode/approval?oauthKey=5f0c2b7e91d4a3c86e2f1b0d9a7c4e31";
    std::size_t sink = 0;
    const double image = bench::medianMilliseconds(runs, [&] {
        std::string text = address;
        sink += quivra::makeQrImage(text, 0, 0, 0.15).size();
    });
    const double longImage = bench::medianMilliseconds(runs, [&] {
        std::string text = address + std::string(200, 'x');
        sink += quivra::makeQrImage(text, 0, 3, 0.02).size();
    });

    bench::LocalSite local("quivra-qr-login-bench");
    if (!local.start()) return 1;
    devsite::DevSite& site = local.site();
    site.setQrScript({{false, -4}, {false, -5}, {true, 0}});
    const double conversation = bench::medianMilliseconds(runs, [&] {
        CountingView view;
        quivra::CancelToken token;
        quivra::runQrLogin(view, token, std::chrono::milliseconds(0));
        sink += static_cast<std::size_t>(view.effects);
    });

    std::printf("QR picture of an 84-byte address (level L, ratio 0.15): %.3f ms\n", image);
    std::printf("QR picture of 120 bytes (level H, ratio 0.02): %.3f ms\n", longImage);
    std::printf("whole QR conversation (code, 3 polls, account, config.ini): %.3f ms\n",
                conversation);
    return sink == 0 ? 1 : 0;
}
