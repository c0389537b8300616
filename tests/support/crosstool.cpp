#include "crosstool.h"

#include <QStandardPaths>
#include <QString>

bool haveTool(const std::string &name) {
    return !QStandardPaths::findExecutable(QString::fromStdString(name)).isEmpty();
}
