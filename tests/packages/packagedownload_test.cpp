// Downloads against servers on the loopback interface: python's http.server for a real
// source, and a scripted server for ranges, slow bodies, dropped connections, errors and
// redirects.

#include "core/hexception.h"
#include "core/qtxlockfile.h"
#include "packages/packagearchive.h"
#include "packages/packagedescription.h"
#include "packages/packagedownloader.h"
#include "packages/packagelink.h"
#include "packages/packagesystem.h"
#include "packages/packageuserinterface.h"

#include "crosstool.h"
#include "golden.h"
#include "toolrunner.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

// The downloader's thread runs an event loop, which needs the application object.
int g_argc = 1;
char g_name[] = "packages_download_test";
char *g_argv[] = {g_name, nullptr};
QCoreApplication g_application(g_argc, g_argv);

// One scripted HTTP server on 127.0.0.1, answering one request per connection on a thread
// of its own with blocking socket calls.
class FakeHttpServer {
public:
    struct Request {
        std::string path;
        std::map<std::string, std::string> headers; // names in lower case
    };
    struct Response {
        int status = 200;
        std::string reason = "OK";
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        std::size_t dropAfter = std::string::npos; // close the connection after this many
        std::size_t chunk = 0;                     // send the body in chunks of this size
        int pauseMs = 0;                           // ... with this pause before each
    };
    using Handler = std::function<Response(const Request &)>;

    explicit FakeHttpServer(Handler handler) : m_handler(std::move(handler)) {
        std::promise<quint16> ready;
        std::future<quint16> port = ready.get_future();
        m_thread = std::thread([this, &ready] { serve(ready); });
        m_port = port.get();
    }
    ~FakeHttpServer() {
        m_stop = true;
        m_thread.join();
    }

    std::string url(const std::string &path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    std::vector<Request> requests() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_requests;
    }

private:
    void serve(std::promise<quint16> &ready) {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        ready.set_value(server.serverPort());
        while (!m_stop) {
            if (!server.waitForNewConnection(50))
                continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            QByteArray head;
            while (!head.contains("\r\n\r\n") && socket->waitForReadyRead(2000))
                head += socket->readAll();
            Request request;
            const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
            if (lines.isEmpty())
                continue;
            request.path = lines[0].split(' ').value(1).toStdString();
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers[lines[i].left(colon).trimmed().toLower().toStdString()] =
                        lines[i].mid(colon + 1).trimmed().toStdString();
            }
            {
                std::lock_guard<std::mutex> guard(m_mutex);
                m_requests.push_back(request);
            }
            const Response response = m_handler(request);
            std::string text = "HTTP/1.1 " + std::to_string(response.status) + " " +
                               response.reason + "\r\nConnection: close\r\n";
            bool hasLength = false;
            for (const auto &[name, value] : response.headers) {
                text += name + ": " + value + "\r\n";
                hasLength = hasLength || name == "Content-Length";
            }
            if (!hasLength)
                text += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
            text += "\r\n";
            socket->write(text.data(), qint64(text.size()));
            socket->waitForBytesWritten(2000);
            const std::string body = response.body.substr(0, response.dropAfter);
            const std::size_t chunk = response.chunk ? response.chunk : body.size() + 1;
            for (std::size_t at = 0; at < body.size() && !m_stop; at += chunk) {
                if (response.pauseMs)
                    std::this_thread::sleep_for(std::chrono::milliseconds(response.pauseMs));
                if (socket->state() != QAbstractSocket::ConnectedState)
                    break;
                socket->write(body.data() + at, qint64(std::min(chunk, body.size() - at)));
                socket->waitForBytesWritten(2000);
            }
            // A cut body ends like a dropped connection: the length promised more.
            socket->disconnectFromHost();
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->waitForDisconnected(2000);
        }
    }

    Handler m_handler;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
};

std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char &c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return bytes;
}

