#include "RequestReader.h"

namespace panelsim {

namespace {

bool isAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isBody(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f') || c == '_';
}

} // namespace

int RequestReader::expectedFields(QByteArrayView code)
{
    struct Entry
    {
        const char *code;
        int fields;
    };
    static const Entry kTable[] = {
        {"VPr07", 1},  {"VSt07", 1},  {"VScIc", 1},  {"VDErr", 1},  {"VRPrt", 1}, {"VStat", 1},
        {"VWPwr", 2},  {"VWTmp", 2},  {"VWSpd", 2},  {"VWFtr", 2},  {"VWScn", 2}, {"VWSdt", 5},
        {"VWZon", 4},  {"VRSD1", 2},  {"VRSD2", 2},  {"VRVD1", 2},  {"VRFD1", 2}, {"VWrte", 2},
        {"VASD1", 10}, {"VASD2", 18}, {"VAVD1", 11}, {"VAFD1", 12}, {"VAFin", 2}, {"VACns", 2},
    };
    if (code.size() != 5)
        return -1;
    if (code.startsWith("VZL") && code[3] >= '0' && code[3] <= '9' && code[4] >= '0' && code[4] <= '9')
        return 1;
    for (const Entry &e : kTable) {
        if (code == QByteArrayView(e.code))
            return e.fields;
    }
    return -1;
}

bool RequestReader::complete() const
{
    if (pending_.size() <= 5 || pending_.endsWith('_'))
        return false;
    const int expected = expectedFields(QByteArrayView(pending_).first(5));
    if (expected < 0 || pending_.count('_') != expected)
        return false;
    // A lone password field is complete only with all four digits.
    return expected > 1 || pending_.size() >= 10;
}

QList<QByteArray> RequestReader::feed(QByteArrayView bytes)
{
    QList<QByteArray> out;
    for (char c : bytes) {
        if (skipping_) {
            if (isBody(c))
                continue;
            skipping_ = false;
        }
        if (pending_.isEmpty()) {
            if (c == 'V')
                pending_ += c;
            continue;
        }
        const bool fits = pending_.size() < 5 ? isAlnum(c) : isBody(c);
        if (fits) {
            if (pending_.size() >= kMaxRequest) {
                pending_.clear();
                skipping_ = true;
                continue;
            }
            pending_ += c;
            continue;
        }
        out.append(takePending());
        if (c == 'V')
            pending_ += c;
    }
    if (complete())
        out.append(takePending());
    return out;
}

QByteArray RequestReader::takePending()
{
    QByteArray request;
    request.swap(pending_);
    return request;
}

} // namespace panelsim
