#pragma once

#include <QString>
#include <functional>

// What a backend did on its own and has to tell (German text), neither a result nor an error: say,
// changes a broken-off write left on a server, taken back at the next contact. The console prints
// notices, the program shows them; without a sink they go to the log.
using TDirectoryNoticeSink = std::function<void(const QString& Text)>;
void SetDirectoryNoticeSink(TDirectoryNoticeSink Sink);
void DirectoryNotice(const QString& Text);