std::string md5Of(const std::string &bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

class Downloads : public ::testing::Test {
protected:
    void SetUp() override { m_root = m_dir.path().toStdString(); }

    PackageDownloader::Request request(const std::string &url, const std::string &body) const {
        PackageDownloader::Request request;
        request.url = url;
        request.destination = m_root + "/downloads/file.qzPackage";
        request.name = "file.qzPackage";
        request.sums = {body.size(), md5Of(body), {}};
        return request;
    }

    bool exists(const std::string &path) const {
        return QFileInfo::exists(QString::fromStdString(path));
    }

    QTemporaryDir m_dir;
    std::string m_root;
};

TEST_F(Downloads, ResumesADroppedTransferWithRangeAndIfRange) {
    const std::string body = patterned(300000);
    std::atomic<int> attempt{0};
    FakeHttpServer server([&](const FakeHttpServer::Request &request) {
        FakeHttpServer::Response response;
        response.headers = {{"ETag", "\"v1\""}};
        response.body = body;
        if (attempt++ == 0) {
            response.dropAfter = 120000;
            return response;
        }
        const auto range = request.headers.find("range");
        if (range != request.headers.end() && request.headers.count("if-range") &&
            request.headers.at("if-range") == "\"v1\"") {
            const std::size_t from = std::stoul(range->second.substr(6));
            response.status = 206;
            response.reason = "Partial Content";
            response.headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" +
                                                             std::to_string(body.size() - 1) + "/" +
                                                             std::to_string(body.size())});
            response.body = body.substr(from);
        }
        return response;
    });
    PackageDownloader downloader;
    const auto req = request(server.url("/file.qzPackage"), body);

    PackageDownloader::Result first = downloader.download(req);
    EXPECT_EQ(first.status, PackageDownloader::Result::Failed);
    EXPECT_FALSE(exists(req.destination)) << "a cut transfer never takes the final name";
    ASSERT_TRUE(exists(req.destination + ".part"));
    const std::string part = readFileBytes(req.destination + ".part");
    ASSERT_GT(part.size(), 0u);
    EXPECT_EQ(part, body.substr(0, part.size()));

    PackageDownloader::Result second = downloader.download(req);
    ASSERT_EQ(second.status, PackageDownloader::Result::Done) << second.reason;
    EXPECT_TRUE(second.resumed);
    const auto requests = server.requests();
    ASSERT_GE(requests.size(), 2u);
    ASSERT_TRUE(requests.back().headers.count("range"));
    EXPECT_EQ(requests.back().headers.at("range"), "bytes=" + std::to_string(part.size()) + "-");
    EXPECT_EQ(requests.back().headers.at("if-range"), "\"v1\"");
    EXPECT_EQ(readFileBytes(req.destination), body);
    EXPECT_EQ(second.got.md5, md5Of(body));
    EXPECT_EQ(second.verified, "Verified correct MD5 sum for file.qzPackage (" + md5Of(body) + ")");
    EXPECT_FALSE(exists(req.destination + ".part"));
    EXPECT_FALSE(exists(req.destination + ".part.validator"));
}

TEST_F(Downloads, ChangedFileIsTakenFromTheStart) {
    const std::string oldBody = patterned(200000);
    const std::string newBody = patterned(250000).substr(50000) + "changed";
    std::atomic<int> attempt{0};
    FakeHttpServer server([&](const FakeHttpServer::Request &) {
        FakeHttpServer::Response response;
        if (attempt++ == 0) {
            response.headers = {{"ETag", "\"old\""}};
            response.body = oldBody;
            response.dropAfter = 70000;
        } else {
            // If-Range no longer matches: the whole new file.
            response.headers = {{"ETag", "\"new\""}};
            response.body = newBody;
        }
        return response;
    });
    PackageDownloader downloader;
    const auto req = request(server.url("/f"), newBody);
    EXPECT_EQ(downloader.download(req).status, PackageDownloader::Result::Failed);
    const PackageDownloader::Result result = downloader.download(req);
    ASSERT_EQ(result.status, PackageDownloader::Result::Done) << result.reason;
    EXPECT_FALSE(result.resumed);
    EXPECT_EQ(readFileBytes(req.destination), newBody);
}

TEST_F(Downloads, ErrorStatusesLeaveNoFile) {
    for (const auto &[status, reason] :
         {std::pair{404, "Not Found"}, std::pair{500, "Oops"}, std::pair{204, "No Content"}}) {
        FakeHttpServer server([&](const FakeHttpServer::Request &) {
            FakeHttpServer::Response response;
            response.status = status;
            response.reason = reason;
            response.body = "<html>error page</html>";
            return response;
        });
        PackageDownloader downloader;
        const auto req = request(server.url("/missing.qzPackage"), "anything");
        const PackageDownloader::Result result = downloader.download(req);
        EXPECT_EQ(result.status, PackageDownloader::Result::Failed);
        EXPECT_EQ(result.reason, "HTTP " + std::to_string(status) + " " + reason);
        EXPECT_FALSE(exists(req.destination));
        EXPECT_FALSE(exists(req.destination + ".part"));
    }
}

