#pragma once

#include "ui/settings/Mhtml.h"

#include <QDialog>
#include <QStringList>
#include <QTextBrowser>

class QPushButton;

namespace kvu {

// A text browser that takes the pictures and style sheets of its page from one MHTML file and
// nothing from disk or network.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget *parent);

    void setParts(const Mhtml *parts) { parts_ = parts; }
    QVariant loadResource(int type, const QUrl &name) override;

private:
    // Links within the page, "#anchor" or the page's own address with one, scroll to their anchor;
    // web and mail links go to the desktop's own programs; anything else (files, other schemes)
    // opens nothing.
    void follow(const QUrl &url);

    const Mhtml *parts_ = nullptr;
};

// "Справка": the operator's manual, read afresh from the help file at every showing. Not modal;
// "Закрыть" and Escape hide it.
class TFormHelp : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *kFileName = "help_klimavox_kvu.mht";

    // The help file is looked for in each folder in turn; the first one that has it is used. The
    // last folder is the program's own, where the file is installed.
    TFormHelp(const QStringList &folders, QWidget *parent);

    void showHelp();
    // Loads the help file (or the page that tells why it cannot be shown) into the browser.
    void reload();

    // The file the last reload read, or the last folder's file when none had it.
    QString helpFilePath() const { return path_; }
    const Mhtml &document() const { return document_; }
    HelpBrowser *WB() const { return WB_; }
    QPushButton *Button1() const { return Button1_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString findHelpFile() const;
    QString errorPage() const;

    QStringList folders_;
    QString path_;
    Mhtml document_;
    HelpBrowser *WB_ = nullptr;
    QPushButton *Button1_ = nullptr;
};

} // namespace kvu
