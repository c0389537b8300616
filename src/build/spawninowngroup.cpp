#include "build/spawninowngroup.h"

#include <QFile>

#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

extern char **environ;

namespace {

std::vector<std::string> childEnvironment(const QStringList &overrides) {
    std::vector<std::string> result;
    for (char **entry = environ; *entry; ++entry)
        result.emplace_back(*entry);
    for (const QString &item : overrides) {
        std::string text = item.toStdString();
        std::string name = text.substr(0, text.find('=')) + '=';
        std::erase_if(result, [&](const std::string &old) { return old.starts_with(name); });
        result.push_back(text);
    }
    return result;
}

std::vector<char *> pointers(std::vector<std::string> &words) {
    std::vector<char *> result;
    for (std::string &word : words)
        result.push_back(word.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

int spawnInOwnGroup(const QStringList &command, const QString &workingDirectory,
                    const QStringList &environment, int input, int output, int error, pid_t &pid) {
    if (command.isEmpty())
        return ENOENT;
    std::vector<std::string> argumentWords;
    for (const QString &word : command)
        argumentWords.push_back(QFile::encodeName(word).toStdString());
    std::vector<std::string> environmentWords = childEnvironment(environment);
    std::vector<char *> argv = pointers(argumentWords);
    std::vector<char *> envp = pointers(environmentWords);
    const std::string directory = QFile::encodeName(workingDirectory).toStdString();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input < 0)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, error, 2);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, empty;
    sigemptyset(&empty);
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &empty);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);

    const int result =
        ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}
