// The window threads, the same on every system that has them: a thread's
// life (open, report, run, end), starting one and waiting for its report,
// and stopping them all at the end.
#include <mutex>
#include <system_error>
#include <thread>

#include "view/native_window.h"

namespace glimmet {

namespace {

struct WindowThread {
  std::thread thread_;
  std::shared_ptr<WindowChannel> channel_;
};

// The running window threads. Never destroyed, so that a thread still
// joinable when the process exits does not end it with std::terminate.
std::vector<WindowThread>& Threads() {
  static auto* threads = new std::vector<WindowThread>;
  return *threads;
}
std::mutex& ThreadsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

// Joins the threads that have ended; true when none is left running.
bool ReapEndedThreads() {
  auto& threads = Threads();
  for (auto it = threads.begin(); it != threads.end();) {
    if (it->channel_->ended_.load()) {
      it->thread_.join();
      it = threads.erase(it);
    } else {
      ++it;
    }
  }
  return threads.empty();
}

}  // namespace

void WindowThreadMain(OpeningBlock block, std::shared_ptr<WindowChannel> channel,
                      std::promise<OpenResult> report) {
  {
    OpenResult result;
    const std::unique_ptr<NativeWindow> window = OpenNativeWindow(block, channel, result.error_);
    result.handle_ = window->ViewHandle();
    report.set_value(result);
    if (result.handle_ != 0) window->Run();
  }
  EndWindowSystem();
  channel->ended_.store(true);
  channel->Finish();
}

Handle StartWindowThread(const OpeningBlock& block, std::string& error) {
  std::lock_guard threads_lock(ThreadsMutex());
  // The window system belongs to one thread at a time.
  if (!ReapEndedThreads()) {
    error = "a view window is already open";
    return 0;
  }
  auto channel = std::make_shared<WindowChannel>();
  std::promise<OpenResult> report;
  std::future<OpenResult> result = report.get_future();
  {
    const SignalsBlocked blocked(block.options_.program_signals_);
    if (blocked.Failed(error)) return 0;
    try {
      Threads().push_back(WindowThread{
          std::thread(WindowThreadMain, block, channel, std::move(report)), channel});
    } catch (const std::system_error& e) {
      error = std::string("cannot start the window thread: ") + e.what();
      return 0;
    }
  }
  OpenResult opened = result.get();
  error = opened.error_;
  return opened.handle_;
}

void StopWindowThreads() {
  std::lock_guard threads_lock(ThreadsMutex());
  for (WindowThread& t : Threads()) {
    t.channel_->stop_.store(true);
    t.channel_->Wake();
  }
  for (WindowThread& t : Threads()) t.thread_.join();
  Threads().clear();
}

}  // namespace glimmet
