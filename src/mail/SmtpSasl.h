#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace kvu::smtp {

enum class Mechanism { Plain, Login, External, Anonymous, Otp, Skey, CramMd5, CramSha1 };

struct MechanismInfo
{
    Mechanism id;
    const char *name;
};

// The mechanisms the sender knows, in the order they are tried: of those the server names, the first is
// tried first, and a rejected one is dropped before the next is tried.
inline constexpr std::array<MechanismInfo, 8> MechanismTable = {{
    {Mechanism::Plain, "PLAIN"},
    {Mechanism::Login, "LOGIN"},
    {Mechanism::External, "EXTERNAL"},
    {Mechanism::Anonymous, "ANONYMOUS"},
    {Mechanism::Otp, "OTP"},
    {Mechanism::Skey, "SKEY"},
    {Mechanism::CramMd5, "CRAM-MD5"},
    {Mechanism::CramSha1, "CRAM-SHA1"},
}};

struct Credentials
{
    QString user;
    QString password;
};

// What goes with the AUTH command, before base64; nothing for mechanisms that wait for the server.
//   PLAIN      NUL user NUL password (no authorization identity).
//   EXTERNAL   the user name as authorization identity (the server takes the identity from the
//              connection itself, e.g. a client certificate, which this client does not have).
//   ANONYMOUS  the user name as trace information, cut to 255 characters.
//   OTP        NUL user: empty authorization identity, the user name as authentication identity.
//   SKEY       the user name.
std::optional<QByteArray> initialResponse(Mechanism mechanism, const Credentials &credentials);

// The answer to the server's step-th challenge (counted from 0, already base64-decoded), before base64;
// nothing when the mechanism has no answer, and the client then cancels the exchange.
//   LOGIN      user name, then password, whatever the prompts say.
//   CRAM-MD5   "user " + lower-case hex HMAC-MD5 of the challenge keyed with the password.
//   CRAM-SHA1  the same with HMAC-SHA1.
//   OTP        for a challenge "otp-<md4|md5|sha1> <sequence> <seed> ...": the one-time password made from
//              the seed and the password as pass phrase, as extended response "hex:" + 16 hex digits.
//   SKEY       for a challenge "<sequence> <seed>": the MD4 one-time password as the bare 64-bit value
//              in network byte order (the binary answer the SKEY mechanism allows beside six words).
std::optional<QByteArray> challengeResponse(Mechanism mechanism, int step, const QByteArray &challenge,
                                            const Credentials &credentials);

enum class OtpHash { Md4, Md5, Sha1 };

// The 64-bit one-time password of the given sequence number: the hash of the lower-cased seed followed by
// the pass phrase, folded to 64 bits, then hashed and folded `sequence` more times.
QByteArray otpKey(OtpHash hash, const QByteArray &seed, const QByteArray &passPhrase, int sequence);

} // namespace kvu::smtp