TEST_F(Downloads, UnreachableServersAndBadUrlsFail) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    PackageDownloader downloader;
    for (const std::string &url : {"http://127.0.0.1:" + std::to_string(closedPort) + "/f",
                                   std::string("http://127.0.0.1:/f"), std::string("http://[::1/f"),
                                   std::string("/etc/passwd")}) {
        const auto req = request(url, "x");
        const PackageDownloader::Result result = downloader.download(req);
        EXPECT_EQ(result.status, PackageDownloader::Result::Failed) << url;
        EXPECT_FALSE(result.reason.empty()) << url;
        EXPECT_FALSE(exists(req.destination)) << url;
        EXPECT_FALSE(exists(req.destination + ".part")) << url;
    }
}

TEST_F(Downloads, RedirectsAreFollowedAtMostFiveTimesAndOnlyToHttp) {
    const std::string body = "the package";
    FakeHttpServer server([&](const FakeHttpServer::Request &request) {
        FakeHttpServer::Response response;
        if (request.path.rfind("/hop/", 0) == 0) {
            const int left = std::stoi(request.path.substr(5));
            response.status = 302;
            response.reason = "Found";
            response.headers = {
                {"Location", left > 0 ? "/hop/" + std::to_string(left - 1) : std::string("/file")}};
        } else if (request.path == "/elsewhere") {
            response.status = 301;
            response.reason = "Moved";
            response.headers = {{"Location", "file:///etc/passwd"}};
        } else {
            response.body = body;
        }
        return response;
    });
    PackageDownloader downloader;
    // /hop/3 -> 2 -> 1 -> 0 -> /file: four redirects.
    PackageDownloader::Result result = downloader.download(request(server.url("/hop/3"), body));
    ASSERT_EQ(result.status, PackageDownloader::Result::Done) << result.reason;
    EXPECT_EQ(readFileBytes(m_root + "/downloads/file.qzPackage"), body);

    // /hop/5 needs six.
    result = downloader.download(request(server.url("/hop/5"), body));
    EXPECT_EQ(result.status, PackageDownloader::Result::Failed);
    EXPECT_EQ(result.reason, "more than 5 redirects");

    result = downloader.download(request(server.url("/elsewhere"), body));
    EXPECT_EQ(result.status, PackageDownloader::Result::Failed);
    EXPECT_EQ(result.reason, "refusing a redirect to file:///etc/passwd");

    result = downloader.download(request("ftp://127.0.0.1/file", body));
    EXPECT_EQ(result.status, PackageDownloader::Result::Failed);
}

TEST_F(Downloads, SlowBodiesReportProgressAndStalledOnesTimeOut) {
    const std::string body = patterned(64000);
    std::atomic<bool> stall{false};
    FakeHttpServer server([&](const FakeHttpServer::Request &) {
        FakeHttpServer::Response response;
        response.body = body;
        response.chunk = 8000;
        response.pauseMs = stall ? 1500 : 120;
        return response;
    });
    PackageDownloader downloader;
    downloader.setTimeout(800);
    std::vector<PackageDownloader::Progress> reports;
    downloader.setProgressHandler(
        [&](const PackageDownloader::Progress &progress) { reports.push_back(progress); });
    const auto req = request(server.url("/slow"), body);
    PackageDownloader::Result result = downloader.download(req);
    ASSERT_EQ(result.status, PackageDownloader::Result::Done) << result.reason;
    ASSERT_GE(reports.size(), 4u);
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i].bytes, reports[i - 1].bytes);
    EXPECT_EQ(reports.back().bytes, body.size());
    EXPECT_EQ(reports.back().total, body.size());
    EXPECT_GT(reports.back().rate, 0);

    stall = true;
    ::unlink(req.destination.c_str());
    result = downloader.download(req);
    EXPECT_EQ(result.status, PackageDownloader::Result::Failed);
    EXPECT_EQ(result.reason, "no data received for 0.8 s");
    EXPECT_FALSE(exists(req.destination));
}

