#include "../../fuzz/ParsDataHarness.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// The fuzz corpus replayed through the same harness as the fuzz target, so every saved input keeps
// being checked by the ordinary test run.
TEST(ParsDataCorpus, EveryInputDecodesWithinTheRules)
{
    const QDir corpus(QStringLiteral(KVU_SOURCE_DIR "/fuzz/corpus/parsdata"));
    const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 30) << corpus.path().toStdString();

    kvu::fuzz::ParsDataHarness harness;
    for (const QString &name : files) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = f.readAll();
        EXPECT_EQ(harness.run(bytes).toStdString(), std::string()) << name.toStdString();
    }
}

} // namespace
