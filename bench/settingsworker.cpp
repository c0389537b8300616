// One writer process of bench/settings.sh.
//
//   settings_bench_worker ours|qsettings seed FILE KEYS
//       writes a file of KEYS settings to start from
//   settings_bench_worker ours|qsettings run FILE ID ROUNDS
//       sets one key of its own and synchronizes, ROUNDS times
//
// "run" prints "timeouts N": synchronizations that could not take the lock in time (and
// for QSettings, syncs that reported an error). Ours retries what timed out at the end.

#include "settings/settings.h"

#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QString key(int id, int round) {
    return QStringLiteral("Worker%1/Key%2").arg(id).arg(round);
}

QString seedKey(int index) {
    return QStringLiteral("Environment/Group%1/Option %2").arg(index / 50).arg(index);
}

QString value(int index) {
    return QStringLiteral("value %1 with some text & <markup>").arg(index);
}

int usage() {
    std::fprintf(stderr, "usage: settings_bench_worker ours|qsettings seed FILE KEYS\n"
                         "       settings_bench_worker ours|qsettings run FILE ID ROUNDS\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 5)
        return usage();
    const bool ours = std::strcmp(argv[1], "ours") == 0;
    const bool seed = std::strcmp(argv[2], "seed") == 0;
    const QString file = QString::fromLocal8Bit(argv[3]);
    if (seed) {
        const int keys = std::atoi(argv[4]);
        if (ours) {
            Settings settings;
            settings.setPath(file);
            for (int i = 0; i < keys; ++i)
                settings.setValue(seedKey(i), value(i));
            return settings.save() ? 0 : 1;
        }
        QSettings settings(file, QSettings::IniFormat);
        for (int i = 0; i < keys; ++i)
            settings.setValue(seedKey(i), value(i));
        settings.sync();
        return settings.status() == QSettings::NoError ? 0 : 1;
    }
    if (argc != 6 || std::strcmp(argv[2], "run") != 0)
        return usage();
    const int id = std::atoi(argv[4]);
    const int rounds = std::atoi(argv[5]);
    int timeouts = 0;
    if (ours) {
        Settings settings;
        settings.setPath(file);
        for (int round = 0; round < rounds; ++round) {
            settings.setValue(key(id, round), value(round));
            settings.synchronize();
            if (settings.hasLocalChanges())
                ++timeouts;
        }
        // A change whose write timed out is still pending: the file must end up complete.
        for (int attempt = 0; attempt < 100 && settings.hasLocalChanges(); ++attempt)
            settings.synchronize();
        if (settings.hasLocalChanges())
            return 1;
    } else {
        QSettings settings(file, QSettings::IniFormat);
        for (int round = 0; round < rounds; ++round) {
            settings.setValue(key(id, round), value(round));
            settings.sync();
            if (settings.status() != QSettings::NoError)
                ++timeouts;
        }
    }
    std::printf("timeouts %d\n", timeouts);
    return 0;
}