TEST_F(Downloads, WrongSumsAndCancelLeaveNothing) {
    const std::string body = patterned(100000);
    FakeHttpServer server([&](const FakeHttpServer::Request &) {
        FakeHttpServer::Response response;
        response.body = body;
        response.chunk = 10000;
        response.pauseMs = 30;
        response.headers = {{"ETag", "\"e\""}};
        return response;
    });
    PackageDownloader downloader;
    auto req = request(server.url("/f"), body);
    req.sums.sha256 = std::string(64, 'a');
    PackageDownloader::Result result = downloader.download(req);
    EXPECT_EQ(result.status, PackageDownloader::Result::Failed);
    ASSERT_EQ(result.log.size(), 1u);
    EXPECT_EQ(result.log[0].rfind("Incorrect SHA-256 sum for file.qzPackage (expected aaaa", 0),
              0u);
    EXPECT_FALSE(exists(req.destination));
    EXPECT_FALSE(exists(req.destination + ".part"));

    req.sums.sha256.clear();
    req.sums.md5 = " " + QString::fromStdString(md5Of(body)).toUpper().toStdString() + "\n";
    downloader.setProgressHandler([&](const PackageDownloader::Progress &progress) {
        if (progress.bytes >= 30000)
            downloader.cancel();
    });
    result = downloader.download(req);
    EXPECT_EQ(result.status, PackageDownloader::Result::Cancelled);
    EXPECT_FALSE(exists(req.destination));
    EXPECT_FALSE(exists(req.destination + ".part"));
    EXPECT_FALSE(exists(req.destination + ".part.validator"));

    // The cancel is spent: the next download runs, and the sum matches whatever its case.
    downloader.setProgressHandler({});
    result = downloader.download(req);
    EXPECT_EQ(result.status, PackageDownloader::Result::Done) << result.reason;
}

// A source served by python's http.server: packages A (needing B) and B.
class HttpSource : public ::testing::Test {
protected:
    using Files = std::vector<std::pair<std::string, std::string>>;

    void SetUp() override {
        m_root = m_dir.path().toStdString();
        m_settings.packagesDirectory = m_root + "/packages";
        ::mkdir((m_root + "/source").c_str(), 0755);
    }
    void TearDown() override {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

    // Starts the server; false (with a skip or failure recorded) when python3 is missing.
    bool startServer() {
        if (!haveTool("python3"))
            return false;
        m_server.setWorkingDirectory(QString::fromStdString(m_root + "/source"));
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start("python3", {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1"});
        QByteArray banner;
        while (!banner.contains(")") && m_server.waitForReadyRead(10000))
            banner += m_server.readAll();
        const qsizetype at = banner.indexOf(" port ");
        if (at < 0)
            return false;
        m_settings.sourceUrl =
            "http://127.0.0.1:" + banner.mid(at + 6).split(' ').value(0).toStdString();
        return true;
    }

    std::string shell(const std::string &command) {
        return runTool("/bin/sh", {"-c", command}, {}, m_root).out;
    }

    // Writes SOURCE/NAME.qzPackage and returns its bytes.
    std::string makePackage(const std::string &name, const std::string &version,
                            const std::string &needs, const Files &files) {
        PackageArchive archive;
        archive.setVersion(2);
        archive.addData(name + "_package.xml", "<package name=\"" + name + "\" version=\"" +
                                                   version + "\" dependencies=\"" + needs + "\"/>");
        for (const auto &[file, bytes] : files)
            archive.addData(file, bytes);
        const std::string path = m_root + "/source/" + name + ".qzPackage";
        archive.saveArchive(path);
        return readFileBytes(path);
    }

    // The list, with sums from md5sum and sha256sum rather than our own code.
    void writeList(const std::map<std::string, std::string> &wrongMd5 = {}) {
        std::vector<PackageRecord> records;
        QDirIterator it(QString::fromStdString(m_root + "/source"), {"*.qzPackage"});
        while (it.hasNext()) {
            const std::string file = it.next().toStdString();
            PackageArchive archive;
            archive.openArchive(file);
            PackageRecord record = PackageDescription::parse(
                                       archive.fileData(archive.findDescriptionFile()), file, false)
                                       .record();
            record.fileName = it.fileName().toStdString();
            record.url = record.fileName;
            record.size = QFileInfo(it.filePath()).size();
            record.md5 = shell("md5sum '" + file + "' | cut -c1-32");
            record.sha256 = shell("sha256sum '" + file + "' | cut -c1-64");
            record.md5.resize(32);
            record.sha256.resize(64);
            if (wrongMd5.count(record.name))
                record.md5 = wrongMd5.at(record.name);
            records.push_back(record);
        }
        writeFileBytes(m_root + "/source/available_packages.xml", writePackageList(records));
    }

    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        QDirIterator it(QString::fromStdString(m_settings.packagesDirectory),
                        QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const std::string file = it.next().toStdString();
            if (file != m_settings.packagesDirectory + "/.lock")
                files[file] = it.fileInfo().isDir() ? "<dir>" : readFileBytes(file);
        }
        return files;
    }

    QTemporaryDir m_dir;
    std::string m_root;
    PackageSettings m_settings;
    QProcess m_server;
};

#define START_SERVER()                                                                             \
    do {                                                                                           \
        REQUIRE_TOOL("python3", "python3");                                                        \
        REQUIRE_TOOL("md5sum", "coreutils");                                                       \
        ASSERT_TRUE(startServer()) << "python3 -m http.server did not start";                      \
    } while (0)

TEST_F(HttpSource, RefreshInstallEditVerifyUpdateAndRemove) {
    START_SERVER();
    makePackage("A", "1.0", "B", {{"a.c", "int a;\n"}});
    makePackage("B", "1.0", "A", {{"inc/b.h", "#define B 1\n"}, {"old.txt", "dropped in 2.0"}});
    writeList();

    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    system.refresh();
    const std::vector<PackageRecord> listed = system.availablePackages();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].url, m_settings.sourceUrl + "/A.qzPackage");

