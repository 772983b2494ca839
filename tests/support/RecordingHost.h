#pragma once
// A window host that records what the core asked of the windows.

#include "core/WindowHost.h"

#include <QStringList>

namespace sendora::test {

struct RecordingHost : WindowHost {
    QString messageUsingList; // answer for messageWindowUsingList
    QStringList calls;

    QString messageWindowUsingList(const QString& listName) override {
        calls << QStringLiteral("messageWindowUsingList:") + listName;
        return messageUsingList;
    }
    void closeListWindows(const QString& caption) override {
        calls << QStringLiteral("closeListWindows:") + caption;
    }
    void openListWindow(const QString& caption, const QString& file) override {
        calls << QStringLiteral("openListWindow:") + caption + u'|' + file;
    }
    void listCatalogueChanged() override { calls << QStringLiteral("listCatalogueChanged"); }
    void listSaved(const QString& name, const QString&) override {
        calls << QStringLiteral("listSaved:") + name;
    }
    bool openDeliveryOptionsWizard(const QString& name) override {
        calls << QStringLiteral("openDeliveryOptionsWizard:") + name;
        return true;
    }
    void showMainWindow() override { calls << QStringLiteral("showMainWindow"); }
    void mainWindowReady() override { calls << QStringLiteral("mainWindowReady"); }

    int count(const QString& prefix) const {
        int n = 0;
        for (const QString& c : calls)
            n += c.startsWith(prefix) ? 1 : 0;
        return n;
    }
};

} // namespace sendora::test
