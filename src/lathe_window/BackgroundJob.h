// Work for the window done on a thread of its own, one piece at a time:
// starting new work cancels the old, and only the newest work's messages
// ever reach the window, so nothing stale is shown.
#pragma once

#include <wx/event.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class BackgroundJob {
public:
    // Runs `action` on the window's thread, unless newer work has started.
    using Post = std::function<void(std::function<void()> action)>;
    using Work = std::function<void(const std::atomic<bool>& cancelled, const Post& post)>;

    explicit BackgroundJob(wxEvtHandler* window) : m_window(window) {}
    ~BackgroundJob() { Stop(); }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    void Start(Work work);
    // Cancels the running work; what it posts from now on is dropped.
    void Cancel();
    // Cancel, and wait for every thread started to end.
    void Stop();

private:
    wxEvtHandler* m_window;
    unsigned m_generation = 0; // touched on the window's thread only
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    // Cancelled work ends at its next check; its thread is joined then.
    std::vector<Worker> m_workers;
    void JoinFinished();
};
