// Elapsed time on one terminal line, rewritten while a long computation runs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace qivla {

class Progress {
   public:
    // Does nothing unless enabled (standard output is a terminal and the
    // output is not JSON). The line appears only after a short delay, so
    // quick steps leave no trace.
    explicit Progress(bool enabled) : enabled_(enabled) {}
    ~Progress() { stop(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Starts showing "label: 1.2 s" for the step that begins now.
    void start(const std::string& label);
    // Ends the step and erases the line.
    void stop();

   private:
    void run();

    bool enabled_;
    std::string label_;
    std::chrono::steady_clock::time_point begin_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

}  // namespace qivla
