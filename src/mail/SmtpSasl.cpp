#include "mail/SmtpSasl.h"

#include <QCryptographicHash>
#include <QList>
#include <QMessageAuthenticationCode>

namespace kvu::smtp {

namespace {

// Bounds a hostile challenge: every step of the sequence costs one hash.
constexpr int MaxOtpSequence = 9999;
constexpr int MaxOtpSeedLength = 16;
constexpr int MaxTraceCharacters = 255;

QByteArray fold(OtpHash hash, const QByteArray &digest)
{
    QByteArray out(8, '\0');
    if (hash == OtpHash::Sha1) {
        // The 160-bit digest is read as five big-endian words; words 0, 2 and 4 and words 1 and 3 are
        // combined, and each of the two resulting words is laid out least significant byte first.
        for (int i = 0; i < 4; ++i) {
            out[3 - i] = char(digest[i] ^ digest[8 + i] ^ digest[16 + i]);
            out[7 - i] = char(digest[4 + i] ^ digest[12 + i]);
        }
    } else {
        for (int i = 0; i < 8; ++i)
            out[i] = char(digest[i] ^ digest[8 + i]);
    }
    return out;
}

QCryptographicHash::Algorithm algorithm(OtpHash hash)
{
    switch (hash) {
    case OtpHash::Md4:
        return QCryptographicHash::Md4;
    case OtpHash::Md5:
        return QCryptographicHash::Md5;
    case OtpHash::Sha1:
        break;
    }
    return QCryptographicHash::Sha1;
}

bool validSeed(const QByteArray &seed)
{
    if (seed.isEmpty() || seed.size() > MaxOtpSeedLength)
        return false;
    for (const char c : seed) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum)
            return false;
    }
    return true;
}

std::optional<int> sequenceNumber(const QByteArray &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > MaxOtpSequence)
        return std::nullopt;
    return value;
}

std::optional<QByteArray> otpResponse(const QByteArray &challenge, const QByteArray &passPhrase)
{
    const QList<QByteArray> words = challenge.simplified().split(' ');
    for (qsizetype i = 0; i + 2 < words.size(); ++i) {
        const QByteArray name = words[i].toLower();
        if (!name.startsWith("otp-"))
            continue;
        OtpHash hash;
        if (name == "otp-md4")
            hash = OtpHash::Md4;
        else if (name == "otp-md5")
            hash = OtpHash::Md5;
        else if (name == "otp-sha1")
            hash = OtpHash::Sha1;
        else
            return std::nullopt;
        const std::optional<int> sequence = sequenceNumber(words[i + 1]);
        if (!sequence || !validSeed(words[i + 2]))
            return std::nullopt;
        return "hex:" + otpKey(hash, words[i + 2], passPhrase, *sequence).toHex();
    }
    return std::nullopt;
}

std::optional<QByteArray> skeyResponse(const QByteArray &challenge, const QByteArray &passPhrase)
{
    const QList<QByteArray> words = challenge.simplified().split(' ');
    if (words.size() < 2)
        return std::nullopt;
    const std::optional<int> sequence = sequenceNumber(words[0]);
    if (!sequence || !validSeed(words[1]))
        return std::nullopt;
    return otpKey(OtpHash::Md4, words[1], passPhrase, *sequence);
}

QByteArray cramResponse(QCryptographicHash::Algorithm hash, const QByteArray &challenge,
                        const Credentials &credentials)
{
    const QByteArray digest =
        QMessageAuthenticationCode::hash(challenge, credentials.password.toUtf8(), hash).toHex();
    return credentials.user.toUtf8() + ' ' + digest;
}

QByteArray traceInformation(const QString &user)
{
    QString trace = user.left(MaxTraceCharacters);
    if (!trace.isEmpty() && trace.back().isHighSurrogate())
        trace.chop(1);
    return trace.toUtf8();
}

} // namespace

QByteArray otpKey(OtpHash hash, const QByteArray &seed, const QByteArray &passPhrase, int sequence)
{
    const QCryptographicHash::Algorithm alg = algorithm(hash);
    QByteArray key = fold(hash, QCryptographicHash::hash(seed.toLower() + passPhrase, alg));
    for (int i = 0; i < sequence; ++i)
        key = fold(hash, QCryptographicHash::hash(key, alg));
    return key;
}

std::optional<QByteArray> initialResponse(Mechanism mechanism, const Credentials &credentials)
{
    const QByteArray user = credentials.user.toUtf8();
    switch (mechanism) {
    case Mechanism::Plain:
        return '\0' + user + '\0' + credentials.password.toUtf8();
    case Mechanism::External:
    case Mechanism::Skey:
        return user;
    case Mechanism::Anonymous:
        return traceInformation(credentials.user);
    case Mechanism::Otp:
        return '\0' + user;
    case Mechanism::Login:
    case Mechanism::CramMd5:
    case Mechanism::CramSha1:
        break;
    }
    return std::nullopt;
}

std::optional<QByteArray> challengeResponse(Mechanism mechanism, int step, const QByteArray &challenge,
                                            const Credentials &credentials)
{
    if (step == 1 && mechanism == Mechanism::Login)
        return credentials.password.toUtf8();
    if (step != 0)
        return std::nullopt;
    switch (mechanism) {
    case Mechanism::Login:
        return credentials.user.toUtf8();
    case Mechanism::CramMd5:
        return cramResponse(QCryptographicHash::Md5, challenge, credentials);
    case Mechanism::CramSha1:
        return cramResponse(QCryptographicHash::Sha1, challenge, credentials);
    case Mechanism::Otp:
        return otpResponse(challenge, credentials.password.toUtf8());
    case Mechanism::Skey:
        return skeyResponse(challenge, credentials.password.toUtf8());
    case Mechanism::Plain:
    case Mechanism::External:
    case Mechanism::Anonymous:
        break;
    }
    return std::nullopt;
}

} // namespace kvu::smtp
