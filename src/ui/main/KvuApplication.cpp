#include "ui/main/KvuApplication.h"

#include "core/DiagLog.h"
#include "core/Error.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

KvuApplication::KvuApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KvuApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error &e) {
        reportError(e.text());
    } catch (const std::exception &e) {
        reportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportError(u"Неизвестная ошибка"_s);
    }
    return false;
}

QString KvuApplication::boxTitle()
{
    return u"Управление вентустановками Klimavox"_s;
}

void KvuApplication::reportError(const QString &text)
{
    if (auto *app = qobject_cast<KvuApplication *>(QCoreApplication::instance()); app && app->shuttingDown_) {
        writeShutdownError(text, app->shutdownLog_);
        return;
    }
    qWarning("%s", qPrintable(text));
    // A second error while the box is open is written to the log only; stacking boxes helps nobody.
    static bool showing = false;
    if (showing)
        return;
    showing = true;
    QMessageBox box(QMessageBox::Critical, boxTitle(), text, QMessageBox::Ok);
    box.exec();
    showing = false;
}

void KvuApplication::beginShutdown(DiagLog *log)
{
    if (auto *app = qobject_cast<KvuApplication *>(QCoreApplication::instance())) {
        app->shuttingDown_ = true;
        app->shutdownLog_ = log;
    }
}

void KvuApplication::writeShutdownError(const QString &text, DiagLog *log)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    std::fflush(stderr);
    if (log)
        log->add(u":: Shutdown Error :: "_s + text);
}

QTranslator *KvuApplication::installQtTranslations()
{
    auto *translator = new QTranslator(qApp);
    if (!translator->load(u"qtbase_ru"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        qWarning("Qt translations not found in %s",
                 qPrintable(QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace kvu
