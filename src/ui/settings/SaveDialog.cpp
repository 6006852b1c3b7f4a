#include "ui/settings/SaveDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

std::optional<QString> askSavePath(QWidget *parent, const QString &title, const QStringList &nameFilters,
                                   const QString &defaultSuffix, const QString &fileName)
{
    QFileDialog dialog(parent, title);
    dialog.setObjectName(u"ExportDialog"_s);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters + QStringList{u"Все файлы (*)"_s});
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setLabelText(QFileDialog::LookIn, u"Папка:"_s);
    dialog.setLabelText(QFileDialog::FileName, u"Имя файла:"_s);
    dialog.setLabelText(QFileDialog::FileType, u"Тип файлов:"_s);
    dialog.setLabelText(QFileDialog::Accept, u"Сохранить"_s);
    dialog.setLabelText(QFileDialog::Reject, u"Отмена"_s);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    dialog.setDirectory(folder);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> saveThroughDialog(QWidget *parent, const QString &title,
                                         const QStringList &nameFilters, const QString &defaultSuffix,
                                         const QString &fileName,
                                         const std::function<bool(const QString &, QString *)> &write)
{
    const std::optional<QString> path = askSavePath(parent, title, nameFilters, defaultSuffix, fileName);
    if (!path)
        return std::nullopt;
    QString error;
    if (!write(*path, &error)) {
        QMessageBox::warning(
            parent, parent ? parent->windowTitle() : title,
            u"Не удалось записать файл %1: %2"_s.arg(QDir::toNativeSeparators(*path), error));
        return std::nullopt;
    }
    return path;
}

} // namespace kvu
