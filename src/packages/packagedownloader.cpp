#include "packages/packagedownloader.h"

#include "packages/packagedigest.h"

#include "packages/packagestreamhash.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <future>

namespace {

constexpr qint64 kProgressIntervalMs = 100;
constexpr qint64 kHashChunk = 1 << 20;
constexpr qint64 kReadBuffer = 4 << 20;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

// One transfer, from the first request to the rename; lives and dies on the worker thread.
struct PackageDownloader::Transfer {
    Transfer(PackageDownloader &owner, const Request &request, std::promise<Result> &done)
        : owner(owner), request(request), done(done),
          partPath(QString::fromStdString(request.destination + ".part")),
          validatorPath(QString::fromStdString(request.destination + ".part.validator")),
          part(partPath) {
        idle.setSingleShot(true);
        QObject::connect(&idle, &QTimer::timeout, &context, [this] {
            fail("no data received for " +
                     QString::number(this->owner.m_timeoutMs / 1000.0).toStdString() + " s",
                 true);
        });
    }

    void start() {
        if (owner.m_cancelled) {
            result.status = Result::Cancelled;
            finish(false);
            return;
        }
        const QUrl url(QString::fromStdString(request.url), QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https")) {
            result.reason = "not an http or https URL: " + request.url;
            finish(false);
            return;
        }
        QDir().mkpath(QFileInfo(partPath).absolutePath());
        // Resuming needs the validator the server gave for the part: without it the rest
        // could come from a different file.
        QFile validatorFile(validatorPath);
        if (part.exists() && validatorFile.open(QIODevice::ReadOnly))
            validator = validatorFile.readAll().trimmed();
        if (validator.isEmpty() || !part.open(QIODevice::ReadWrite) || !hashExistingPart()) {
            part.close();
            validator.clear();
            QFile::remove(validatorPath);
            if (!part.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
                result.reason = "cannot create " + partPath.toStdString();
                finish(false);
                return;
            }
        }
        network = new QNetworkAccessManager(&context);
        clock.start();
        send(url);
    }

    bool hashExistingPart() {
        offset = std::uint64_t(part.size());
        QByteArray chunk;
        while (!(chunk = part.read(kHashChunk)).isEmpty())
            sums.add(chunk);
        return part.pos() == qint64(offset) && part.error() == QFileDevice::NoError;
    }