    ASSERT_EQ(system.installNames({"A"}), PackageSystem::Result::Done) << ui.errors.at(0);
    const std::string bMd5 = shell("md5sum source/B.qzPackage | cut -c1-32").substr(0, 32);
    ASSERT_GE(ui.messages.size(), 4u);
    EXPECT_EQ(ui.messages[0], "Verified correct MD5 sum for B.qzPackage (" + bMd5 + ")");
    EXPECT_EQ(ui.messages[2], "Installed package 'B'");
    EXPECT_EQ(ui.messages[3], "Installed package 'A'");
    const std::string dir = m_settings.packagesDirectory;
    EXPECT_EQ(readFileBytes(dir + "/B/inc/b.h"), "#define B 1\n");

    // The recorded CRC-32 is zlib's, and every file written is well-formed XML.
    const PackageRecord b = PackageDescription::load(dir + "/B_package.xml", true).record();
    ASSERT_EQ(b.installedFiles.size(), 2u);
    EXPECT_EQ(shell("python3 -c \"import zlib;print('%08x' % zlib.crc32(open('" + dir +
                    "/B/inc/b.h','rb').read()))\""),
              crc32Text(b.installedFiles[0].crc32) + "\n");
    if (haveTool("xmllint")) {
        EXPECT_EQ(runTool("/bin/sh", {"-c", "xmllint --noout packages/*.xml"}, {}, m_root).exitCode,
                  0);
    }

