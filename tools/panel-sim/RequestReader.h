#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace panelsim {

// Cuts the unframed byte stream of one connection into requests. A request starts at "V", takes four
// more letters or digits as its code and then hexadecimal digits and "_"; any other byte ends it and
// bytes outside a request are skipped. A request whose field count is already complete for its code is
// taken at once; a shorter tail waits for more bytes (or for takePending after a quiet spell).
class RequestReader
{
public:
    static constexpr int kMaxRequest = 512;

    QList<QByteArray> feed(QByteArrayView bytes);
    bool hasPending() const { return !pending_.isEmpty(); }
    QByteArray takePending();

    // Fields after the code, password included, of a known request code; -1 for an unknown code.
    static int expectedFields(QByteArrayView code);

private:
    bool complete() const;

    QByteArray pending_;
    bool skipping_ = false;
};

} // namespace panelsim
