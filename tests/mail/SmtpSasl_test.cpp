#include "mail/SmtpSasl.h"

#include <gtest/gtest.h>

using namespace kvu::smtp;

namespace {

struct OtpVector
{
    OtpHash hash;
    const char *passPhrase;
    const char *seed;
    int sequence;
    const char *hex;
};

// The verification examples of RFC 2289, appendix C.
const OtpVector otpVectors[] = {
    {OtpHash::Md4, "This is a test.", "TeSt", 0, "D1854218EBBB0B51"},
    {OtpHash::Md4, "This is a test.", "TeSt", 1, "63473EF01CD0B444"},
    {OtpHash::Md4, "This is a test.", "TeSt", 99, "C5E612776E6C237A"},
    {OtpHash::Md4, "AbCdEfGhIjK", "alpha1", 0, "50076F47EB1ADE4E"},
    {OtpHash::Md4, "AbCdEfGhIjK", "alpha1", 99, "D150C82CCE6F62D1"},
    {OtpHash::Md4, "OTP's are good", "correct", 1, "8C0992FB250847B1"},
    {OtpHash::Md5, "This is a test.", "TeSt", 0, "9E876134D90499DD"},
    {OtpHash::Md5, "This is a test.", "TeSt", 1, "7965E05436F5029F"},
    {OtpHash::Md5, "This is a test.", "TeSt", 99, "50FE1962C4965880"},
    {OtpHash::Md5, "AbCdEfGhIjK", "alpha1", 99, "5AA37A81F212146C"},
    {OtpHash::Md5, "OTP's are good", "correct", 0, "F205753943DE4CF9"},
    {OtpHash::Md5, "OTP's are good", "correct", 99, "B203E28FA525BE47"},
    {OtpHash::Sha1, "This is a test.", "TeSt", 0, "BB9E6AE1979D8FF4"},
    {OtpHash::Sha1, "This is a test.", "TeSt", 1, "63D936639734385B"},
    {OtpHash::Sha1, "This is a test.", "TeSt", 99, "87FEC7768B73CCF9"},
    {OtpHash::Sha1, "AbCdEfGhIjK", "alpha1", 0, "AD85F658EBE383C9"},
    {OtpHash::Sha1, "AbCdEfGhIjK", "alpha1", 1, "D07CE229B5CF119B"},
    {OtpHash::Sha1, "OTP's are good", "correct", 99, "4F296A74FE1567EC"},
};

TEST(SmtpOtp, MatchesTheStandardExamples)
{
    for (const OtpVector &v : otpVectors) {
        SCOPED_TRACE(::testing::Message() << v.passPhrase << " " << v.seed << " " << v.sequence);
        EXPECT_EQ(otpKey(v.hash, v.seed, v.passPhrase, v.sequence).toHex().toUpper(), QByteArray(v.hex));
    }
}

TEST(SmtpSasl, InitialResponses)
{
    const Credentials c{QStringLiteral("ivan@factory.ru"), QStringLiteral("пароль")};
    EXPECT_EQ(initialResponse(Mechanism::Plain, c), QByteArray("\0ivan@factory.ru\0", 17) + "пароль");
    EXPECT_EQ(initialResponse(Mechanism::External, c), QByteArray("ivan@factory.ru"));
    EXPECT_EQ(initialResponse(Mechanism::Anonymous, c), QByteArray("ivan@factory.ru"));
    EXPECT_EQ(initialResponse(Mechanism::Otp, c), QByteArray("\0ivan@factory.ru", 16));
    EXPECT_EQ(initialResponse(Mechanism::Skey, c), QByteArray("ivan@factory.ru"));
    EXPECT_EQ(initialResponse(Mechanism::Login, c), std::nullopt);
    EXPECT_EQ(initialResponse(Mechanism::CramMd5, c), std::nullopt);

    // RFC 4505 bounds the trace information to 255 characters.
    const Credentials longUser{QString(300, QChar(u'я')), QString()};
    EXPECT_EQ(QString::fromUtf8(*initialResponse(Mechanism::Anonymous, longUser)), QString(255, QChar(u'я')));
}

TEST(SmtpSasl, ChallengeResponses)
{
    // The example of RFC 2195.
    const Credentials tim{QStringLiteral("tim"), QStringLiteral("tanstaaftanstaaf")};
    EXPECT_EQ(challengeResponse(Mechanism::CramMd5, 0, "<1896.697170952@postoffice.reston.mci.net>", tim),
              QByteArray("tim b913a602c7eda7a495b4e6e7334d3890"));
    EXPECT_EQ(challengeResponse(Mechanism::CramMd5, 1, "again", tim), std::nullopt);

    const Credentials c{QStringLiteral("user"), QStringLiteral("secret")};
    EXPECT_EQ(challengeResponse(Mechanism::Login, 0, "Username:", c), QByteArray("user"));
    EXPECT_EQ(challengeResponse(Mechanism::Login, 1, "Password:", c), QByteArray("secret"));
    EXPECT_EQ(challengeResponse(Mechanism::Login, 2, "More:", c), std::nullopt);
    EXPECT_EQ(challengeResponse(Mechanism::Plain, 0, "", c), std::nullopt);
}

TEST(SmtpSasl, OneTimePasswordChallenges)
{
    const Credentials c{QStringLiteral("user"), QStringLiteral("This is a test.")};
    const struct
    {
        Mechanism mechanism;
        QByteArray challenge;
        std::optional<QByteArray> expected;
    } rows[] = {
        {Mechanism::Otp, "otp-md5 1 TeSt ext", QByteArray("hex:7965e05436f5029f")},
        {Mechanism::Otp, "OTP-SHA1 0 TeSt ext", QByteArray("hex:bb9e6ae1979d8ff4")},
        {Mechanism::Otp, "otp-md4 99 tEsT", QByteArray("hex:c5e612776e6c237a")},
        {Mechanism::Otp, "otp-sha256 1 TeSt ext", std::nullopt},
        {Mechanism::Otp, "otp-md5 100000000 TeSt ext", std::nullopt}, // would hash for minutes
        {Mechanism::Otp, "otp-md5 -1 TeSt ext", std::nullopt},
        {Mechanism::Otp, "otp-md5 1 bad_seed ext", std::nullopt},
        {Mechanism::Otp, "otp-md5 1 seedlongerthansixteen ext", std::nullopt},
        {Mechanism::Otp, "garbage", std::nullopt},
        {Mechanism::Skey, "99 TeSt", QByteArray::fromHex("C5E612776E6C237A")},
        {Mechanism::Skey, "99", std::nullopt},
        {Mechanism::Skey, "x TeSt", std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(challengeResponse(row.mechanism, 0, row.challenge, c), row.expected)
            << row.challenge.constData();
}

} // namespace
