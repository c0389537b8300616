#include "packages/packagearchivecompressionpool.h"

PackageArchiveCompressionPool::PackageArchiveCompressionPool(std::size_t threads) {
    m_workers.reserve(threads);
    try {
        for (std::size_t i = 0; i < threads; ++i)
            m_workers.emplace_back([this, i] { run(i); });
    } catch (...) {
        // Threads already started must be stopped before the members they use go away.
        stop();
        throw;
    }
}

PackageArchiveCompressionPool::~PackageArchiveCompressionPool() {
    stop();
}

void PackageArchiveCompressionPool::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        if (worker.joinable())
            worker.join();
}

std::future<void> PackageArchiveCompressionPool::submit(Task task) {
    std::packaged_task<void(std::size_t)> packaged(std::move(task));
    std::future<void> result = packaged.get_future();
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(packaged));
    }
    m_wake.notify_one();
    return result;
}

void PackageArchiveCompressionPool::run(std::size_t worker) {
    for (;;) {
        std::packaged_task<void(std::size_t)> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task(worker);
    }
}
