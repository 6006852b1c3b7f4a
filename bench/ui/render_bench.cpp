// One status reply through decoding and rendering, with the main window and five unit windows shown
// (offscreen): the replies of an idle panel change nothing, a changing temperature redraws its labels.
#include "app/Program.h"
#include "core/Clock.h"
#include "core/Cp1251.h"
#include "decode/Decoder.h"
#include "ui/main/TForm1.h"
#include "ui/main/TFormSolo.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

QString statusReply(int temper)
{
    return QStringLiteral("VSt07_AAE9_CD57_14%1_2D37_4B73_1E9A_E2D_C1F_1A03_")
               .arg(temper, 2, 16, QLatin1Char('0')) +
           kvu::fromCp1251(QStringLiteral("Работа в норме, фильтр 30%").toUtf8());
}

struct Shown
{
    QTemporaryDir dir;
    kvu::FakeClock clock;
    std::unique_ptr<kvu::Program> p;
    std::unique_ptr<kvu::TForm1> form;

    Shown()
    {
        QByteArray ini = "[Options]\nnAHU=5\n";
        for (int n = 1; n <= 5; ++n) {
            const QByteArray k = QByteArray::number(n);
            ini += "IPInt1_" + k + "=10\nIPInt2_" + k + "=0\nIPInt3_" + k + "=0\nIPInt4_" + k + "=" + k +
                   "\n" + "IsShowSolo" + k + "=1\n";
        }
        QFile f(dir.filePath(QStringLiteral("klimavox_kvu.ini")));
        if (f.open(QIODevice::WriteOnly))
            f.write(ini);
        f.close();
        p = std::make_unique<kvu::Program>(clock, dir.path());
        p->setDiskQuery([](const QString &) { return kvu::DiskSpace{true, kvu::kMinFreeDiskBytes, 0, {}}; });
        form = std::make_unique<kvu::TForm1>(*p);
        form->show();
        for (int n = 1; n <= 5; ++n) {
            p->u.StateTCPConn[n] = 1;
            p->u.iTCPGoodRun[n] = 1;
            p->decoder().ParsData(n, statusReply(21));
        }
        QApplication::processEvents();
    }
    ~Shown() { p->FormClose(); }
};

// Arg 0: the same reply again; arg 1: the temperature changes with every reply.
void BM_StatusReplyRendered(benchmark::State &state)
{
    Shown s;
    const QString same = statusReply(21);
    const QString other = statusReply(22);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        s.p->decoder().ParsData(2, state.range(0) != 0 && flip ? other : same);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_StatusReplyRendered)->ArgName("changes")->Arg(0)->Arg(1);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