    void send(const QUrl &target) {
        url = target;
        QNetworkRequest httpRequest(url);
        httpRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::ManualRedirectPolicy);
        // The sums and the ranges are of the bytes as stored, never of a decoded body.
        httpRequest.setRawHeader("Accept-Encoding", "identity");
        if (offset > 0) {
            httpRequest.setRawHeader("Range", "bytes=" + QByteArray::number(offset) + "-");
            httpRequest.setRawHeader("If-Range", validator);
        }
        accepted = false;
        redirecting = false;
        received = 0;
        reply = network->get(httpRequest);
        // Bounded: a server faster than the disk and the sums must wait, not fill the memory.
        reply->setReadBufferSize(kReadBuffer);
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &context, [this] { onHeaders(); });
        QObject::connect(reply, &QNetworkReply::readyRead, &context, [this] { onData(); });
        QObject::connect(reply, &QNetworkReply::finished, &context, [this] { onFinished(); });
        idle.start(owner.m_timeoutMs);
    }

    void onHeaders() {
        if (accepted || redirecting || !failure.empty())
            return;
        const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!code.isValid())
            return;
        const int status = code.toInt();
        idle.start(owner.m_timeoutMs);
        if (isRedirect(status)) {
            redirecting = true;
            return;
        }
        std::uint64_t start = 0;
        std::uint64_t total = 0;
        if (status == 206) {
            static const QRegularExpression range(R"(^\s*bytes\s+(\d+)-(\d+)/(\d+|\*)\s*$)");
            const QRegularExpressionMatch match =
                range.match(QString::fromLatin1(reply->rawHeader("Content-Range")));
            if (!match.hasMatch() || match.captured(1).toULongLong() != offset) {
                fail("the server sent a range that was not asked for", false);
                return;
            }
            start = offset;
            if (match.captured(3) != "*")
                total = match.captured(3).toULongLong();
            result.resumed = offset > 0;
        } else if (status == 200) {
            if (offset > 0) { // the file changed or the server ignores ranges: from the start
                part.resize(0);
                part.seek(0);
                sums.reset();
                offset = 0;
            }
        } else {
            const std::string phrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                                           .toString()
                                           .toStdString();
            fail("HTTP " + std::to_string(status) + (phrase.empty() ? "" : " " + phrase), false);
            return;
        }
        bool known = false;
        const qulonglong length =
            reply->header(QNetworkRequest::ContentLengthHeader).toULongLong(&known);
        expectedTotal = total ? total : known ? start + length : 0;
        saveValidator();
        accepted = true;
    }

    // Weak entity tags may not be used with If-Range; a date may.
    void saveValidator() {
        QByteArray value = reply->rawHeader("ETag").trimmed();
        if (value.isEmpty() || value.startsWith("W/"))
            value = reply->rawHeader("Last-Modified").trimmed();
        QFile file(validatorPath);
        if (value.isEmpty() || value.contains('\n') || !file.open(QIODevice::WriteOnly))
            QFile::remove(validatorPath);
        else
            file.write(value);
    }

    void onData() {
        if (!failure.empty())
            return;
        if (!accepted) {
            onHeaders();
            if (!accepted) {
                reply->readAll(); // a redirect's body
                return;
            }
        }
        const QByteArray data = reply->readAll();
        if (data.isEmpty())
            return;
        idle.start(owner.m_timeoutMs);
        if (part.write(data) != data.size()) {
            fail("cannot write " + partPath.toStdString(), true);
            return;
        }
        sums.add(data);
        received += std::uint64_t(data.size());
        if (clock.elapsed() - lastProgressMs >= kProgressIntervalMs)
            reportProgress();
    }

    void reportProgress() {
        lastProgressMs = clock.elapsed();
        if (!owner.m_progress)
            return;
        Progress progress;
        progress.bytes = offset + received;
        progress.total = expectedTotal ? expectedTotal : request.sums.size;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        progress.rate = seconds > 0 ? double(received) / seconds : 0;
        owner.m_progress(progress);
    }

    // Stops the transfer; a resumable reason keeps the part for the next attempt.
    void fail(const std::string &reason, bool resumable) {
        if (!failure.empty())
            return;
        failure = reason;
        keepPart = resumable;
        if (reply && reply->isRunning())
            reply->abort();
    }

    void abortForCancel() {
        if (reply && reply->isRunning())
            reply->abort();
    }

    void onFinished() {
        idle.stop();
        QNetworkReply *finished = reply;
        if (!accepted && !redirecting && failure.empty() && !owner.m_cancelled)
            onHeaders(); // a reply without a body brings its status only now
        finished->deleteLater();
        reply = nullptr;
        if (owner.m_cancelled) {
            result.status = Result::Cancelled;
            finish(false);
            return;
        }
        if (!failure.empty()) {
            result.reason = failure;
            finish(keepPart);
            return;
        }
        if (redirecting) {
            followRedirect(finished);
            return;
        }
        if (finished->error() != QNetworkReply::NoError || !accepted) {
            result.reason = finished->errorString().toStdString();
            finish(true);
            return;
        }
        onDataTail(finished);
    }

    void onDataTail(QNetworkReply *finished) {
        const QByteArray rest = finished->readAll();
        if (!rest.isEmpty()) {
            if (part.write(rest) != rest.size()) {
                result.reason = "cannot write " + partPath.toStdString();
                finish(false);
                return;
            }
            sums.add(rest);
            received += std::uint64_t(rest.size());
        }
        reportProgress();
        const std::uint64_t size = offset + received;
        if (expectedTotal != 0 && size != expectedTotal) {
            result.reason = "the transfer ended after " + std::to_string(size) + " of " +
                            std::to_string(expectedTotal) + " bytes";
            finish(true);
            return;
        }
        if (!part.flush()) {
            result.reason = "cannot write " + partPath.toStdString();
            finish(false);
            return;
        }
        part.close();
        result.got.size = size;
        sums.finish(result.got.md5, result.got.sha256);
        if (request.verify) {
            const PackageSumCheck check = checkPackageSums(request.name, request.sums, result.got);
            if (!check.ok) {
                result.log = check.errors;
                result.reason = check.errors.back();
                finish(false);
                return;
            }
            result.verified = check.verified;
        }
        // rename() replaces an older copy in one step.
        if (std::rename(partPath.toLocal8Bit().constData(), request.destination.c_str()) != 0) {
            result.reason = "cannot rename " + partPath.toStdString();
            finish(false);
            return;
        }
        QFile::remove(validatorPath);
        result.status = Result::Done;
        finish(false);
    }

    void followRedirect(QNetworkReply *finished) {
        const QUrl location =
            finished->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        const QUrl next = url.resolved(location);
        if (location.isEmpty() || !next.isValid()) {
            result.reason = "a redirect without a location";
        } else if (++redirects > kMaxRedirects) {
            result.reason = "more than " + std::to_string(kMaxRedirects) + " redirects";
        } else if (next.scheme() != "http" && next.scheme() != "https") {
            result.reason = "refusing a redirect to " + next.toString().toStdString();
        } else if (url.scheme() == "https" && next.scheme() == "http") {
            result.reason = "refusing a redirect from https to http";
        } else {
            send(next);
            return;
        }
        finish(true);
    }

    // Hands the result back. A failure that may be resumed keeps the part when the server
    // gave a validator for it; anything else leaves no part where the next attempt looks.
    void finish(bool resumable) {
        if (part.isOpen())
            part.close();
        if (result.status != Result::Done && started() &&
            !(resumable && result.status == Result::Failed && QFile::exists(validatorPath))) {
            QFile::remove(partPath);
            QFile::remove(validatorPath);
        }
        owner.m_running = nullptr;
        // Deleted once the signal that brought us here has returned.
        QMetaObject::invokeMethod(
            owner.m_context, [self = this] { delete self; }, Qt::QueuedConnection);
        done.set_value(result); // the waiting caller may return now: touch nothing after
    }

    bool started() const { return network != nullptr; }

    PackageDownloader &owner;
    const Request request;
    std::promise<Result> &done;
    const QString partPath;
    const QString validatorPath;
    QFile part;
    QObject context;
    QNetworkAccessManager *network = nullptr;
    QNetworkReply *reply = nullptr;
    QTimer idle;
    QElapsedTimer clock;
    // Only the sums that will be compared: they cost more than the transfer itself.
    PackageStreamHash sums{request.verify, request.verify && !request.sums.sha256.empty()};
    QUrl url;
    QByteArray validator;
    int redirects = 0;
    std::uint64_t offset = 0;        // bytes already in the part when this response began
    std::uint64_t received = 0;      // bytes of this response written
    std::uint64_t expectedTotal = 0; // from the headers, 0 when not given
    qint64 lastProgressMs = -kProgressIntervalMs;
    bool accepted = false;
    bool redirecting = false;
    bool keepPart = false;
    std::string failure;
    Result result;
};