    writeFileBytes(dir + "/A/a.c", "int a = 2;\n");
    const auto statuses = system.verify({"A"});
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].kind, PackageSystem::FileStatus::Modified);

    // B 2.0 drops old.txt: the update installs it and the stale file goes.
    makePackage("B", "2.0", "", {{"inc/b.h", "#define B 2\n"}});
    writeList();
    system.refresh();
    ScriptedPackageUserInterface updater;
    PackageSystem updating(m_settings, updater);
    ASSERT_EQ(updating.update({}), PackageSystem::Result::Done) << updater.errors.at(0);
    EXPECT_EQ(updater.messages.back(), "Installed package 'B'");
    EXPECT_EQ(readFileBytes(dir + "/B/inc/b.h"), "#define B 2\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir + "/B/old.txt")));
    for (const auto &status : updating.verify({"B"}))
        EXPECT_EQ(status.kind, PackageSystem::FileStatus::Ok) << status.path;
    EXPECT_EQ(updating.update({"B"}), PackageSystem::Result::Done);
    EXPECT_EQ(updater.messages.back(), "No updates available");

    // Removing B takes A, which needs it, after asking; A's edited file stays.
    ScriptedPackageUserInterface remover({"yes"});
    PackageSystem removing(m_settings, remover);
    ASSERT_EQ(removing.remove({"B"}), PackageSystem::Result::Done);
    EXPECT_EQ(remover.questions.at(0).rfind("You are removing the package \"B\".\nThis package "
                                            "is required by the following installed packages:"
                                            "\n\nA\n",
                                            0),
              0u);
    EXPECT_TRUE(removing.installedPackages().empty());
    EXPECT_EQ(readFileBytes(dir + "/A/a.c"), "int a = 2;\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir + "/B")));
}

TEST_F(HttpSource, WrongMd5InstallsNothing) {
    START_SERVER();
    makePackage("A", "1.0", "B", {{"a.c", "int a;\n"}});
    makePackage("B", "1.0", "", {{"b.c", "int b;\n"}});
    writeList({{"B", "0123456789ABCDEF0123456789ABCDEF"}});
    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    system.refresh();
    const auto before = snapshot();
    EXPECT_EQ(system.installNames({"A"}), PackageSystem::Result::Failed);
    const std::string got = shell("md5sum source/B.qzPackage | cut -c1-32").substr(0, 32);
    EXPECT_EQ(ui.errors, (std::vector<std::string>{"Incorrect MD5 sum for B.qzPackage (expected "
                                                   "0123456789abcdef0123456789abcdef got " +
                                                       got + ")",
                                                   "MD5 verification failed"}));
    EXPECT_TRUE(system.installedPackages().empty());
    EXPECT_EQ(snapshot(), before);
}

TEST_F(HttpSource, CancelAtTheSecondFileLeavesTheTreeByteIdentical) {
    START_SERVER();
    makePackage("A", "1.0", "B", {{"a.bin", patterned(3 << 20)}});
    makePackage("B", "1.0", "", {{"b.c", "int b;\n"}});
    writeList();
    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    system.refresh();
    const auto before = snapshot();
    std::vector<std::string> seen;
    ui.onProgress = [&](const std::string &name, std::uint64_t) {
        if (seen.empty() || seen.back() != name)
            seen.push_back(name);
        if (name == "A.qzPackage")
            system.cancel();
    };
    EXPECT_EQ(system.installNames({"A"}), PackageSystem::Result::Cancelled);
    EXPECT_EQ(seen, (std::vector<std::string>{"B.qzPackage", "A.qzPackage"}));
    EXPECT_EQ(ui.errors.back(), "Package installation cancelled");
    EXPECT_EQ(snapshot(), before);

    // --download-only fetches both and installs nothing; the install then uses them.
    ui.onProgress = {};
    EXPECT_EQ(system.installNames({"A"}, true), PackageSystem::Result::Done);
    EXPECT_TRUE(system.installedPackages().empty());
    EXPECT_EQ(ui.messages.back(), "Downloaded " + system.downloadsDirectory() + "/A.qzPackage");
    m_server.kill();
    m_server.waitForFinished(5000);
    EXPECT_EQ(system.installNames({"A"}), PackageSystem::Result::Done);
    EXPECT_EQ(system.installedPackages().size(), 2u);
}

TEST_F(HttpSource, FailedRefreshKeepsThePreviousList) {
    START_SERVER();
    makePackage("A", "1.0", "", {{"a.c", "int a;\n"}});
    writeList();
    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    system.refresh();
    const std::string list = readFileBytes(system.listPath());

    writeFileBytes(m_root + "/source/available_packages.xml", "<package_list><package");
    EXPECT_THROW(system.refresh(), HException);
    ::unlink((m_root + "/source/available_packages.xml").c_str());
    try {
        system.refresh();
        ADD_FAILURE() << "a missing list refreshed";
    } catch (const HException &e) {
        EXPECT_EQ(e.message(), "cannot download package list " + m_settings.sourceUrl +
                                   "/available_packages.xml (HTTP 404 File not found)");
    }
    EXPECT_EQ(readFileBytes(system.listPath()), list);
    EXPECT_FALSE(QFileInfo::exists(
        QString::fromStdString(system.downloadsDirectory() + "/available_packages.xml.part")));
}

TEST(PackageLocking, InstallersWaitForEachOther) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    PackageArchive archive;
    archive.setVersion(2);
    archive.addData("A_package.xml", "<package name=\"A\"/>");
    archive.addData("a.txt", "a");
    archive.saveArchive(root + "/A.qzPackage");
    ::mkdir((root + "/packages").c_str(), 0755);

    QTx::LockFile held(QString::fromStdString(root + "/packages/.lock"));
    ASSERT_TRUE(held.lock());
    std::atomic<bool> finished{false};
    std::thread installer([&] {
        ScriptedPackageUserInterface ui;
        PackageSettings settings;
        settings.packagesDirectory = root + "/packages";
        PackageSystem system(settings, ui);
        EXPECT_EQ(system.installFile(root + "/A.qzPackage"), PackageSystem::Result::Done);
        finished = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_FALSE(finished);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(root + "/packages/A/a.txt")));
    held.unlock();
    installer.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(readFileBytes(root + "/packages/A/a.txt"), "a");

    // A lock that is never released ends in a clear error, not a hang.
    ASSERT_TRUE(held.lock());
    ScriptedPackageUserInterface ui;
    PackageSettings settings;
    settings.packagesDirectory = root + "/packages";
    settings.lockTimeoutMs = 200;
    PackageSystem system(settings, ui);
    EXPECT_EQ(system.installFile(root + "/A.qzPackage"), PackageSystem::Result::Failed);
    EXPECT_EQ(ui.errors.at(0),
              "Package installation error: another installer is using " + root + "/packages");
}

