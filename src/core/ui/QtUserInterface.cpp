#include "core/ui/QtUserInterface.h"

#include "core/ui/ResyncLists.h"
#include "core/ui/SDInputBox.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace sendora {

namespace {

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(Buttons b) {
    switch (b) {
    case Buttons::OK:
        return QMessageBox::Ok;
    case Buttons::OKCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case Buttons::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

Answer fromQt(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return Answer::OK;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Ignore:
        return Answer::Ignore;
    default:
        return Answer::Cancel;
    }
}

QString filterText(const QList<FileFilter>& filters) {
    QStringList parts;
    for (const FileFilter& f : filters)
        parts << QStringLiteral("%1 (%2)").arg(f.description, f.patterns);
    return parts.join(QStringLiteral(";;"));
}

// Messages break lines with CR LF, and some with a lone CR; a message box wants LF.
QString plainLines(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

Answer QtUserInterface::message(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), title, plainLines(text), toQt(buttons), m_parent);
    box.setObjectName(QStringLiteral("sendoraMessageBox"));
    return fromQt(box.exec());
}

std::optional<QString> QtUserInterface::inputBox(const QString& prompt, const QString& title,
                                                 const QString& defaultText) {
    SDInputBoxDialog dialog(title, prompt, defaultText, m_parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.text();
}

std::optional<QString> QtUserInterface::openFileName(const QString& title, const QString& dir,
                                                     const QList<FileFilter>& filters) {
    const QString file = QFileDialog::getOpenFileName(m_parent, title, dir, filterText(filters));
    if (file.isEmpty()) return std::nullopt;
    return file;
}

std::optional<QString> QtUserInterface::saveFileName(const QString& title, const QString& dir,
                                                     const QList<FileFilter>& filters) {
    const QString file = QFileDialog::getSaveFileName(m_parent, title, dir, filterText(filters));
    if (file.isEmpty()) return std::nullopt;
    return file;
}

QStringList QtUserInterface::checkList(const QString& caption, const QString& text,
                                       const QStringList& items) {
    ResyncLists dialog(caption, text, items, m_parent);
    // Only the Close button applies the choice; closing the window changes nothing.
    return dialog.exec() == QDialog::Accepted ? dialog.checkedItems() : QStringList();
}

void QtUserInterface::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace sendora
