#include "qt/instance_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <vector>

#include "system/folder_facts.h"
#include "ui/lock_folder.h"

namespace r462xe {

namespace {

constexpr const char* kRaiseRequest = "raise\n";
// The running instance's answer once its window is in front: a later start ends with status 0
// only when it has heard it.
constexpr const char* kRaisedAnswer = "raised\n";
// A later start that finds the lock taken tries this long to reach the instance that took it: the
// lock file appears a moment before the socket.
constexpr int kReachAttempts = 20;
constexpr int kReachPauseMs = 100;
constexpr int kReachWaitMs = 500;
// A running instance answers between two of its events; one in the middle of an update still
// dispatches them every few milliseconds.
constexpr int kAnswerWaitMs = 3000;

std::string path_bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Makes the folder closed to others when it is missing (an existing one is left as it is), then
// judges it; empty when it will do, otherwise what is wrong with it.
QString problem_with(const QString& path, bool create) {
    const std::string not_made = create ? make_private_folder(path_bytes(path)) : std::string();
    return QString::fromLocal8Bit(folder_problem(
        judge_lock_folder(folder_facts(path_bytes(path)), current_user()), not_made));
}

// The socket's name in the abstract namespace of Linux, for a lock folder whose path leaves no
// room for the socket's file name (a socket's path has room for about 100 bytes): named after the
// folder, so that each folder, and so each user, has its own.
QString abstract_socket_name(const QString& folder, const QString& name) {
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha256);
    return name + "-" + QString::fromLatin1(digest.toHex().left(32));
}

std::vector<SocketPlace> socket_places(const QString& folder, const QString& name) {
    return {{folder + "/" + name + ".socket", QLocalServer::UserAccessOption},
            {abstract_socket_name(folder, name), QLocalServer::AbstractNamespaceOption}};
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
    // The cache folder itself is made as the user's other programs make it; when it cannot be,
    // the lock's folder in it cannot be either, and the problems say why.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty()) {
        QDir().mkpath(cache);
        candidates.push_back({cache + "/r462xe-fwupdate", true});
    }
    for (const auto& candidate : candidates) {
        const QString problem = problem_with(candidate.path, candidate.create);
        if (problem.isEmpty()) return candidate.path;
        if (!problems.isEmpty()) problems += "; ";
        problems += candidate.path + ": " + problem;
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
    const std::vector<SocketPlace> places = socket_places(*folder, name_);
    if (!lock_) {
        lock_ = std::make_unique<QLockFile>(*folder + "/" + name_ + ".lock");
        // Only a lock whose owner has died is stale (the lock file records its process); a running
        // instance keeps its lock however long it runs.
        lock_->setStaleLockTime(0);
    }
    if (lock_->tryLock(0)) {
        listen(places);
        return {InstanceClaim::Outcome::First};
    }
    // Whether or not the instance answers, this start ends: it shows nothing itself, and says
    // so when the running instance did not show its window either.
    return ask_to_raise(places);
}

InstanceClaim QtInstanceLock::ask_to_raise(const std::vector<SocketPlace>& places) {
    QStringList unreached;
    for (int attempt = 0; attempt < kReachAttempts; ++attempt) {
        unreached.clear();
        for (const SocketPlace& place : places) {
            QLocalSocket caller;
            caller.setSocketOptions(place.options & QLocalServer::AbstractNamespaceOption
                                        ? QLocalSocket::AbstractNamespaceOption
                                        : QLocalSocket::NoOptions);
            caller.connectToServer(place.name);
            if (!caller.waitForConnected(kReachWaitMs)) {
                unreached << place.name + ": " + caller.errorString();
                continue;
            }
            caller.write(kRaiseRequest);
            QElapsedTimer waited;
            waited.start();
            while (!caller.canReadLine() && waited.elapsed() < kAnswerWaitMs &&
                   caller.waitForReadyRead(static_cast<int>(kAnswerWaitMs - waited.elapsed()))) {
            }
            if (caller.canReadLine() && caller.readLine() == kRaisedAnswer)
                return {InstanceClaim::Outcome::AnotherRuns};
            const QString why =
                place.name + ": no answer within " + QString::number(kAnswerWaitMs / 1000) + " s";
            return {InstanceClaim::Outcome::Unanswered, why.toLocal8Bit().toStdString()};
        }
        QThread::msleep(kReachPauseMs);
    }
    return {InstanceClaim::Outcome::Unanswered,
            unreached.join(QStringLiteral("; ")).toLocal8Bit().toStdString()};
}

void QtInstanceLock::listen(const std::vector<SocketPlace>& places) {
    // The first place where the socket can be made; without one, later starts say that this
    // instance runs but cannot be reached.
    for (const SocketPlace& place : places) {
        server_ = std::make_unique<QLocalServer>();
        // Only the user may connect to the file. The socket is also made under a passing name
        // and then renamed into place, which replaces one that an instance left when it crashed.
        server_->setSocketOptions(place.options);
        QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
            while (QLocalSocket* caller = server_->nextPendingConnection()) hear(caller);
        });
        if (server_->listen(place.name)) return;
    }
    server_.reset();
}

void QtInstanceLock::hear(QLocalSocket* caller) {
    const auto answer = [this, caller] {
        if (!caller->canReadLine()) return;
        if (caller->readLine() != kRaiseRequest) {
            caller->disconnectFromServer();
            return;
        }
        if (bring_to_front_) bring_to_front_();
        caller->write(kRaisedAnswer);
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
