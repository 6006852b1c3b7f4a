#pragma once

#include <QString>

namespace kvu {

// Receiver of the archive exchange's replies; exists once the archive window was first opened.
class ArchiveSink
{
public:
    virtual ~ArchiveSink() = default;
    virtual void ParserArch(int n, const QString &text) = 0;
    virtual void ParserRestore(int n, const QString &text) = 0;
};

} // namespace kvu
