#include "base/wait_responsive.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "base/gui_thread.h"

namespace quivra {

namespace {

constexpr double kEndlessUnitMs = 18000000.0;
constexpr int kEndlessAmount = 18000000;

double unitLengthMs(std::int64_t unit) {
    switch (unit) {
        case 0:
            return 1.0;
        case 1:
            return 1000.0;
        case 2:
            return 60000.0;
        case 3:
            return 3600000.0;
        default:
            return static_cast<double>(unit);
    }
}

// Runs the GUI thread's events until the deadline; a QTimer interval is an int, so long
// waits go in slices.
void waitOnGuiThread(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    while (!guiShuttingDown() && !QCoreApplication::closingDown()) {
        const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            return;
        }
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::min<long long>(left, INT_MAX)), Qt::PreciseTimer,
                           &loop, &QEventLoop::quit);
        loop.exec();
    }
}

}  // namespace

double waitLengthMs(std::optional<int> amount, std::optional<std::int64_t> unit) {
    const std::int64_t unitValue = unit.value_or(0);
    if (!amount && unitValue == 0) {
        return static_cast<double>(kEndlessAmount) * kEndlessUnitMs;
    }
    return static_cast<double>(amount.value_or(0)) * unitLengthMs(unitValue);
}

bool waitResponsive(std::optional<int> amount, std::optional<std::int64_t> unit) {
    using namespace std::chrono;
    const double lengthMs = waitLengthMs(amount, unit);
    if (!(lengthMs > 0.0)) {
        return true;
    }
    // Keep the deadline representable: steady_clock counts nanoseconds in 64 bits, so
    // anything beyond about a century is treated as a century (which never ends in
    // practice either).
    constexpr double kLongestMs = 100.0 * 365.0 * 24.0 * 3600.0 * 1000.0;
    const auto length = duration_cast<steady_clock::duration>(
        duration<double, std::milli>(std::min(lengthMs, kLongestMs)));
    if (QCoreApplication::instance() != nullptr && isGuiThread()) {
        waitOnGuiThread(steady_clock::now() + length);
    } else {
        std::this_thread::sleep_for(length);
    }
    return true;
}

}  // namespace quivra
