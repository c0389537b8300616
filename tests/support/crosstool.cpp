#include "crosstool.h"

#include <QStandardPaths>
#include <QString>

bool haveTool(const std::string &name) {
    return !crossToolPath(name).empty();
}

std::string crossToolPath(const std::string &name) {
    return QStandardPaths::findExecutable(QString::fromStdString(name)).toStdString();
}
