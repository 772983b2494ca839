#include "core/UserInterface.h"

namespace sendora {

QString iconName(Icon icon) {
    switch (icon) {
    case Icon::None:
        return QStringLiteral("none");
    case Icon::Information:
        return QStringLiteral("information");
    case Icon::Exclamation:
        return QStringLiteral("exclamation");
    case Icon::Critical:
        return QStringLiteral("critical");
    case Icon::Question:
        return QStringLiteral("question");
    }
    return {};
}

QString buttonsName(Buttons b) {
    switch (b) {
    case Buttons::OK:
        return QStringLiteral("OK");
    case Buttons::OKCancel:
        return QStringLiteral("OKCancel");
    case Buttons::YesNo:
        return QStringLiteral("YesNo");
    case Buttons::YesNoCancel:
        return QStringLiteral("YesNoCancel");
    case Buttons::RetryCancel:
        return QStringLiteral("RetryCancel");
    case Buttons::AbortRetryIgnore:
        return QStringLiteral("AbortRetryIgnore");
    }
    return {};
}

QString answerName(Answer a) {
    switch (a) {
    case Answer::OK:
        return QStringLiteral("OK");
    case Answer::Cancel:
        return QStringLiteral("Cancel");
    case Answer::Yes:
        return QStringLiteral("Yes");
    case Answer::No:
        return QStringLiteral("No");
    case Answer::Retry:
        return QStringLiteral("Retry");
    case Answer::Abort:
        return QStringLiteral("Abort");
    case Answer::Ignore:
        return QStringLiteral("Ignore");
    }
    return {};
}

} // namespace sendora
