#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

// Worker threads that compress the blocks of one archive stream. Tasks start in the order
// given; each gets the index of the worker running it, so that a codec can keep its state per
// worker. The caller collects results through the futures, in the order it needs them.
class PackageArchiveCompressionPool {
public:
    using Task = std::function<void(std::size_t worker)>;

    explicit PackageArchiveCompressionPool(std::size_t threads);
    // Tasks not yet started are dropped (their futures report a broken promise); running
    // ones are waited for.
    ~PackageArchiveCompressionPool();
    PackageArchiveCompressionPool(const PackageArchiveCompressionPool &) = delete;
    PackageArchiveCompressionPool &operator=(const PackageArchiveCompressionPool &) = delete;

    std::size_t threads() const { return m_workers.size(); }
    // The future rethrows what the task threw.
    std::future<void> submit(Task task);

private:
    void stop();
    void run(std::size_t worker);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void(std::size_t)>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};
