#include "lathe_window/BackgroundJob.h"

void BackgroundJob::Start(Work work) {
    Cancel();
    const unsigned generation = ++m_generation;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_cancelled = cancelled;
    Post post = [this, generation, cancelled](std::function<void()> action) {
        m_window->CallAfter([this, generation, cancelled, action] {
            if (generation == m_generation && !*cancelled) {
                action();
            }
        });
    };
    JoinFinished();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    m_workers.push_back({std::thread([work, cancelled, post, finished] {
                             work(*cancelled, post);
                             *finished = true;
                         }),
                         finished});
}

void BackgroundJob::Cancel() {
    ++m_generation;
    if (m_cancelled) {
        *m_cancelled = true;
    }
}

void BackgroundJob::Stop() {
    Cancel();
    for (Worker& worker : m_workers) {
        worker.thread.join();
    }
    m_workers.clear();
}

void BackgroundJob::JoinFinished() {
    for (auto worker = m_workers.begin(); worker != m_workers.end();) {
        if (*worker->finished) {
            worker->thread.join();
            worker = m_workers.erase(worker);
        } else {
            ++worker;
        }
    }
}
