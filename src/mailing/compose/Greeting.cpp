#include "mailing/compose/Greeting.h"

#include "mailing/compose/WordWrap.h"

namespace sendora {

namespace {

// A configured column's value; a column the row lacks shows as its tag.
QString part(const RecipientRow& row, bool configured, const QString& column) {
    if (!configured) return {};
    if (!row.has(column)) return kTagOpen + column + kTagClose;
    return row.text(column).value_or(QString());
}

} // namespace

QString GetPersonalName(const RecipientRow& row, const GreetingSettings& s, bool greetingLine) {
    const bool anyPart = s.useTitle || s.useFName || s.useLName;
    if (greetingLine) {
        if (!s.useGreetingManager || s.greetingType != 1 || (!anyPart && s.genericName.isEmpty())) return {};
    } else if (!anyPart) {
        return {};
    }
    const QString t = part(row, s.useTitle, QStringLiteral("Title"));
    const QString f = part(row, s.useFName, QStringLiteral("FirstName"));
    const QString l = part(row, s.useLName, QStringLiteral("LastName"));
    const QString salutation = greetingLine ? s.salutation : QString();

    auto generic = [&]() -> QString {
        if (s.genericName.isEmpty()) return {};
        return salutation.isEmpty() ? s.genericName : salutation + QLatin1Char(' ') + s.genericName;
    };

    QString result;
    if (f.isEmpty() && l.isEmpty()) {
        result = generic();
    } else if (!l.isEmpty()) {
        if (f.isEmpty() && s.useFName && !s.missingFNameOption) {
            result = generic();
        } else {
            QStringList words;
            for (const QString& w : {salutation, t, f, l})
                if (!w.isEmpty()) words.append(w);
            result = words.join(QLatin1Char(' '));
        }
    } else if (s.useLName && !s.missingLNameOption) {
        result = generic();
    } else {
        // No last name: the title would stand oddly before a first name alone.
        result = salutation.isEmpty() ? f : salutation + QLatin1Char(' ') + f;
    }
    if (greetingLine && !result.isEmpty()) result += s.punctuation + QStringLiteral("\r\n");
    return result;
}

qsizetype htmlGreetingPoint(QStringView html, qsizetype from) {
    const qsizetype body = html.indexOf(u"<BODY", from, Qt::CaseInsensitive);
    if (body < 0) return -1;
    const qsizetype close = html.indexOf(u'>', body);
    return close < 0 ? -1 : close + 1;
}

QString InsertGreetingHtml(const QString& html, const QString& greeting) {
    const qsizetype at = htmlGreetingPoint(html);
    if (at < 0) return html;
    QString out = html;
    return out.insert(at, greeting);
}

QString InsertGreetingTextPart(const QString& message, const QString& greeting) {
    const qsizetype h = message.indexOf(kTextPartHeader);
    if (h < 0) return message;
    QString out = message;
    return out.insert(h + kTextPartHeader.size(), greeting);
}

QString InsertGreetingPlain(const QString& text, const QString& greeting) {
    return greeting + text;
}

} // namespace sendora
