#pragma once

#include "packages/packagesums.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QThread;
class QObject;

// Fetches package files and lists over HTTP on a thread of its own.
//
// The body goes to "DESTINATION.part" and only a complete transfer, whose size and sums
// match, is renamed to DESTINATION: an aborted transfer or an error page never sits where a
// good file belongs. An interrupted transfer leaves its ".part" (and the server's validator
// beside it) so that the next attempt asks only for the rest ("Range" with "If-Range"); a
// server that answers the whole file again is taken from the start. Only status 200 and 206
// are accepted. At most five redirects are followed, never from https to http nor to any
// other scheme. A transfer that brings no data for the time-out fails.
//
// A QCoreApplication must exist (the worker thread runs an event loop).
class PackageDownloader {
public:
    struct Request {
        std::string url;
        std::string destination;
        std::string name;   // names the file in messages
        PackageSums sums;   // expected size and sums
        bool verify = true; // compare the sums; off, only the transfer's own length counts
    };

    struct Progress {
        std::uint64_t bytes = 0; // of the file, including a resumed part
        std::uint64_t total = 0; // 0 while unknown
        double rate = 0;         // bytes per second of this transfer
    };

    struct Result {
        enum Status { Done, Failed, Cancelled };
        Status status = Failed;
        std::string reason;           // why it failed, for "Cannot download package (...)"
        std::vector<std::string> log; // verification lines to log when the sums failed
        std::string verified;         // "Verified correct MD5 sum ..." when checked
        PackageSums got;              // size, and the lower-case sums that were compared
        bool resumed = false;         // the server sent only the rest (206)
    };

    // Called on the worker thread, at most about ten times a second and once at the end.
    using ProgressHandler = std::function<void(const Progress &)>;

    PackageDownloader();
    ~PackageDownloader();
    PackageDownloader(const PackageDownloader &) = delete;
    PackageDownloader &operator=(const PackageDownloader &) = delete;

    static constexpr int kDefaultTimeoutMs = 30000;
    static constexpr int kMaxRedirects = 5;

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }

    // Runs one transfer on the worker thread and waits for it.
    Result download(const Request &request);
    // Ends the running transfer (from any thread, a progress handler included): its ".part"
    // is deleted and download() returns Cancelled. A cancel before download() stops the next
    // one at once.
    void cancel();

private:
    struct Transfer;

    // Started by the first download, so that a package system that never downloads needs
    // no application object and no thread.
    void startThread();

    std::mutex m_startMutex;
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr; // lives on the worker thread
    std::atomic<bool> m_cancelled{false};
    Transfer *m_running = nullptr; // touched on the worker thread only
    int m_timeoutMs = kDefaultTimeoutMs;
    ProgressHandler m_progress;
};
