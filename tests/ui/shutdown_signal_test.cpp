#include "core/Cp1251.h"
#include "core/ZSub.h"
#include "mail/AiosmtpdServer.h"
#include "mail/MailQueue.h"
#include "mail/MailTestSupport.h"
#include "support/TempIni.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using kvu::test::readFile;
using kvu::test::writeFile;

namespace {

constexpr int kStartMs = 30000;
// The whole shutdown stays within the time limit of one mailing.
constexpr int kExitMs = kvu::MailQueue::DefaultTotalTimeoutMs;

// The real program with the start and stop notices on, mailing to a local server that refuses its
// password. It is ended by signals, as a service manager or a terminal ends it.
class ShutdownSignalTest : public ::testing::Test
{
protected:
    ~ShutdownSignalTest() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(kStartMs);
        }
    }

    void startProgram(quint16 mailPort)
    {
        writeFile(dir.filePath(u"klimavox_kvu.ini"_s),
                  "[General]\nProgramName=Hall\n"
                  "[Options]\nnAHU=1\nIsSaveHistory=1\nIsSaveGraph=0\n"
                  "[Mail]\niMailServer=4\nMailServer=127.0.0.1\niMailPort=" +
                      QByteArray::number(mailPort) + "\nMailPass=" + kvu::CodePass(u"wrong"_s).toLatin1() +
                      "\nMailSenderAddr=kvu@test.local\nMailLogin=kvu@test.local\n"
                      "MailRecivAddr=op@test.local\nIsMailActive=1\nIsSendMailStartStop=1\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KVU_PROGRAM), {u"--data-dir"_s, dir.path()});
        ASSERT_TRUE(program.waitForStarted(kStartMs));
        // Started: the run is marked in the settings and the start line is in the history.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return ini().contains(u"IsRun=1"_s) && QFileInfo(dir.filePath(u"histdata"_s)).isDir(); },
            kStartMs));
    }
    void signal(int sig) { ASSERT_EQ(::kill(pid_t(program.processId()), sig), 0); }
    // Waits for the program's standard error to hold text.
    bool saysOnStderr(const QByteArray &text)
    {
        return QTest::qWaitFor(
            [&] {
                err += program.readAllStandardError();
                return err.contains(text);
            },
            kExitMs);
    }
    // The program ended by itself, cleanly, within the bound since the signal.
    void expectCleanExit(const QElapsedTimer &sinceSignal)
    {
        // Waits with the event loop running: a server of the test's own may still have to answer.
        ASSERT_TRUE(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; },
                                    int(std::max<qint64>(1, kExitMs - sinceSignal.elapsed()))))
            << "still running " << sinceSignal.elapsed() << " ms after the signal";
        err += program.readAllStandardError();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(ini().contains(u"IsRun=0"_s));
        const QString history = kvu::fromCp1251(readFile(dir.filePath(u"histdata/history001.txt"_s)));
        EXPECT_TRUE(history.startsWith(u"503\t"_s)) << history.toStdString();
        EXPECT_TRUE(history.contains(u"\"Остановка прогр.\""_s)) << history.toStdString();
        // The refused mailing is told on standard error instead of in a box nobody would answer.
        EXPECT_TRUE(err.contains("535")) << err.toStdString();
    }
    QString ini() const { return QString::fromUtf8(readFile(dir.filePath(u"klimavox_kvu.ini"_s))); }

    QTemporaryDir dir;
    QProcess program;
    QByteArray err;
};

class ShutdownOnSignal : public ShutdownSignalTest, public ::testing::WithParamInterface<int>
{};

TEST_P(ShutdownOnSignal, StopMailRefusedEndsTheRunCleanly)
{
    kvu::mailtest::AiosmtpdServer server(u"kvu@test.local"_s, u"right"_s);
    ASSERT_EQ(server.start(u"implicit"_s, u"127.0.0.1"_s, 0), kvu::mailtest::AiosmtpdServer::Start::Ready)
        << server.problem();
    startProgram(server.port());
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    signal(GetParam());
    expectCleanExit(sinceSignal);
    // The start and stop notices stay in the settings for a later mailing.
    EXPECT_TRUE(ini().contains(u"nMsg=2"_s)) << ini().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Signals, ShutdownOnSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

TEST_F(ShutdownSignalTest, SecondSignalWhileTheStopMailIsUnderWayLetsTheShutdownFinish)
{
    // The server holds the login open until the test has sent the second signal, then refuses it.
    kvu::mailtest::FakeSmtpServer server;
    server.implicitTls = true;
    server.ehloReply = "250-fake.test\r\n250 AUTH PLAIN\r\n";
    kvu::mailtest::FakeSession *held = nullptr;
    server.script = [&](kvu::mailtest::FakeSession &session, const QByteArray &line) {
        if (!line.startsWith("AUTH"))
            return false;
        held = &session;
        return true;
    };
    ASSERT_TRUE(server.listenOn(QHostAddress::LocalHost));
    startProgram(server.serverPort());

    QElapsedTimer sinceSignal;
    sinceSignal.start();
    signal(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return held != nullptr; }, kExitMs));
    signal(SIGINT);
    ASSERT_TRUE(saysOnStderr("уже завершает работу")) << err.toStdString();
    EXPECT_EQ(program.state(), QProcess::Running);
    held->reply("535 5.7.8 Authentication credentials invalid\r\n");
    expectCleanExit(sinceSignal);
}

} // namespace
