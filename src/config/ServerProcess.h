#pragma once

#include <QString>

// What the program can tell about the database server running on this machine, so that it can
// say how a saved firebird.conf comes into effect: the server reads that file only when it starts.
struct TServerRestart {
    // A server process runs (on Windows: a server service is active).
    bool Running = false;
    // The command that restarts the system's server service, for the administrator to run; empty
    // when the system has none the program knows.
    QString Command;
};

// Looks at the running processes and the installed services. Windows: the active services whose
// names begin with "FirebirdServer"; elsewhere: processes of the server's programs, and the
// service unit (systemd) or start script (/etc/init.d) of the installed server.
TServerRestart FindServerRestart();
