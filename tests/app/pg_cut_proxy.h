#pragma once
// A stand-in for the network between a station and its database server: a
// Unix socket that passes every byte on to the real server's socket, and
// cuts the connection on cue, so a test can lose the connection at an exact
// point of a transaction:
//   cutBefore("sampledetails")  the next message naming it never reaches the
//                               server (the transaction is cut half-way);
//   cutAfterReply("COMMIT")     the next COMMIT reaches the server and is
//                               done there, but its reply never comes back.
// Runs on a thread of its own; the station's event loop goes on meanwhile.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace qqc::test {

class PgCutProxy {
public:
    // `serverSocket`: the server's socket file, e.g. /tmp/pg/.s.PGSQL.5432.
    explicit PgCutProxy(const QString& serverSocket, int port = 5432) : upstream_(serverSocket.toStdString())
    {
        dir_.setAutoRemove(true);
        const std::string path = QString("%1/.s.PGSQL.%2").arg(dir_.path()).arg(port).toStdString();
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        ok_ = listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
              && ::listen(listener_, 16) == 0;
        if (ok_)
            thread_ = std::thread([this] { run(); });
    }
    ~PgCutProxy()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        for (const Pair& p : pairs_) {
            ::close(p.client);
            ::close(p.server);
        }
        if (listener_ >= 0)
            ::close(listener_);
    }
    PgCutProxy(const PgCutProxy&) = delete;
    PgCutProxy& operator=(const PgCutProxy&) = delete;

    bool ok() const { return ok_; }
    // The folder to give as the address's host.
    QString folder() const { return dir_.path(); }

    void cutBefore(const QByteArray& text) { arm(text, false); }
    void cutAfterReply(const QByteArray& text) { arm(text, true); }
    // How many connections were cut on cue so far.
    int cuts() const { return cuts_; }

private:
    struct Pair {
        int client, server;
        bool awaitingReply = false;  // forwarded the cue; drop the reply and cut
    };

    void arm(const QByteArray& text, bool afterReply)
    {
        std::lock_guard lock(mutex_);
        cue_ = text;
        afterReply_ = afterReply;
    }

    int connectUpstream() const
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, upstream_.c_str(), sizeof a.sun_path - 1);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return fd;
        if (fd >= 0)
            ::close(fd);
        return -1;
    }

    // Closes both ends; `onCue`: one of the cuts asked for.
    void cut(size_t i, bool onCue = false)
    {
        ::close(pairs_[i].client);
        ::close(pairs_[i].server);
        pairs_.erase(pairs_.begin() + long(i));
        cuts_ += onCue ? 1 : 0;
    }

    void run()
    {
        char buffer[65536];
        while (!stop_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            for (const Pair& p : pairs_) {
                fds.push_back({p.client, POLLIN, 0});
                fds.push_back({p.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 50) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const int client = ::accept(listener_, nullptr, nullptr);
                const int server = client >= 0 ? connectUpstream() : -1;
                if (server >= 0)
                    pairs_.push_back({client, server});
                else if (client >= 0)
                    ::close(client);
            }
            // Backwards, so that a cut pair can be erased on the way.
            for (size_t i = (fds.size() - 1) / 2; i-- > 0;) {
                const bool fromClient = fds[1 + 2 * i].revents != 0;
                const bool fromServer = fds[2 + 2 * i].revents != 0;
                Pair& p = pairs_[i];
                if (fromServer) {
                    const ssize_t n = ::read(p.server, buffer, sizeof buffer);
                    if (n <= 0 || p.awaitingReply) {
                        cut(i, n > 0);
                        continue;
                    }
                    if (::write(p.client, buffer, size_t(n)) != n) {
                        cut(i);
                        continue;
                    }
                }
                if (fromClient) {
                    const ssize_t n = ::read(p.client, buffer, sizeof buffer);
                    if (n <= 0) {
                        cut(i);
                        continue;
                    }
                    bool cue = false, afterReply = false;
                    {
                        std::lock_guard lock(mutex_);
                        if (!cue_.isEmpty() && QByteArray::fromRawData(buffer, n).contains(cue_)) {
                            cue = true;
                            afterReply = afterReply_;
                            cue_.clear();
                        }
                    }
                    if (cue && !afterReply) {
                        cut(i, true);
                        continue;
                    }
                    if (::write(p.server, buffer, size_t(n)) != n) {
                        cut(i);
                        continue;
                    }
                    p.awaitingReply = cue;
                }
            }
        }
    }

    std::string upstream_;
    QTemporaryDir dir_{"/tmp/qqc-proxy-XXXXXX"};
    int listener_ = -1;
    bool ok_ = false;
    std::thread thread_;
    std::vector<Pair> pairs_;
    std::atomic<bool> stop_{false};
    std::atomic<int> cuts_{0};
    std::mutex mutex_;
    QByteArray cue_;
    bool afterReply_ = false;
};

} // namespace qqc::test
