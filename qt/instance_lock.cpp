#include "qt/instance_lock.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <vector>

#include "system/folder_facts.h"
#include "ui/lock_folder.h"

namespace r462xe {

namespace {

constexpr const char* kRaiseRequest = "raise\n";
// A later start that finds the lock taken tries this long to reach the instance that took it: the
// lock file appears a moment before the socket.
constexpr int kReachAttempts = 20;
constexpr int kReachPauseMs = 100;
constexpr int kReachWaitMs = 500;

std::string path_bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Makes the folder closed to others when it is missing (an existing one is left as it is), then
// judges it.
FolderVerdict prepare(const QString& path, bool create) {
    if (create) make_private_folder(path_bytes(path));
    return judge_lock_folder(folder_facts(path_bytes(path)), current_user());
}

}  // namespace

std::optional<QString> instance_lock_folder(QString& problems) {
    struct Candidate {
        QString path;
        bool create;
    };
    std::vector<Candidate> candidates;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) candidates.push_back({runtime, false});
    candidates.push_back(
        {QDir::tempPath() + "/" + QString::fromStdString(per_user_folder_name(current_user())),
         true});
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache))
        candidates.push_back({cache + "/r462xe-fwupdate", true});
    for (const auto& candidate : candidates) {
        const FolderVerdict verdict = prepare(candidate.path, candidate.create);
        if (verdict == FolderVerdict::usable) return candidate.path;
        if (!problems.isEmpty()) problems += "; ";
        problems += candidate.path + ": " + verdict_text(verdict);
    }
    return std::nullopt;
}

QtInstanceLock::QtInstanceLock(QString name, std::function<void()> bring_to_front)
    : name_(std::move(name)), bring_to_front_(std::move(bring_to_front)) {}

QtInstanceLock::~QtInstanceLock() = default;

InstanceClaim QtInstanceLock::claim() {
    if (lock_ && lock_->isLocked()) return {InstanceClaim::Outcome::First};
    QString problems;
    std::optional<QString> folder = instance_lock_folder(problems);
    // In the encoding of the system's messages, as standard error takes them.
    if (!folder) return {InstanceClaim::Outcome::Refused, problems.toLocal8Bit().toStdString()};
    const QString socket_path = *folder + "/" + name_ + ".socket";
    if (!lock_) {
        lock_ = std::make_unique<QLockFile>(*folder + "/" + name_ + ".lock");
        // Only a lock whose owner has died is stale (the lock file records its process); a running
        // instance keeps its lock however long it runs.
        lock_->setStaleLockTime(0);
    }
    if (lock_->tryLock(0)) {
        listen(socket_path);
        return {InstanceClaim::Outcome::First};
    }
    // Whether or not the instance answers, this start ends: it shows nothing itself.
    QLocalSocket caller;
    for (int attempt = 0; attempt < kReachAttempts; ++attempt) {
        caller.connectToServer(socket_path);
        if (caller.waitForConnected(kReachWaitMs)) {
            caller.write(kRaiseRequest);
            caller.waitForBytesWritten(kReachWaitMs);
            caller.disconnectFromServer();
            break;
        }
        QThread::msleep(kReachPauseMs);
    }
    return {InstanceClaim::Outcome::AnotherRuns};
}

void QtInstanceLock::listen(const QString& socket_path) {
    server_ = std::make_unique<QLocalServer>();
    // Only the user may connect. The socket is also made under a passing name and then renamed
    // into place, which replaces one that an instance left when it crashed.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* caller = server_->nextPendingConnection()) hear(caller);
    });
    // Without the socket, later starts still end; they only cannot bring this window forward.
    server_->listen(socket_path);
}

void QtInstanceLock::hear(QLocalSocket* caller) {
    const auto answer = [this, caller] {
        if (!caller->canReadLine()) return;
        if (caller->readLine() == kRaiseRequest && bring_to_front_) bring_to_front_();
        caller->disconnectFromServer();
    };
    QObject::connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
    QObject::connect(caller, &QLocalSocket::readyRead, caller, answer);
    // The request may have come with the connection.
    answer();
}

void QtInstanceLock::release() {
    if (server_) server_->close();
    if (lock_) lock_->unlock();
}

}  // namespace r462xe
