#include "import/EmailFileScan.h"

#include "core/UserInterface.h"
#include "import/AddressRules.h"
#include "import/EmailParser.h"

#include <QDateTime>
#include <QTimer>
#include <cstring>

namespace sendora {

namespace {

constexpr qint64 kConvertBlock = 1 << 20;

bool has(QByteArrayView line, char c) {
    return std::memchr(line.data(), c, size_t(line.size())) != nullptr;
}

QByteArrayView trimmedSpaces(QByteArrayView line) {
    qsizetype b = 0, e = line.size();
    while (b < e && line[b] == ' ')
        ++b;
    while (e > b && line[e - 1] == ' ')
        --e;
    return line.sliced(b, e - b);
}

} // namespace

EmailFileScan::EmailFileScan(EmailParser& parser, UserInterface* ui, const bool* stop, QObject* parent)
    : QObject(parent), m_parser(parser), m_ui(ui), m_stop(stop) {
    m_file.setSegmentSize(65536);
}

bool EmailFileScan::needsReformat(const QString& fileName) {
    return fileName.contains(QLatin1String(".pmm"), Qt::CaseInsensitive);
}

QString EmailFileScan::reformatName(const QString& fileName) {
    return fileName.left(fileName.size() - 4) + QStringLiteral("_Reformat");
}

void EmailFileScan::FileEmailAddressesToISAM2(const EmailSrcFileObj& entry) {
    m_entry = entry;
    m_count = 0;
    m_inRun = false;
    m_parser.scanStartTime = QDateTime::currentDateTime().toString(QStringLiteral("M/d/yyyy h:mm:ss AP"));
    m_scanned = entry.fileName.trimmed();
    m_file.Initialize();
    m_file.setSegmentSize(65536);
    m_wholeFile = entry.fileType != u"Mailbox" || entry.searchMode == u"All";
    m_keys.clear();
    if (!m_wholeFile) {
        const std::pair<int, const char*> keys[] = {
            {entry.fromFlag, "From:"}, {entry.toFlag, "To:"}, {entry.ccFlag, "Cc:"}, {entry.bccFlag, "Bcc:"}};
        for (const auto& [flag, key] : keys)
            if (flag == 1 && entry.searchMode == u"Lines") m_keys << QLatin1String(key);
        if (entry.textFlag == 1 && !entry.userText.isEmpty()) m_keys << entry.userText;
    }
    Q_EMIT started(m_scanned);
    if (needsReformat(m_scanned)) {
        const QString target = reformatName(m_scanned);
        QFile::remove(target);
        m_convertIn.setFileName(m_scanned);
        m_convertOut.setFileName(target);
        // Unreadable input: the empty companion then gives the open failure message below.
        if (m_convertIn.open(QIODevice::ReadOnly) && m_convertOut.open(QIODevice::WriteOnly)) {
            m_state = State::Converting;
        } else {
            m_convertIn.close();
            m_convertOut.close();
        }
        m_scanned = target;
        if (m_state == State::Converting) {
            schedule();
            return;
        }
    }
    if (startScanning()) schedule();
}

bool EmailFileScan::startScanning() {
    m_state = State::Idle;
    if (m_scanned.isEmpty()) {
        finish();
        return false;
    }
    m_file.setMode(QStringLiteral("binary"));
    if (!m_file.OpenFile(m_scanned) || m_file.FileSize() == 0) {
        m_file.closefile();
        if (m_ui)
            m_ui->message(
                QStringLiteral("Unable to open Email file, \"%1\". File may be empty").arg(m_scanned),
                Buttons::OK, Icon::Information);
        finish();
        return false;
    }
    m_parser.setSourceFileType(m_entry.fileType);
    m_state = State::Scanning;
    return true;
}

void EmailFileScan::schedule() {
    QTimer::singleShot(0, this, &EmailFileScan::turn);
}

bool EmailFileScan::convertSome(const QElapsedTimer& clock) {
    m_convertBlock.resize(kConvertBlock);
    while (clock.elapsed() < kTurnMilliseconds) {
        const qint64 got = m_convertIn.read(m_convertBlock.data(), kConvertBlock);
        if (got < 0 && m_ui)
            m_ui->message(
                QStringLiteral("After FGet, WhichError reported error no: %1").arg(int(m_convertIn.error())),
                Buttons::OK, Icon::Information);
        if (got <= 0) return true;
        QByteArray out;
        out.reserve(got + got / 16);
        for (qint64 i = 0; i < got; ++i) {
            const char c = m_convertBlock[i];
            if (c == '\0' || c == 26)
                out += ' ';
            else if (c == '\n')
                out += "\r\n";
            else
                out += c;
        }
        if (m_convertOut.write(out) != out.size()) return true;
        Q_EMIT progress(m_convertIn.pos(), m_convertIn.size(), 0);
    }
    return false;
}

void EmailFileScan::turn() {
    QElapsedTimer clock;
    clock.start();
    if (m_state == State::Converting) {
        if (*m_stop) {
            m_convertIn.close();
            m_convertOut.close();
            finish();
            return;
        }
        if (!convertSome(clock)) {
            schedule();
            return;
        }
        m_convertIn.close();
        m_convertOut.close();
        if (startScanning()) schedule();
        return;
    }
    if (m_state != State::Scanning) return;
    QByteArrayView line;
    for (int n = 0;; ++n) {
        // A row that could not be written ends the scan as Interrupt would.
        if (*m_stop || m_parser.sinkFailed()) break;
        // A whole-file search needs only the lines with an "@".
        const FileObject::Skip skip = m_wholeFile ? m_file.skipToLineWith('@') : FileObject::Skip::Found;
        if (skip == FileObject::Skip::End) break;
        if (skip == FileObject::Skip::Found) {
            if (!m_file.readLineBytes(line)) break;
            scanLine(line);
        }
        if (((n & 255) == 255 || skip == FileObject::Skip::Later) && clock.elapsed() >= kTurnMilliseconds) {
            Q_EMIT progress(m_file.BytesRead(), m_file.FileSize(), m_file.LinesRead());
            schedule();
            return;
        }
    }
    Q_EMIT progress(m_file.BytesRead(), m_file.FileSize(), m_file.LinesRead());
    m_file.closefile();
    finish();
}

void EmailFileScan::finish() {
    m_state = State::Idle;
    Q_EMIT finished(m_count);
}

int EmailFileScan::single(const QString& line) {
    qsizetype position = 1;
    int status = 0;
    QString address;
    return m_parser.parseEmailAddress(line, position, status, address) ? 1 : 0;
}

int EmailFileScan::multiple(const QString& line) {
    return m_parser.multipleAddresses(line);
}

bool EmailFileScan::matchesKey(const QString& line) const {
    for (const QString& key : m_keys)
        if (line.startsWith(key, Qt::CaseInsensitive)) return true;
    return false;
}

void EmailFileScan::scanLine(QByteArrayView raw) {
    const QByteArrayView bytes = trimmedSpaces(raw);
    if (bytes.isEmpty()) return;
    const bool at = has(bytes, '@');
    if (m_wholeFile) {
        // No "@", no address: most lines of mail are skipped without being decoded.
        if (at) {
            FileObject::decodeLine(bytes, m_text);
            m_count += m_parser.extractFromLine(m_text);
        }
        return;
    }
    const bool comma = has(bytes, ',');
    if (!at && !comma) {
        // Stores nothing and starts no run; it can only end one.
        if (m_inRun && has(bytes, ':')) m_inRun = false;
        return;
    }
    FileObject::decodeLine(bytes, m_text);
    const QString& line = m_text;
    if (m_inRun) {
        if (!line.contains(u':')) {
            m_count += comma ? multiple(line) : single(line);
            return;
        }
        m_inRun = false;
    }
    if (!matchesKey(line)) return;
    if (comma) {
        m_count += multiple(line);
        m_inRun = true;
    } else {
        m_count += single(line);
    }
}

} // namespace sendora
