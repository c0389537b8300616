#include "packages/packagestreamhash.h"

#include "packages/packagedigest.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// How far a sum may fall behind the transfer before add() waits.
constexpr qsizetype kMaxPendingBytes = 32 << 20;

} // namespace

// One sum on its own thread, fed through a queue of shared buffers.
class PackageStreamHash::Lane {
public:
    explicit Lane(PackageDigest::Algorithm algorithm)
        : m_hash(algorithm), m_thread([this] { run(); }) {}

    ~Lane() {
        push(Item{Item::Stop, {}});
        m_thread.join();
    }

    void add(const QByteArray &data) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_drained.wait(lock, [this] { return m_pendingBytes < kMaxPendingBytes; });
        m_pendingBytes += data.size();
        m_items.push_back(Item{Item::Data, data});
        m_ready.notify_one();
    }

    void reset() { push(Item{Item::Reset, {}}); }

    std::string result() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_drained.wait(lock, [this] { return m_items.empty() && !m_busy; });
        return m_hash.hexResult();
    }

private:
    struct Item {
        enum Kind { Data, Reset, Stop } kind;
        QByteArray data;
    };

    void push(Item item) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_items.push_back(std::move(item));
        m_ready.notify_one();
    }

    void run() {
        for (;;) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_ready.wait(lock, [this] { return !m_items.empty(); });
            Item item = std::move(m_items.front());
            m_items.pop_front();
            if (item.kind == Item::Stop)
                return;
            m_busy = true;
            lock.unlock();
            if (item.kind == Item::Reset)
                m_hash.reset();
            else
                m_hash.addData(item.data);
            lock.lock();
            m_busy = false;
            m_pendingBytes -= item.data.size();
            m_drained.notify_all();
        }
    }

    PackageDigest m_hash;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_drained;
    std::deque<Item> m_items;
    qsizetype m_pendingBytes = 0;
    bool m_busy = false;
    std::thread m_thread; // last: starts once everything it uses exists
};

PackageStreamHash::PackageStreamHash(bool md5, bool sha256)
    : m_md5(md5 ? std::make_unique<Lane>(PackageDigest::Md5) : nullptr),
      m_sha256(sha256 ? std::make_unique<Lane>(PackageDigest::Sha256) : nullptr) {}

PackageStreamHash::~PackageStreamHash() = default;

void PackageStreamHash::add(const QByteArray &data) {
    if (data.isEmpty())
        return;
    if (m_md5)
        m_md5->add(data);
    if (m_sha256)
        m_sha256->add(data);
}

void PackageStreamHash::reset() {
    if (m_md5)
        m_md5->reset();
    if (m_sha256)
        m_sha256->reset();
}

void PackageStreamHash::finish(std::string &md5, std::string &sha256) {
    md5 = m_md5 ? m_md5->result() : std::string();
    sha256 = m_sha256 ? m_sha256->result() : std::string();
}
