// Finding and starting the machine's system-information tool for the About window's
// "System Info..." button.
#pragma once

#include <QString>
#include <QStringList>

#include "LumabarExport.h"

namespace lumabar {

class LUMABAR_EXPORT SystemInfoTool {
public:
    // The environment variable that names the tool's program (a path), looked at first.
    static constexpr const char* PathVariable = "LUMABAR_SYSINFO";
    // Desktop system-information programs looked for on the PATH, in this order.
    static QStringList knownPrograms();

    // The program to start: the one the variable names when that is an executable file, else the
    // first known program on the PATH; empty when there is none.
    static QString find();
    // Starts the tool detached; false when there is none or it does not start.
    static bool start();

    static QString unavailableMessage() {
        return QStringLiteral("System Information Is Unavailable At This Time");
    }
};

}  // namespace lumabar