PackageDownloader::PackageDownloader() = default;

PackageDownloader::~PackageDownloader() {
    if (!m_thread)
        return;
    // Waits, so that the finished transfers queued for deletion before it go first: calls
    // still posted when the thread ends are dropped.
    // The crypto library's state for the thread is freed here, on the thread: wait() returns
    // before the native thread's own clean-up, which may otherwise run after the library's.
    QMetaObject::invokeMethod(
        m_context,
        [context = m_context] {
            delete context;
            PackageDigest::releaseThreadState();
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void PackageDownloader::startThread() {
    std::lock_guard<std::mutex> guard(m_startMutex);
    if (m_thread)
        return;
    m_thread = new QThread;
    m_context = new QObject;
    m_context->moveToThread(m_thread);
    m_thread->start();
}

PackageDownloader::Result PackageDownloader::download(const Request &request) {
    if (!QCoreApplication::instance()) {
        Result result;
        result.reason = "downloads need an application object";
        return result;
    }
    startThread();
    std::promise<Result> done;
    std::future<Result> future = done.get_future();
    QMetaObject::invokeMethod(
        m_context,
        [this, &request, &done] {
            auto *transfer = new Transfer(*this, request, done);
            m_running = transfer;
            transfer->start();
        },
        Qt::QueuedConnection);
    Result result = future.get();
    if (result.status == Result::Cancelled)
        m_cancelled = false;
    return result;
}

void PackageDownloader::cancel() {
    m_cancelled = true;
    std::lock_guard<std::mutex> guard(m_startMutex);
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            if (m_running)
                m_running->abortForCancel();
        },
        Qt::QueuedConnection);
}
