// One of the processes of the multi-process test: sets its own keys round after round,
// removes some of them again and synchronizes after every round.
//
//   settings_worker FILE ID ROUNDS
//
// Prints "failures N" (synchronizations that could not write) and exits 0 once all its
// changes are in the file.

#include "settings/settings.h"
#include "settingsprotocol.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: settings_worker FILE ID ROUNDS\n");
        return 2;
    }
    const int id = std::atoi(argv[2]);
    const int rounds = std::atoi(argv[3]);
    Settings settings;
    settings.setPath(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        settings.setValue(workerKey(id, round), workerValue(id, round));
        if (round >= 2 && removedLater(round - 2))
            settings.remove(workerKey(id, round - 2));
        settings.synchronize();
        if (settings.hasLocalChanges()) {
            ++failures;
            std::fprintf(stderr, "%s\n", qPrintable(settings.errorString()));
        }
    }
    for (int attempt = 0; attempt < 100 && settings.hasLocalChanges(); ++attempt)
        settings.synchronize();
    std::printf("failures %d\n", failures);
    return settings.hasLocalChanges() ? 1 : 0;
}