TEST(PackageLinks, ParseAndRefuseUnsafeNames) {
    auto link = PackageLink::parse("sw://install-package/STM32%20Board");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->kind, PackageLink::InstallPackage);
    EXPECT_EQ(link->package, "STM32 Board");
    EXPECT_EQ(link->toString(), "sw://install-package/STM32%20Board");

    link = PackageLink::parse("sw://update-package/Core/");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->kind, PackageLink::UpdatePackage);
    EXPECT_EQ(link->package, "Core");

    link = PackageLink::parse("dynamic://packages/docs/Core/html/index.html");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->kind, PackageLink::Documents);
    EXPECT_EQ(link->document, "html/index.html");
    EXPECT_EQ(PackageLink::parse(link->toString())->document, "html/index.html");

    EXPECT_EQ(PackageLink::parse("sw://manage-packages")->kind, PackageLink::ManagePackages);
    EXPECT_EQ(PackageLink::parse("dynamic://packages/status/")->kind, PackageLink::Status);
    EXPECT_EQ(PackageLink::parse("dynamic://packages/all")->kind, PackageLink::AllPackages);

    for (const char *bad :
         {"sw://install-package/", "sw://install-package/..", "sw://install-package/a%2Fb",
          "sw://install-package/a/b", "sw://install-package/%00x", "sw://remove-package/A",
          "dynamic://packages/docs/Core/../../etc/passwd", "dynamic://packages/docs/Core/%2e%2e/x",
          "dynamic://packages/docs/Core//x", "dynamic://packages/docs/Core/", "http://x/y"})
        EXPECT_FALSE(PackageLink::parse(bad)) << bad;
}

TEST(SolutionCheck, WarnsAboutMissingPackagesAndOffersThem) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    PackageSettings settings;
    settings.packagesDirectory = root + "/packages";
    settings.sourceDirectory = root;
    PackageArchive archive;
    archive.setVersion(2);
    archive.addData("Core_package.xml", "<package name=\"Core\" version=\"1\"/>");
    archive.addData("c.h", "c");
    archive.saveArchive(root + "/Core.qzPackage");
    PackageRecord record;
    record.name = "Core";
    record.version = "1";
    record.url = "Core.qzPackage";
    record.md5 = fileMd5(root + "/Core.qzPackage");
    writeFileBytes(root + "/available_packages.xml", writePackageList({record}));

    ScriptedPackageUserInterface no({"no"});
    PackageSystem declining(settings, no);
    declining.refresh();
    EXPECT_EQ(declining.checkSolutionPackages({"Core", "Core"}), PackageSystem::Result::Cancelled);
    EXPECT_EQ(no.messages.at(0), "<b>Warning:</b></font> The following required packages have "
                                 "not been installed:<ul><li>Core</li></ul>");
    EXPECT_EQ(no.questions.at(0), "Do you want to install the missing packages");

    ScriptedPackageUserInterface yes({"yes"});
    PackageSystem accepting(settings, yes);
    EXPECT_EQ(accepting.checkSolutionPackages({"Core"}), PackageSystem::Result::Done);
    EXPECT_EQ(accepting.installedPackages().size(), 1u);
    const std::size_t said = yes.messages.size();
    EXPECT_EQ(accepting.checkSolutionPackages({"Core"}), PackageSystem::Result::Done);
    EXPECT_EQ(yes.messages.size(), said) << "nothing missing, nothing said";
}

} // namespace
