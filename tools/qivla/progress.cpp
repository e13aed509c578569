#include "progress.h"

#include <cstdio>

namespace qivla {

void Progress::start(const std::string& label) {
    stop();
    if (!enabled_) return;
    label_ = label;
    begin_ = std::chrono::steady_clock::now();
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void Progress::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Progress::run() {
    using namespace std::chrono;
    std::unique_lock<std::mutex> lock(mutex_);
    bool shown = false;
    auto next = begin_ + milliseconds(400);
    while (!wake_.wait_until(lock, next, [this] { return stopping_; })) {
        const double seconds = duration<double>(steady_clock::now() - begin_).count();
        std::printf("\r%s: %.1f s elapsed\x1b[K", label_.c_str(), seconds);
        std::fflush(stdout);
        shown = true;
        next += milliseconds(100);
    }
    if (shown) {
        std::printf("\r\x1b[K");
        std::fflush(stdout);
    }
}

}  // namespace qivla
