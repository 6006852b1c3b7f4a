#include "app/ArchiveFile.h"

#include "core/Constants.h"
#include "core/Error.h"
#include "core/ZSub.h"
#include "decode/Items.h"
#include "link/Protocol.h"

#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace kvu {
namespace {

constexpr QStringView General = u"General";
constexpr QStringView ArchData = u"ArchData";

std::optional<int> hexField(QStringView text)
{
    if (text.isEmpty())
        return std::nullopt;
    try {
        return HexToDec(text);
    } catch (const ConvertError &) {
        return std::nullopt;
    }
}

} // namespace

RecordCheck CheckRecordLine(QStringView line, int g, int index)
{
    const ArchiveGroup &group = kArchiveGroups[std::size_t(g)];
    const Items items = SplitItems(line, group.lineFields());
    if (!items.exactly(group.lineFields()))
        return RecordCheck::WrongFields;
    const std::optional<int> n = hexField(items[1]);
    const std::optional<int> crc = hexField(items[items.size() - 1]);
    if (!n || !crc)
        return RecordCheck::WrongFields;
    const qsizetype last = line.lastIndexOf(u'_');
    if (last < 0 || *crc != CalcCRC16(line.first(last)))
        return RecordCheck::WrongChecksum;
    if (!line.startsWith(group.code) || items[0] != group.code || (index >= 0 && *n != index))
        return RecordCheck::WrongRecord;
    return RecordCheck::Good;
}

QString ArchiveFile::FileName(const QString &typedName, const QDateTime &at)
{
    return typedName + at.toString(u"_dd-MM-yyyy_hh-mm"_s) + u".kvx"_s;
}

QString ArchiveFile::NameProblem(const QString &typedName)
{
    if (typedName == u"."_s || typedName == u".."_s)
        return u"Имя файла не может быть «%1»."_s.arg(typedName);
    for (const QChar c : typedName) {
        if (c.unicode() < 32 || c.unicode() == 127 || QStringView(u"/\\:*?\"<>|").contains(c))
            return u"Имя файла не может содержать символы / \\ : * ? \" < > | и управляющие символы."_s;
    }
    return {};
}

QString ArchiveFile::RecordKey(int g, int n)
{
    return kArchiveGroups[std::size_t(g)].code.toString() + u'_' + HexText(n);
}

void ArchiveFile::WriteHeader(const QDateTime &at)
{
    ini_.WriteString(General, u"About", u"Архив данных пульта Klimavox"_s);
    ini_.WriteDateTime(General, u"DateTime", at);
    ini_.WriteInteger(General, u"Version", VerProg);
    ini_.WriteInteger(General, u"SubVerProg", SubVerProg);
}

void ArchiveFile::WriteProtVers(int version)
{
    ini_.WriteInteger(General, u"ProtVers", version);
}

void ArchiveFile::WriteRecord(const QString &key, const QString &line)
{
    ini_.WriteString(ArchData, key, line);
}

void ArchiveFile::WriteRestoreDT(const QDateTime &at)
{
    ini_.WriteDateTime(General, u"RestoreDT", at);
}

int ArchiveFile::ReadProtVers()
{
    return ini_.ReadInteger(General, u"ProtVers", 0);
}

std::optional<QString> ArchiveFile::ReadRecord(int g, int n)
{
    std::optional<QString> line = ini_.ReadRaw(ArchData, RecordKey(g, n));
    if (!line || line->size() < 5)
        return std::nullopt;
    return line;
}

QString ArchiveFile::CheckWhole()
{
    for (int g = 0; g < int(kArchiveGroups.size()); ++g) {
        for (int n = 0; n < kArchiveGroups[std::size_t(g)].records; ++n) {
            const QString key = RecordKey(g, n);
            const std::optional<QString> line = ReadRecord(g, n);
            if (!line)
                return u"Нет записи %1"_s.arg(key);
            switch (CheckRecordLine(*line, g, n)) {
            case RecordCheck::Good:
                break;
            case RecordCheck::WrongFields:
                return u"Неверное число полей: %1"_s.arg(key);
            case RecordCheck::WrongChecksum:
                return u"Неверная контр. сумма: %1"_s.arg(key);
            case RecordCheck::WrongRecord:
                return u"Запись не на своём месте: %1"_s.arg(key);
            }
        }
    }
    return {};
}

bool ArchiveFile::Remove()
{
    return !QFile::exists(path()) || QFile::remove(path());
}

} // namespace kvu
