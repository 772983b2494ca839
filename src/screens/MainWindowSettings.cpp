#include "screens/MainWindowSettings.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/IniFile.h"
#include "core/ListActions.h"

#include <QDir>
#include <QFile>

namespace sendora {

namespace {

const QString kDefaults = QStringLiteral("Defaults");
const QString kListbar = QStringLiteral("Listbar");

int twips(AppContext& ctx, const char* key) {
    // Written as single-precision numbers; read back whatever decimal form is there.
    bool ok = false;
    const double value =
        GetSetting(ctx, kDefaults, QLatin1String(key), QStringLiteral("0")).trimmed().toDouble(&ok);
    return ok ? int(value / kTwipsPerPixel) : 0;
}

QString single(int pixels) {
    return QString::number(float(pixels * kTwipsPerPixel));
}

} // namespace

WindowPlacement readWindowPlacement(AppContext& ctx) {
    WindowPlacement p;
    p.geometry = QRect(twips(ctx, "MainWinLeft"), twips(ctx, "MainWinTop"), twips(ctx, "MainWinWidth"),
                       twips(ctx, "MainWinHeight"));
    if (p.geometry.width() <= 0 || p.geometry.height() <= 0) p.geometry = QRect();
    p.state = textToInt(GetSetting(ctx, kDefaults, QStringLiteral("MainWinState"), QStringLiteral("2")),
                        WindowMaximised);
    if (p.state < WindowNormal || p.state > WindowMaximised) p.state = WindowMaximised;
    return p;
}

void writeWindowPlacement(AppContext& ctx, const QRect& geometry, int state) {
    if (state != WindowMinimised) {
        SaveSetting(ctx, kDefaults, QStringLiteral("MainWinLeft"), single(geometry.x()));
        SaveSetting(ctx, kDefaults, QStringLiteral("MainWinTop"), single(geometry.y()));
        SaveSetting(ctx, kDefaults, QStringLiteral("MainWinWidth"), single(geometry.width()));
        SaveSetting(ctx, kDefaults, QStringLiteral("MainWinHeight"), single(geometry.height()));
    }
    SaveSetting(ctx, kDefaults, QStringLiteral("MainWinState"), QString::number(state));
}

void readMainWindowSettings(AppContext& ctx) {
    const int block = textToInt(
        GetSetting(ctx, kAppDefaults, QStringLiteral("GroupMailBlockSize"), QStringLiteral("10")), 10);
    ctx.settings.groupMailBlockSize = std::max(1, block);
    ctx.settings.startSDCentral = textToBool(
        GetSetting(ctx, kAppDefaults, QStringLiteral("StartSDCentral"), QStringLiteral("true")), true);
}

void writeExitSettings(AppContext& ctx) {
    const AppSettings& s = ctx.settings;
    SaveSetting(ctx, kAppDefaults, QStringLiteral("GroupMailBlockSize"),
                QString::number(s.groupMailBlockSize));
    SaveSetting(ctx, kAppDefaults, QStringLiteral("StartMaximized"), QString::number(s.startState));
    SaveSetting(ctx, kAppDefaults, QStringLiteral("WordWrapSize"), QString::number(s.wordWrapSize));
    SaveSetting(ctx, kAppDefaults, QStringLiteral("ChangeMergeTags"), boolText(s.changeMergeTags));
}

QStringList readListbarOrder(AppContext& ctx, const QStringList& defaults) {
    QStringList order;
    for (int n = 0;; ++n) {
        const QString name = GetSetting(ctx, kListbar, QStringLiteral("Order%1").arg(n), QString()).trimmed();
        if (name.isEmpty()) break;
        if (defaults.contains(name) && !order.contains(name)) order << name;
    }
    for (const QString& name : defaults)
        if (!order.contains(name)) order << name;
    return order;
}

void writeListbarOrder(AppContext& ctx, const QStringList& order) {
    for (int n = 0; n < order.size(); ++n)
        SaveSetting(ctx, kListbar, QStringLiteral("Order%1").arg(n), order[n]);
}

QString createEmptyListFile(AppContext& ctx) {
    const QString path = NewTempListPath(ctx);
    try {
        QFile::remove(path);
        auto db = jet::Database::create(path);
        db->execute(QStringLiteral(
            "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
            "FirstName TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), "
            "[Date] TEXT(255), Keyword1 TEXT(255), Keyword2 TEXT(255));"));
        for (const char* column : {"FirstName", "LastName", "Title", "Sent", "Date", "Keyword1", "Keyword2"})
            db->setAllowZeroLength(QStringLiteral("AddressList"), QLatin1String(column), true);
        db->close();
        return path;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("createEmptyList in MDIMain"), errorInfo(e), true);
        QFile::remove(path);
        return {};
    }
}

void clearTemporaryFolder(AppContext& ctx) {
    const QDir temp(ctx.paths.temp);
    for (const QString& f : temp.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(temp.filePath(f));
}

void resetSystemDatabaseAttributes(AppContext& ctx) {
    const QString sdr = ctx.paths.systemDatabase();
    if (QFile::exists(sdr))
        QFile::setPermissions(sdr, QFile::permissions(sdr) | QFile::ReadOwner | QFile::WriteOwner);
}

int FindReplaceMergeTags(jet::Database& db, const QString& field, const QString& find,
                         const QString& replace) {
    int changed = 0;
    auto rs = db.openRecordset(QStringLiteral("Message"));
    for (; !rs->eof(); rs->moveNext()) {
        const QVariant value = rs->value(field);
        if (value.isNull()) continue;
        QString text = value.toString();
        if (!text.contains(find, Qt::CaseSensitive)) continue;
        text.replace(find, replace, Qt::CaseSensitive);
        rs->edit();
        rs->setValue(field, text);
        rs->update();
        ++changed;
    }
    return changed;
}

void UpdateExistingMessages(AppContext& ctx) {
    if (ctx.settings.changeMergeTags) return;
    struct Pair {
        const char* find;
        const char* replace;
    };
    static const Pair bodyPairs[] = {
        {"<<", "[["}, {"&lt;&lt;", "&#91;&#91;"}, {">>", "]]"}, {"&gt;&gt;", "&#93;&#93;"}};
    static const Pair plainPairs[] = {{"<<", "[["}, {">>", "]]"}};
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        for (const char* field : {"Subject", "HTMLText", "MessageText"})
            for (const Pair& p : bodyPairs)
                FindReplaceMergeTags(*db, QLatin1String(field), QLatin1String(p.find),
                                     QLatin1String(p.replace));
        for (const char* field : {"GreetingDisplay", "From", "HTMLGreeting"})
            for (const Pair& p : plainPairs)
                FindReplaceMergeTags(*db, QLatin1String(field), QLatin1String(p.find),
                                     QLatin1String(p.replace));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("UpdateExistingMessages in MDIMain"), errorInfo(e), false);
        return;
    }
    ctx.settings.changeMergeTags = true;
    SaveSetting(ctx, kAppDefaults, QStringLiteral("ChangeMergeTags"), boolText(true));
}

} // namespace sendora
