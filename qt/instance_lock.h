// One running instance of the program per user: a lock file in a folder that only the user can
// reach, and beside it a local socket on which the running instance hears a later start ask it to
// bring its window to the front.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/platform.h"

namespace r462xe {

// The folder for the lock: XDG_RUNTIME_DIR, else a folder of the user's own in the folder for
// temporary files, else one in the user's cache folder; the first that belongs to the user alone.
// None when no such folder can be had; `problems` then says what was wrong with each.
std::optional<QString> instance_lock_folder(QString& problems);

// A place where the running instance listens for later starts: its socket file beside the lock,
// or a name in Linux's abstract namespace where the file's path would be too long.
struct SocketPlace {
    QString name;
    QLocalServer::SocketOptions options;
};

class QtInstanceLock {
  public:
    // `name`: how the instances recognise each other; `bring_to_front`: what the running instance
    // does when a later start asks.
    QtInstanceLock(QString name, std::function<void()> bring_to_front);
    ~QtInstanceLock();
    QtInstanceLock(const QtInstanceLock&) = delete;
    QtInstanceLock& operator=(const QtInstanceLock&) = delete;

    // Takes the lock and listens for later starts; when another instance holds it, asks that one
    // to bring its window to the front instead. Once taken, the lock stays with this instance.
    // Refused when no folder for the lock is the user's alone, with what was wrong with each.
    InstanceClaim claim();
    // Gives up the lock and the socket, before the program ends at once.
    void release();

  private:
    // Listens at the first of `places` where a socket can be made.
    void listen(const std::vector<SocketPlace>& places);
    // Asks the instance that holds the lock to bring its window forward, at each of `places`.
    InstanceClaim ask_to_raise(const std::vector<SocketPlace>& places);
    void hear(class QLocalSocket* caller);

    QString name_;
    std::function<void()> bring_to_front_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace r462xe
