// The system-information tool: a configured program, else a known desktop tool on the PATH.
#include "SystemInfoTool.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace lumabar {

QStringList SystemInfoTool::knownPrograms() {
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("i-nex"), QStringLiteral("lshw-gtk")};
}

QString SystemInfoTool::find() {
    const QString configured = qEnvironmentVariable(PathVariable);
    if (!configured.isEmpty()) {
        const QFileInfo file(configured);
        if (file.isFile() && file.isExecutable()) return file.absoluteFilePath();
    }
    for (const QString& program : knownPrograms()) {
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty()) return path;
    }
    return {};
}

bool SystemInfoTool::start() {
    const QString program = find();
    return !program.isEmpty() && QProcess::startDetached(program, {});
}

}  // namespace lumabar
